#include <windows.h>

#include <aclapi.h>

#include <string>

#include "platform/log_copy.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_program_folder.h"

namespace {

// A new copy gets the rights of the program's own folder: the system and the administrators.
constexpr wchar_t kNewFileSecurity[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

// Whether the open file is the one the path names: a junction or link on a folder of the path
// leads the open elsewhere, which the reparse-point check of the file itself does not see.
bool OpenedWhereAsked(HANDLE file, const std::wstring& path) {
    wchar_t full[MAX_PATH * 4] = {};
    wchar_t final[MAX_PATH * 4] = {};
    const DWORD fullLength = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    const DWORD finalLength = GetFinalPathNameByHandleW(file, final, MAX_PATH * 4,
                                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (fullLength == 0 || fullLength >= MAX_PATH * 4 || finalLength == 0 ||
        finalLength >= MAX_PATH * 4)
        return false;
    std::wstring opened(final, finalLength);
    // "\\?\C:\…" for a drive, "\\?\UNC\server\…" for a share.
    if (opened.rfind(L"\\\\?\\UNC\\", 0) == 0)
        opened = L"\\\\" + opened.substr(8);
    else if (opened.rfind(L"\\\\?\\", 0) == 0)
        opened = opened.substr(4);
    return CompareStringOrdinal(opened.c_str(), -1, full, -1, TRUE) == CSTR_EQUAL;
}

// Why an open handle is no file to append the copy to; empty when it is one.
std::wstring WhyNotAFileOfOurs(HANDLE file, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return L"its kind could not be read.";
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return L"it is a link (a reparse point).";
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return L"it is a folder.";
    // Another name of the same file may lie where its owner reads it.
    if (information.nNumberOfLinks > 1)
        return L"it has more than one name (a hard link).";
    if (!OpenedWhereAsked(file, path))
        return L"a folder on its path leads elsewhere (a junction or a link).";
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS)
        return L"its owner could not be read.";
    const UniqueLocal<void> ownedDescriptor(descriptor);
    // The copy is for whoever asked for it: a file of the running account's or the
    // administrators'. A file of the system's or the installer service's is a file of Windows.
    CTrustedAccounts accounts;
    if (!accounts.Load())
        return L"the running account could not be read.";
    return accounts.IsRunningAccountOrAdministrators(owner) ? L""
                                                            : L"it belongs to another account.";
}

// Opens the file as it is, a link itself rather than what it points to.
UniqueHandle OpenAsItIs(const std::wstring& path, DWORD access, DWORD disposition,
                        SECURITY_ATTRIBUTES* security) {
    const HANDLE file = CreateFileW(
        path.c_str(), access, FILE_SHARE_READ, security, disposition,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    // The error stays the last one of this thread for the caller to take.
    return UniqueHandle(file != INVALID_HANDLE_VALUE ? file : nullptr);
}

}  // namespace

bool CheckLogCopyFile(const std::wstring& path, std::wstring& why) {
    const UniqueHandle file = OpenAsItIs(path, READ_CONTROL, OPEN_EXISTING, nullptr);
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return true;  // made later, with rights of its own
        why =
            L"The log file " + path + L" cannot be opened (error " + std::to_wstring(error) + L").";
        return false;
    }
    const std::wstring problem = WhyNotAFileOfOurs(file.get(), path);
    if (problem.empty())
        return true;
    why = L"The log file " + path + L" is not used: " + problem;
    return false;
}

bool AppendToLogCopy(const std::wstring& path, const std::string& bytes) {
    CSddlSecurity security(kNewFileSecurity);
    if (security.Get() == nullptr)
        return false;
    const UniqueHandle file =
        OpenAsItIs(path, FILE_APPEND_DATA | READ_CONTROL, OPEN_ALWAYS, security.Get());
    if (!file) {
        RecordWin32Failure(L"CreateFileW", GetLastError());
        return false;
    }
    if (!WhyNotAFileOfOurs(file.get(), path).empty()) {
        RecordWin32Failure(L"GetFileInformationByHandle", ERROR_ACCESS_DENIED);
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        RecordWin32Failure(L"WriteFile", GetLastError());
        return false;
    }
    return true;
}
