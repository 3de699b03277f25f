#include "tests/cups/private_scheduler.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// The first line a script writes; empty when it fails.
std::string RunScript(const std::string& script, const std::string& folder) {
    std::string line(256, '\0');
    FILE* pipe = popen((KORVEL_SOURCE_DIR "/tests/cups/" + script + " " + folder).c_str(), "r");
    if (pipe == nullptr || fgets(line.data(), static_cast<int>(line.size()), pipe) == nullptr)
        line.clear();
    if (pipe != nullptr && pclose(pipe) != 0)
        line.clear();
    return line.substr(0, line.find_first_of(std::string("\n\0", 2)));
}

class PrivateScheduler : public ::testing::Environment {
  public:
    void SetUp() override {
        const auto start = std::chrono::steady_clock::now();
        const std::string server = RunScript("start-scheduler.sh", m_folder = mkdtemp(m_template));
        ASSERT_FALSE(server.empty()) << "the private scheduler did not start";
        std::printf("Private scheduler at %s, started in %d ms\n", server.c_str(),
                    static_cast<int>((std::chrono::steady_clock::now() - start) /
                                     std::chrono::milliseconds(1)));
        setenv("CUPS_SERVER", server.c_str(), 1);
        // Its folder is its server root, where libcups's users find its printers.conf.
        setenv("CUPS_SERVERROOT", m_folder.c_str(), 1);
    }
    void TearDown() override { RunScript("stop-scheduler.sh", m_folder); }
    const std::string& Folder() const { return m_folder; }

  private:
    char m_template[32] = "/tmp/korvel-cups-XXXXXX";
    std::string m_folder;
};

PrivateScheduler* const kScheduler =
    static_cast<PrivateScheduler*>(::testing::AddGlobalTestEnvironment(new PrivateScheduler));

}  // namespace

std::string PrivateSchedulerFolder() {
    return kScheduler->Folder();
}

std::future<std::string> LoopbackPrinter(int& port) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener, 1);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return std::async(std::launch::async, [listener] {
        std::string bytes;
        const int connection = accept(listener, nullptr, nullptr);
        char buffer[65536];
        for (ssize_t n; connection >= 0 && (n = read(connection, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<size_t>(n));
        close(connection);
        close(listener);
        return bytes;
    });
}
