#pragma once

#include <string>

#include "platform/system_log_service.h"

// The system's log on Linux: each line as a syslog datagram (RFC 3164, as syslog(3) writes it
// locally) to the socket that journald or a syslog daemon reads, with the facility of printing
// (LOG_LPR) and the tag "pavonis", so that `journalctl -t pavonis` lists a fleet's runs.
// The datagrams are made here rather than by syslog(3) so that a test can hand a socket of its own
// and read what the journal would be sent; syslog(3) writes to /dev/log and nowhere else.
class CPosixSystemLogService : public ISystemLogService {
  public:
    static constexpr char kSocket[] = "/dev/log";
    static constexpr char kTag[] = "pavonis";

    explicit CPosixSystemLogService(std::string socketPath = kSocket, std::string tag = kTag);
    ~CPosixSystemLogService() override;
    CPosixSystemLogService(const CPosixSystemLogService&) = delete;
    CPosixSystemLogService& operator=(const CPosixSystemLogService&) = delete;

    void Write(LogLevel level, const std::wstring& message) override;

    // The datagram of one line: "<54>Dec  8 10:15:01 pavonis[4242]: Setup started." for an
    // information line at that local time from process 4242.
    static std::string Datagram(LogLevel level, const std::wstring& message, const std::string& tag,
                                long pid, const struct tm& local);

  private:
    const std::string m_socketPath;
    const std::string m_tag;
    int m_socket = -1;
};
