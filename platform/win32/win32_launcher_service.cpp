#include "platform/win32/win32_launcher_service.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"

namespace {

// The system directory, or empty with the error in `error`.
std::wstring SystemDirectory(uint32_t& error) {
    std::wstring path(MAX_PATH, L'\0');
    UINT length = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    if (length >= path.size()) {
        // Too small: `length` is the size needed, terminator included.
        path.resize(length);
        length = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    }
    if (length == 0 || length >= path.size()) {
        error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        RecordWin32Failure(L"GetSystemDirectoryW", error);
        return std::wstring();
    }
    path.resize(length);
    return path;
}

}  // namespace

LaunchResult CWin32LauncherService::RunSystemProgram(const wchar_t* program,
                                                     const wchar_t* parameters, uint32_t waitMs,
                                                     uint32_t& error) {
    // A bare name may be looked for in the program's folder and the current folder before the
    // system directory. A setup folder is often a download folder, and a program of the same name
    // lying there would be started with the wizard's administrator rights.
    std::wstring path = SystemDirectory(error);
    if (path.empty())
        return LaunchResult::kNotStarted;
    path += L'\\';
    path += program;

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // Without SEE_MASK_FLAG_NO_UI the shell shows an error box of its own before it returns, and
    // that box clears the error code (measured under Wine: 0 where the file was missing). The
    // caller tells the user itself, from the code.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        error = GetLastError();
        RecordWin32Failure(L"ShellExecuteExW", error);
        return LaunchResult::kNotStarted;
    }
    // The shell hands back no process when the start went through some other route; then there
    // is nothing to wait for. A wait that failed tells no more than one that ran out.
    UniqueHandle process(info.hProcess);
    if (process && WaitForSingleObject(process.get(), waitMs) != WAIT_OBJECT_0)
        return LaunchResult::kTimedOut;
    return LaunchResult::kFinished;
}

void CWin32LauncherService::ShowError(const wchar_t* text, const wchar_t* caption) {
    MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONERROR);
}
