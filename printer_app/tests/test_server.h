#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A korvel-printer-app server of the test's own, run as the unprivileged account `nobody` in a
// fresh folder: its own state, spool and runtime folders (the last 0750, group lpadmin, as the
// service has it), a free loopback port, and a log. Needs root, to run as another account.
class CTestServer {
  public:
    explicit CTestServer(std::vector<std::string> extraOptions);
    ~CTestServer();
    CTestServer(const CTestServer&) = delete;
    CTestServer& operator=(const CTestServer&) = delete;

    bool Started() const { return m_pid > 0; }
    int Port() const { return m_port; }
    const std::string& Folder() const { return m_folder; }
    std::string Socket() const;
    std::string PrinterUri(const std::string& printer) const;
    std::string SocketUri(const std::string& resource) const;
    // An empty output file for a printer, that the server's account may write.
    std::string OutputFile(const std::string& name) const;
    // The program's command line, run as `account` with the server's XDG_RUNTIME_DIR: its exit
    // status (0 for success).
    int Run(const std::string& account, const std::string& arguments) const;
    std::string Log() const;

  private:
    std::string m_folder;
    int m_port = 0;
    pid_t m_pid = -1;
};

// The account command line `command` with the given environment, for std::system.
std::string AsAccount(const std::string& account, const std::string& environment,
                      const std::string& command);
