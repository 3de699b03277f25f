#pragma once

#include "platform/launcher_service.h"

// How the launcher tells of errors: the wizard's in a message box; the console program's on
// standard error, as nobody may be there to close a box.
enum class LauncherMode {
    kWizard,
    kConsole,
};

// Programs of the system directory, each in a job object of its own and a process group of its
// own, ended with every process it started when the wait ends (kEnded): a command that finished
// after its caller gave up on it would change the printers behind the caller's report. Errors in
// the way the mode says.
class CWin32LauncherService : public ILauncherService {
  public:
    explicit CWin32LauncherService(LauncherMode mode = LauncherMode::kWizard);

    LaunchResult RunSystemProgram(const wchar_t* program, const wchar_t* parameters,
                                  uint32_t waitMs, uint32_t& error) override;
    void ShowError(const wchar_t* text, const wchar_t* caption) override;

  private:
    const LauncherMode m_mode;
};
