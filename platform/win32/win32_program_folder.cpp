#include "platform/win32/win32_program_folder.h"

#include <sddl.h>
#include <shlobj.h>
#include <knownfolders.h>
#include <aclapi.h>

#include <algorithm>
#include <memory>

#include "platform/win32/win32_failure.h"

namespace {

// Memory the shell allocated for the caller, freed with CoTaskMemFree.
struct CoTaskMemFreer {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

constexpr wchar_t kOwnFolder[] = L"Korvel Setup";

// The rights that let their holder change what a folder or file holds, or who may change it.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// The Windows Modules Installer service, which owns much of what Windows itself installs.
constexpr wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

constexpr wchar_t kFileCheck[] = L"file check";

}  // namespace

bool ProgramFolderPath(std::wstring& path) {
    wchar_t* programData = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData);
    // The caller frees the path whether the call succeeded or not.
    const std::unique_ptr<wchar_t, CoTaskMemFreer> owned(programData);
    if (FAILED(result)) {
        RecordWin32Failure(L"SHGetKnownFolderPath", static_cast<DWORD>(result));
        return false;
    }
    path = std::wstring(programData) + L'\\' + kOwnFolder;
    return true;
}

CSddlSecurity::CSddlSecurity(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        RecordWin32Failure(L"ConvertStringSecurityDescriptorToSecurityDescriptorW", GetLastError());
        return;
    }
    m_descriptor.reset(descriptor);
    m_attributes = {sizeof(m_attributes), descriptor, FALSE};
}

bool CTrustedAccounts::Load() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        RecordWin32Failure(L"OpenProcessToken", GetLastError());
        return false;
    }
    const UniqueHandle token(raw);
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size)) {
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            RecordWin32Failure(L"GetTokenInformation", error);
            return false;
        }
    }
    m_user.resize(size);
    if (!GetTokenInformation(token.get(), TokenUser, m_user.data(), size, &size)) {
        RecordWin32Failure(L"GetTokenInformation", GetLastError());
        return false;
    }
    PSID installer = nullptr;
    if (!ConvertStringSidToSidW(kTrustedInstaller, &installer)) {
        RecordWin32Failure(L"ConvertStringSidToSidW", GetLastError());
        return false;
    }
    m_installer.reset(installer);
    return true;
}

bool CTrustedAccounts::MayChange(PSID sid) const {
    return IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(m_user.data())->User.Sid);
}

std::wstring CTrustedAccounts::UserSid() const {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(m_user.data())->User.Sid,
                                &text)) {
        RecordWin32Failure(L"ConvertSidToStringSidW", GetLastError());
        return std::wstring();
    }
    const UniqueLocal<wchar_t> owned(text);
    return owned.get();
}

bool CTrustedAccounts::IsRunningAccountOrAdministrators(PSID sid) const {
    return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(m_user.data())->User.Sid);
}

bool CTrustedAccounts::MayOwn(PSID sid) const {
    return MayChange(sid) || EqualSid(sid, m_installer.get());
}

bool TrustedSecurity(PSECURITY_DESCRIPTOR descriptor, const CTrustedAccounts& accounts,
                     const wchar_t* check) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) {
        RecordWin32Failure(L"GetSecurityDescriptorOwner", GetLastError());
        return false;
    }
    if (owner == nullptr || !accounts.MayOwn(owner)) {
        RecordWin32Failure(check, ERROR_INVALID_OWNER);
        return false;
    }
    BOOL present = FALSE;
    PACL access = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &access, &defaulted)) {
        RecordWin32Failure(L"GetSecurityDescriptorDacl", GetLastError());
        return false;
    }
    // No access list at all grants everybody everything.
    if (!present || access == nullptr) {
        RecordWin32Failure(check, ERROR_INVALID_ACL);
        return false;
    }
    for (DWORD i = 0; i < access->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(access, i, &entry)) {
            RecordWin32Failure(L"GetAce", GetLastError());
            return false;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        // Entries that grant under conditions or to object types are not read: refused.
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            ((allowed->Mask & kChangeRights) != 0 &&
             !accounts.MayChange(const_cast<DWORD*>(&allowed->SidStart)))) {
            RecordWin32Failure(check, ERROR_INVALID_ACL);
            return false;
        }
    }
    return true;
}

bool TrustedFile(HANDLE file) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag))) {
        RecordWin32Failure(L"GetFileInformationByHandleEx", GetLastError());
        return false;
    }
    if ((tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        RecordWin32Failure(kFileCheck, ERROR_CANT_ACCESS_FILE);
        return false;
    }
    CTrustedAccounts accounts;
    if (!accounts.Load())
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                        nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        RecordWin32Failure(L"GetSecurityInfo", error);
        return false;
    }
    const UniqueLocal<void> owned(descriptor);
    if (owner == nullptr || !accounts.MayOwn(owner)) {
        RecordWin32Failure(kFileCheck, ERROR_INVALID_OWNER);
        return false;
    }
    return true;
}

CProgramFolderGuard::CProgramFolderGuard(const std::wstring& root) {
    constexpr DWORD kWaitMs = 60000;
    CSddlSecurity security(L"D:P(A;;GA;;;SY)(A;;GA;;;BA)");
    if (security.Get() == nullptr)
        return;
    m_mutex.reset(CreateMutexW(security.Get(), FALSE, NameFor(root).c_str()));
    if (!m_mutex) {
        RecordWin32Failure(L"CreateMutexW", GetLastError());
        return;
    }
    // A run that died holding it leaves it abandoned: the folder is checked afresh anyway.
    const DWORD waited = WaitForSingleObject(m_mutex.get(), kWaitMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        m_held = true;
        return;
    }
    RecordWin32Failure(L"WaitForSingleObject",
                       waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError());
}

CProgramFolderGuard::~CProgramFolderGuard() {
    if (m_held)
        ReleaseMutex(m_mutex.get());
}

std::wstring CProgramFolderGuard::NameFor(const std::wstring& root) {
    // A backslash would be taken for a namespace; the name is otherwise the folder's path, so
    // that tests with folders of their own do not wait for each other.
    std::wstring name = L"Global\\Korvel Setup folder " + root;
    std::replace(name.begin() + 7, name.end(), L'\\', L'/');
    return name.substr(0, MAX_PATH - 1);
}

namespace {

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return L"another account";
    const UniqueLocal<wchar_t> owned(text);
    return text;
}

// The system, the administrators and the installer service.
bool IsAdministration(PSID sid) {
    return IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || SidText(sid) == kTrustedInstaller;
}

}  // namespace

std::wstring WhyOthersMayChangeIt(PSECURITY_DESCRIPTOR descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr)
        return std::wstring();
    // Its owner may change its access list.
    if (!IsAdministration(owner))
        return L"it belongs to " + SidText(owner) + L".";
    BOOL present = FALSE;
    PACL access = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &access, &defaulted))
        return std::wstring();
    if (!present || access == nullptr)
        return L"it has no access list, which lets everybody change it.";
    for (DWORD i = 0; i < access->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(access, i, &entry))
            return std::wstring();
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // Entries for what is made in it later do not apply to the folder itself, and those
        // who may make files in it are caught by the folder's own entries.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & kChangeRights) != 0 && !IsAdministration(sid))
            return L"it lets " + SidText(sid) + L" change it.";
    }
    return std::wstring();
}
