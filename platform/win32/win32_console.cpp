#include "platform/win32/win32_console.h"

#include <windows.h>

#include <atomic>

#include "platform/standin/wide_text.h"

namespace {

std::atomic<bool> g_stopRequested{false};

BOOL WINAPI OnConsoleControl(DWORD) {
    g_stopRequested = true;
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

void CatchConsoleStop() {
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

bool StopRequested() {
    return g_stopRequested;
}
