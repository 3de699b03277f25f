#include "platform/posix/posix_system_log_service.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/standin/wide_text.h"

namespace {

int Severity(LogLevel level) {
    switch (level) {
        case LogLevel::kWarning:
            return LOG_WARNING;
        case LogLevel::kError:
            return LOG_ERR;
        case LogLevel::kInformation:
            break;
    }
    return LOG_INFO;
}

}  // namespace

CPosixSystemLogService::CPosixSystemLogService(std::string socketPath, std::string tag)
    : m_socketPath(std::move(socketPath)), m_tag(std::move(tag)) {
    m_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

CPosixSystemLogService::~CPosixSystemLogService() {
    if (m_socket >= 0)
        close(m_socket);
}

std::string CPosixSystemLogService::Datagram(LogLevel level, const std::wstring& message,
                                             const std::string& tag, long pid,
                                             const struct tm& local) {
    // The time as syslog(3) writes it; the journal keeps its own and takes the tag and the
    // priority from the header.
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
    return "<" + std::to_string(LOG_LPR | Severity(level)) + ">" + stamp + " " + tag + "[" +
           std::to_string(pid) + "]: " + EncodeUtf8(message);
}

void CPosixSystemLogService::Write(LogLevel level, const std::wstring& message) {
    sockaddr_un address{};
    if (m_socket < 0 || m_socketPath.size() >= sizeof address.sun_path)
        return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    const std::string datagram =
        Datagram(level, message, m_tag, static_cast<long>(getpid()), local);
    // Never waits: a journal that is slow or gone costs the run a copy of a line, not its time.
    // The setup log's file keeps every line whatever the journal took.
    while (sendto(m_socket, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0 &&
           errno == EINTR) {
    }
}
