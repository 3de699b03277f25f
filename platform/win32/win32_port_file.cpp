#include <windows.h>

#include <aclapi.h>

#include <string>

#include "platform/platform_failure.h"
#include "platform/port_file.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_program_folder.h"

namespace {

constexpr wchar_t kCheck[] = L"port file check";

// The error of a failed call, with the system's text for it.
std::wstring ErrorText(const wchar_t* call, DWORD code) {
    RecordWin32Failure(call, code);
    const auto failure = TakePlatformFailure();
    const std::wstring text = failure && !failure->text.empty() ? failure->text + L", " : L"";
    return L"(" + text + L"error " + std::to_wstring(code) + L")";
}

// Why an open handle is no file to take a device URI from; empty when it is one.
std::wstring WhyNot(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK)
        return L"it is not a file.";
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) {
        const DWORD error = GetLastError();
        return L"its kind could not be read " + ErrorText(L"GetFileInformationByHandle", error) +
               L".";
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return L"it is a link (a reparse point).";
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return L"it is a folder.";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(file, SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        return L"its rights could not be read " + ErrorText(L"GetSecurityInfo", error) + L".";
    const UniqueLocal<void> owned(descriptor);
    CTrustedAccounts accounts;
    if (!accounts.Load()) {
        const auto failure = TakePlatformFailure();
        return L"the running account could not be read (error " +
               std::to_wstring(failure ? failure->code : 0) + L").";
    }
    if (TrustedSecurity(descriptor, accounts, kCheck))
        return L"";
    const auto failure = TakePlatformFailure();
    const DWORD code = failure ? failure->code : 0;
    if (code == ERROR_INVALID_OWNER)
        return L"it belongs to another account.";
    if (code == ERROR_INVALID_ACL)
        return L"other accounts may change it.";
    return L"its rights could not be read (error " + std::to_wstring(code) + L").";
}

}  // namespace

bool ReadPortFile(const std::wstring& path, std::string& bytes, std::wstring& why) {
    // Opened as it is, a link itself rather than what it points to, and a folder too, so that it
    // is refused for what it is.
    const HANDLE opened = CreateFileW(
        path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        why = L"The port file " + path + L" cannot be read " + ErrorText(L"CreateFileW", error) +
              L".";
        return false;
    }
    const UniqueHandle file(opened);
    const std::wstring problem = WhyNot(file.get());
    if (!problem.empty()) {
        why = L"The port file " + path + L" is not used: " + problem;
        return false;
    }
    bytes.clear();
    char buffer[1024];
    while (bytes.size() <= kPortFileMostBytes) {
        DWORD count = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr)) {
            const DWORD error = GetLastError();
            why = L"The port file " + path + L" cannot be read " + ErrorText(L"ReadFile", error) +
                  L".";
            return false;
        }
        if (count == 0)
            break;
        bytes.append(buffer, count);
    }
    if (bytes.size() > kPortFileMostBytes + 1)
        bytes.resize(kPortFileMostBytes + 1);
    return true;
}
