// A printer UI for tests, put in place of the system's printui.dll in a Wine prefix. Wine's own
// parses the command and does nothing, so nothing would tell a test what it was given; this one
// writes each command line it gets to the file that KORVEL_PRINTUI_LOG names.
#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::wstring LogPath() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(L"KORVEL_PRINTUI_LOG", path.data(),
                                           static_cast<DWORD>(path.size()));
    if (length >= path.size()) {
        path.resize(length);
        length = GetEnvironmentVariableW(L"KORVEL_PRINTUI_LOG", path.data(),
                                         static_cast<DWORD>(path.size()));
    }
    path.resize(length < path.size() ? length : 0);
    return path;
}

}  // namespace

// Each call appends one record: the command line as UTF-16LE, then one NUL character, which no
// command line can hold, so that blanks at its end are kept and records never run together.
extern "C" __declspec(dllexport) void CALLBACK
    PrintUIEntryW(HWND, HINSTANCE, LPCWSTR commandLine, int) {
    const std::wstring path = LogPath();
    if (path.empty())
        return;
    HANDLE opened = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return;
    UniqueHandle file(opened);
    std::wstring record = commandLine != nullptr ? commandLine : L"";
    record += L'\0';
    DWORD written = 0;
    WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)),
              &written, nullptr);
}
