#include "printer_app/tests/test_server.h"

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr char kAccount[] = "nobody";
// For the sanitizer build: PAPPL's own leaks are not the program's.
constexpr char kLeakSuppressions[] =
    "LSAN_OPTIONS=suppressions=" KORVEL_SOURCE_DIR "/printer_app/tests/lsan.supp";

// A loopback port that was free a moment ago, chosen by the system.
int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    return ntohs(address.sin_port);
}

bool Answers(int port) {
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool answered =
        connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(client);
    return answered;
}

void GiveTo(const std::string& path, const char* groupName, mode_t mode) {
    const passwd* user = getpwnam(kAccount);
    const struct group* owner = getgrnam(groupName);
    chown(path.c_str(), user->pw_uid, owner != nullptr ? owner->gr_gid : user->pw_gid);
    chmod(path.c_str(), mode);
}

}  // namespace

std::string AsAccount(const std::string& account, const std::string& environment,
                      const std::string& command) {
    const passwd* user = getpwnam(account.c_str());
    return "setpriv --reuid=" + std::to_string(user->pw_uid) +
           " --regid=" + std::to_string(user->pw_gid) +
           " --clear-groups env -i PATH=/usr/bin:/bin " + kLeakSuppressions + " " + environment +
           " " + command;
}

CTestServer::CTestServer(std::vector<std::string> extraOptions) {
    char folderTemplate[] = "/tmp/korvel-printer-app-XXXXXX";
    m_folder = mkdtemp(folderTemplate);
    chmod(m_folder.c_str(), 0755);
    for (const char* sub : {"run", "state", "spool", "out"}) {
        std::filesystem::create_directory(m_folder + "/" + sub);
        GiveTo(m_folder + "/" + sub, sub == std::string("run") ? "lpadmin" : "nogroup",
               sub == std::string("run") ? 0750 : 0755);
    }
    std::ofstream(m_folder + "/server.log").close();
    GiveTo(m_folder + "/server.log", "nogroup", 0644);
    m_port = FreePort();
    std::vector<std::string> arguments = {"server",
                                          "-o",
                                          "server-port=" + std::to_string(m_port),
                                          "-o",
                                          "listen-hostname=localhost",
                                          "-o",
                                          "spool-directory=" + m_folder + "/spool",
                                          "-o",
                                          "state-directory=" + m_folder + "/state",
                                          "-o",
                                          "log-file=" + m_folder + "/server.log",
                                          "-o",
                                          "log-level=info"};
    arguments.insert(arguments.end(), extraOptions.begin(), extraOptions.end());
    arguments.insert(arguments.begin(), KORVEL_PRINTER_APP);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string runtime = "XDG_RUNTIME_DIR=" + m_folder + "/run";
    std::string path = "PATH=/usr/bin:/bin";
    std::string leaks = kLeakSuppressions;
    char* environment[] = {runtime.data(), path.data(), leaks.data(), nullptr};
    const passwd* user = getpwnam(kAccount);
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    m_pid = fork();
    if (m_pid == 0) {
        // The server ends with the test program, however that ends: the death signal is set
        // after the change of account, which would clear it.
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(126);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execve(KORVEL_PRINTER_APP, argv.data(), environment);
        _exit(127);
    }
    for (int i = 0; i < 200 && !Answers(m_port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!Answers(m_port)) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

CTestServer::~CTestServer() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    std::filesystem::remove_all(m_folder);
}

std::string CTestServer::Socket() const {
    return m_folder + "/run/korvel-printer-app" + std::to_string(getpwnam(kAccount)->pw_uid) +
           ".sock";
}

std::string CTestServer::PrinterUri(const std::string& printer) const {
    return "ipp://localhost:" + std::to_string(m_port) + "/ipp/print/" + printer;
}

std::string CTestServer::SocketUri(const std::string& resource) const {
    std::string host;
    for (char c : Socket())
        host += c == '/' ? std::string("%2F") : std::string(1, c);
    return "ipp://" + host + resource;
}

std::string CTestServer::OutputFile(const std::string& name) const {
    const std::string path = m_folder + "/out/" + name;
    std::ofstream(path).close();
    GiveTo(path, "nogroup", 0644);
    return path;
}

int CTestServer::Run(const std::string& account, const std::string& arguments) const {
    const std::string command =
        AsAccount(account, "XDG_RUNTIME_DIR=" + m_folder + "/run", KORVEL_PRINTER_APP) + " " +
        arguments + " </dev/null";
    return std::system(command.c_str());
}

std::string CTestServer::Log() const {
    std::ifstream file(m_folder + "/server.log");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
