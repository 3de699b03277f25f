#pragma once

#include <cstdint>

enum class LaunchResult {
    kFinished,    // started, and ended within the wait
    kTimedOut,    // started, and still running when the wait ended
    kEnded,       // started, still running when the wait ended, and then ended with every process
                  // it had started (by a launcher made to do so)
    kNotStarted,  // could not be started
};

// Starts programs of the operating system and tells the user when that fails.
class ILauncherService {
  public:
    virtual ~ILauncherService() = default;

    // Starts `program` (a file name such as "rundll32.exe") from the system directory, never from
    // the search path, with `parameters`, shown normally and with no owner window, and waits at
    // most `waitMs` for it to end. kNotStarted comes with the system's error code in `error`.
    virtual LaunchResult RunSystemProgram(const wchar_t* program, const wchar_t* parameters,
                                          uint32_t waitMs, uint32_t& error) = 0;

    // Shows an error message box with no owner window (so it does not disable the wizard) and
    // returns when the user has closed it.
    virtual void ShowError(const wchar_t* text, const wchar_t* caption) = 0;
};
