#include "platform/win32/win32_console.h"

#include <windows.h>

#include <chrono>
#include <vector>

#include "platform/console_stop.h"
#include "platform/standin/wide_text.h"
#include "platform/win32/win32_failure.h"

namespace {

// Windows ends the process about five seconds after a close or shutdown arrives if the handler
// has not returned by then: the wait stays under that.
constexpr std::chrono::milliseconds kSettleBound{4000};

// Never destroyed: the handler's thread may still wait on it while the main thread ends the
// process and the C runtime destroys its objects.
CConsoleStop& g_stop = *new CConsoleStop;
UINT g_cancelledExitCode = 1;

BOOL WINAPI OnConsoleControl(DWORD event) {
    CConsoleStop::Kind kind = CConsoleStop::Kind::kInterrupt;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            kind = CConsoleStop::Kind::kEnding;
            break;
        default:
            // A user logging off. It does not say which user, and a program a service started (a
            // deployment run as SYSTEM) gets it at every user's logoff: the system's own handler,
            // which keeps such a program running, decides.
            return FALSE;
    }
    if (g_stop.Arrive(kind, kSettleBound) == CConsoleStop::Action::kEndNow)
        ExitProcess(g_cancelledExitCode);
    return TRUE;
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void WriteConsoleLine(bool toStandardError, const std::wstring& line) {
    HANDLE stream = GetStdHandle(toStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
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

bool ReadStandardInputLine(std::string& line, size_t mostBytes) {
    line.clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE) {
        RecordWin32Failure(L"GetStdHandle", GetLastError());
        return false;
    }
    // A process started without a standard input has none.
    if (input == nullptr) {
        RecordWin32Failure(L"GetStdHandle", ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode)) {
        // A console in line mode hands over a line once Enter is pressed.
        std::wstring text;
        std::vector<wchar_t> buffer(mostBytes);
        while (text.find(L'\n') == std::wstring::npos && text.size() < mostBytes) {
            DWORD count = 0;
            if (!ReadConsoleW(input, buffer.data(), static_cast<DWORD>(buffer.size()), &count,
                              nullptr)) {
                RecordWin32Failure(L"ReadConsoleW", GetLastError());
                return false;
            }
            if (count == 0)
                break;
            text.append(buffer.data(), count);
        }
        line = EncodeUtf8(text);
        if (line.size() > mostBytes)
            line.resize(mostBytes);
        return true;
    }
    while (line.size() < mostBytes) {
        char byte = 0;
        DWORD count = 0;
        if (!ReadFile(input, &byte, 1, &count, nullptr)) {
            const DWORD error = GetLastError();
            // The writer closed its end of the pipe: the input ended.
            if (error == ERROR_BROKEN_PIPE)
                break;
            RecordWin32Failure(L"ReadFile", error);
            return false;
        }
        if (count == 0)
            break;
        line += byte;
        if (byte == '\n')
            break;
    }
    return true;
}

void CatchConsoleStop(uint32_t cancelledExitCode) {
    g_cancelledExitCode = cancelledExitCode;
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

bool StopRequested() {
    return g_stop.Requested();
}

void AllowImmediateStop(bool allowed) {
    if (g_stop.AllowImmediate(allowed) == CConsoleStop::Action::kEndNow)
        ExitProcess(g_cancelledExitCode);
}

void MarkRunSettled() {
    g_stop.Settle();
}
