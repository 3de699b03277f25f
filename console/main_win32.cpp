#include <string>
#include <vector>

#include "console/console_program.h"
#include "console/exit_codes.h"
#include "platform/services.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_services.h"

namespace {

// Made before every other object of the program, so that no DLL is loaded before the search
// is restricted.
struct CDllSearchHardening {
    CDllSearchHardening() { RestrictDllSearchToSystemFolder(); }
} g_dllSearchHardening;

class CWin32ConsoleHost : public IConsoleHost {
  public:
    void Out(const std::wstring& line) override { WriteConsoleLine(false, line); }
    void Err(const std::wstring& line) override { WriteConsoleLine(true, line); }
    bool ReadInputLine(std::string& line, size_t mostBytes) override {
        return ReadStandardInputLine(line, mostBytes);
    }
    ConsolePlatform Platform() const override { return ConsolePlatform::kWindows; }
    bool StopRequested() const override { return ::StopRequested(); }
    void AllowImmediateStop(bool allowed) override { ::AllowImmediateStop(allowed); }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The printer UI's commands are ended with every process they started when their wait runs
    // out, and a launch failure goes to standard error instead of a message box: nothing of ours
    // may wait for a person or keep working behind the next installer.
    CWin32Services services(LauncherMode::kConsole);
    CScopedServices scope(services.Set());
    CatchConsoleStop(static_cast<uint32_t>(WindowsExitCode(Outcome::kCancelled)));
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    CWin32ConsoleHost host;
    const int exitCode = RunConsoleProgram(arguments, host);
    // Whatever it changed is put back or done: a close of the console may end the process now.
    MarkRunSettled();
    return exitCode;
}
