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

// Why an open handle is no file to append the copy to; empty when it is one.
std::wstring WhyNotAFileOfOurs(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return L"its kind could not be read.";
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return L"it is a link (a reparse point).";
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return L"it is a folder.";
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS)
        return L"its owner could not be read.";
    const UniqueLocal<void> ownedDescriptor(descriptor);
    // The running account's own file is fine too: the copy is for whoever asked for it.
    CTrustedAccounts accounts;
    if (!accounts.Load())
        return L"the running account could not be read.";
    return accounts.MayOwn(owner) ? L"" : L"it belongs to another account.";
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
    const std::wstring problem = WhyNotAFileOfOurs(file.get());
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
    if (!WhyNotAFileOfOurs(file.get()).empty()) {
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
