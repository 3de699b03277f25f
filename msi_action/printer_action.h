#pragma once

#include <cstdint>
#include <string>

#include "msi_action/action_host.h"

// The package's deferred actions: pavonis.exe run from the installed folder, as SYSTEM, and its
// exit code turned into what msiexec understands. An action that ran an EXE directly would fail
// on any code but 0, so that a driver that did install but asks for a restart (3010) would be
// rolled back; here 3010 is a success that asks msiexec for the restart instead.
class CPrinterAction {
  public:
    // What the actions return to msiexec.
    static constexpr uint32_t kSuccess = 0;
    static constexpr uint32_t kFailure = 1603;  // ERROR_INSTALL_FAILURE
    // pavonis's code for an install that needs a restart.
    static constexpr uint32_t kRestartRequired = 3010;
    // How long pavonis waits for another setup run to release the setup lock.
    static constexpr uint32_t kLockWaitSeconds = 300;

    explicit CPrinterAction(IActionHost& host) : m_host(host) {}

    // Data "FOLDER|TESTPAGE|MODEL|PORT": installs MODEL (on PORT when given, with a test page
    // when TESTPAGE is 1), never as the default printer, and remembers it.
    uint32_t Install();
    // Data "FOLDER|MODEL": removes MODEL and forgets it.
    uint32_t Remove();

    // A command-line argument quoted so that the program's command-line parser gives it back
    // whole (CommandLineToArgvW's rules: backslashes count only before a double quote).
    static std::wstring Quoted(const std::wstring& argument);

  private:
    uint32_t RunPavonis(const std::wstring& folder, const std::wstring& arguments);

    IActionHost& m_host;
};
