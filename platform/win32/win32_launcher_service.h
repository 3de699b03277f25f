#pragma once

#include "platform/launcher_service.h"

// How the launcher starts programs and tells of errors.
enum class LauncherMode {
    // The wizard's: programs through ShellExecuteExW, left running when the wait ends (kTimedOut);
    // errors in a message box.
    kWizard,
    // The console program's: programs in a job object, ended with every process they started
    // when the wait ends (kEnded); errors on standard error, as nobody may be there to close a
    // box.
    kConsole,
};

// Programs of the system directory, and errors, in the way the mode says.
class CWin32LauncherService : public ILauncherService {
  public:
    explicit CWin32LauncherService(LauncherMode mode = LauncherMode::kWizard);

    LaunchResult RunSystemProgram(const wchar_t* program, const wchar_t* parameters,
                                  uint32_t waitMs, uint32_t& error) override;
    void ShowError(const wchar_t* text, const wchar_t* caption) override;

  private:
    const LauncherMode m_mode;
};
