#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "console/console_program.h"
#include "platform/services.h"
#include "platform/standin/wide_text.h"
#include "platform/win32/win32_services.h"

namespace {

// First of all, DLLs are looked for in the system folder only: deployment engines run the program
// as SYSTEM from a folder they unpacked, where a planted DLL would otherwise be loaded.
struct CDllSearchHardening {
    CDllSearchHardening() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }
} g_dllSearchHardening;

std::atomic<bool> g_stopRequested{false};

// Ctrl+C, Ctrl+Break and the closing of the console only ask the run to stop: the run puts back
// what it removed before it ends, rather than dying between a deletion and its restore.
BOOL WINAPI OnConsoleControl(DWORD) {
    g_stopRequested = true;
    return TRUE;
}

// Lines to the console as text of any script when it is one, and as UTF-8 bytes when the output
// is redirected to a file or a pipe, as deployment engines capture it.
class CWin32ConsoleHost : public IConsoleHost {
  public:
    void Out(const std::wstring& line) override { Write(STD_OUTPUT_HANDLE, line); }
    void Err(const std::wstring& line) override { Write(STD_ERROR_HANDLE, line); }
    bool HasWindows() const override { return true; }
    bool StopRequested() const override { return g_stopRequested; }

  private:
    static void Write(DWORD which, const std::wstring& line) {
        HANDLE stream = GetStdHandle(which);
        if (stream == nullptr || stream == INVALID_HANDLE_VALUE)
            return;
        const std::wstring text = line + L"\r\n";
        DWORD mode = 0;
        DWORD written = 0;
        if (GetConsoleMode(stream, &mode)) {
            WriteConsoleW(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            return;
        }
        const std::string bytes = EncodeUtf8(text);
        WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The printer UI's commands are ended with every process they started when their wait runs
    // out, and a launch failure goes to standard error instead of a message box: nothing of ours
    // may wait for a person or keep working behind the next installer.
    CWin32Services services(LauncherMode::kConsole);
    CScopedServices scope(services.Set());
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    CWin32ConsoleHost host;
    return RunConsoleProgram(arguments, host);
}
