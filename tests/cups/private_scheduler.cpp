#include "tests/cups/private_scheduler.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

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

namespace {

// A loopback socket listening on a port the system chose, and that port.
int Listen(int& port) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener, 4);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return listener;
}

}  // namespace

std::future<std::string> LoopbackPrinter(int& port) {
    const int listener = Listen(port);
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

namespace {

// A connection to the private scheduler ("127.0.0.1:PORT" in CUPS_SERVER), or -1.
int ConnectToScheduler() {
    const std::string server = std::getenv("CUPS_SERVER");
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port =
        htons(static_cast<uint16_t>(std::atoi(server.substr(server.find(':') + 1).c_str())));
    inet_pton(AF_INET, server.substr(0, server.find(':')).c_str(), &address.sin_addr);
    const int connection = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(connection);
        return -1;
    }
    return connection;
}

// Whether the private scheduler answers that it has no such queue.
bool QueueGone(const std::string& queue) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    const std::string uri = "ipp://localhost/printers/" + queue;
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    return cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
}

// Sends all of `size` bytes; false when the other end is gone.
bool SendAll(int to, const char* bytes, ssize_t size) {
    for (ssize_t sent; size > 0; bytes += sent, size -= sent) {
        if ((sent = send(to, bytes, static_cast<size_t>(size), MSG_NOSIGNAL)) <= 0)
            return false;
    }
    return true;
}

}  // namespace

CHoldAfterDeletion::CHoldAfterDeletion(std::string queue) : m_queue(std::move(queue)) {
    int port = 0;
    m_listener = Listen(port);
    m_server = "127.0.0.1:" + std::to_string(port);
    m_passing = std::thread([this] { Pass(); });
}

CHoldAfterDeletion::~CHoldAfterDeletion() {
    m_stop = true;
    m_passing.join();
    close(m_listener);
}

void CHoldAfterDeletion::Pass() {
    struct Connection {
        int client;
        int scheduler;
    };
    std::vector<Connection> connections;
    while (!m_stop) {
        // Each connection's scheduler end, then its client end, which is no longer read once
        // held.
        std::vector<pollfd> ends = {{m_listener, POLLIN, 0}};
        for (const Connection& c : connections) {
            ends.push_back({c.scheduler, POLLIN, 0});
            ends.push_back({c.client, static_cast<short>(m_holding ? 0 : POLLIN), 0});
        }
        if (poll(ends.data(), ends.size(), 20) <= 0)
            continue;
        std::vector<Connection> open;
        for (size_t i = 0; i < connections.size(); ++i) {
            const Connection c = connections[i];
            char bytes[65536];
            bool alive = true;
            if (ends[1 + 2 * i].revents != 0) {
                const ssize_t got = recv(c.scheduler, bytes, sizeof bytes, 0);
                alive = got > 0 && SendAll(c.client, bytes, got);
            }
            // A request that comes after the deletion waits: the queue is looked up anew before
            // each piece of a request is passed on.
            if (alive && ends[2 + 2 * i].revents != 0 && !m_holding &&
                !(m_holding = QueueGone(m_queue))) {
                const ssize_t got = recv(c.client, bytes, sizeof bytes, 0);
                alive = got > 0 && SendAll(c.scheduler, bytes, got);
            }
            if (alive) {
                open.push_back(c);
            } else {
                close(c.client);
                close(c.scheduler);
            }
        }
        // A new connection only now, as the ends polled were those of the connections before.
        if (ends[0].revents != 0) {
            const int client = accept(m_listener, nullptr, nullptr);
            const int scheduler = ConnectToScheduler();
            if (client >= 0 && scheduler >= 0) {
                open.push_back({client, scheduler});
            } else {
                close(client);
                close(scheduler);
            }
        }
        connections = open;
    }
    for (const Connection& c : connections) {
        close(c.client);
        close(c.scheduler);
    }
}
