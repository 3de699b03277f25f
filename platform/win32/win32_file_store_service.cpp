#include "platform/win32/win32_file_store_service.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"

namespace {

// Memory the shell allocated for the caller, freed with CoTaskMemFree.
struct CoTaskMemFreer {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

constexpr wchar_t kOwnFolder[] = L"Korvel Setup";

// Owned by the administrators; full control for the system and the administrators, passed on
// to every file and folder made below; nothing inherited from the folder above, where on
// Windows every user may make files.
constexpr wchar_t kFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The rights that let their holder change what a folder or file holds, or who may change it.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// The Windows Modules Installer service, which owns much of what Windows itself installs.
constexpr wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// The names of our own refusals in the failure record.
constexpr wchar_t kNameCheck[] = L"plain name check";
constexpr wchar_t kFolderCheck[] = L"folder check";
constexpr wchar_t kFileCheck[] = L"file check";

// Whether `name` names a file or folder right in its folder and nothing else: no path, no
// device, and nothing that Windows would change into another name (it drops dots and blanks at
// the end of a name, so that ".." or "a." would name the folder above or the file "a").
bool IsPlainName(const wchar_t* name) {
    if (name == nullptr || *name == L'\0')
        return false;
    const std::wstring text(name);
    if (text.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos ||
        std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < L' '; }) ||
        text.back() == L'.' || text.back() == L' ')
        return false;
    // CON, PRN, AUX, NUL, COM0 to COM9 and LPT0 to LPT9 (also with a superscript 1, 2 or 3) are
    // devices, with any extension.
    std::wstring stem = text.substr(0, text.find(L'.'));
    CharUpperBuffW(stem.data(), static_cast<DWORD>(stem.size()));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"}) {
        if (stem == device)
            return false;
    }
    const bool numbered =
        stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0);
    return !(numbered && ((stem[3] >= L'0' && stem[3] <= L'9') || stem[3] == L'\u00b9' ||
                          stem[3] == L'\u00b2' || stem[3] == L'\u00b3'));
}

bool PlainName(const wchar_t* name) {
    if (IsPlainName(name))
        return true;
    RecordWin32Failure(kNameCheck, ERROR_INVALID_NAME);
    return false;
}

// The accounts whose folders and files the store trusts: the system and the administrators;
// the installer service as an owner; and the account the program runs as, an administrator, as
// the program asks for elevation. On Windows what an administrator's elevated program makes is
// owned by the administrators, but Wine 8 reports every file as owned by the account the
// program runs as, with full control for it and for the system, whatever was asked for when it
// was made (measured: a folder made with kFolderSecurity reads back as owned by
// S-1-5-21-0-0-0-1000 with full control for that account and the system).
class CTrustedAccounts {
  public:
    bool Load() {
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

    bool MayChange(PSID sid) const {
        return IsWellKnownSid(sid, WinLocalSystemSid) ||
               IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
               EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(m_user.data())->User.Sid);
    }
    bool MayOwn(PSID sid) const { return MayChange(sid) || EqualSid(sid, m_installer.get()); }

  private:
    std::vector<BYTE> m_user;  // a TOKEN_USER
    UniqueLocal<void> m_installer;
};

// Whether the owner and the access list of a folder or file let nobody but trusted accounts
// change it. Refusals are recorded under the name `check`.
bool TrustedSecurity(PSID owner, PACL access, const CTrustedAccounts& accounts,
                     const wchar_t* check) {
    if (owner == nullptr || !accounts.MayOwn(owner)) {
        RecordWin32Failure(check, ERROR_INVALID_OWNER);
        return false;
    }
    // No access list at all grants everybody everything.
    if (access == nullptr) {
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

// Whether a folder somebody made before may be used: a folder and no link, whose owner and
// access list let nobody but trusted accounts change it. Wine 8 shows a link (a Unix symbolic
// link to a folder) as a reparse point here, though not on a handle opened on it.
bool TrustedFolder(const std::wstring& path, const CTrustedAccounts& accounts) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        RecordWin32Failure(L"GetFileAttributesW", GetLastError());
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        RecordWin32Failure(kFolderCheck, ERROR_CANT_ACCESS_FILE);
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        RecordWin32Failure(kFolderCheck, ERROR_DIRECTORY);
        return false;
    }
    PSID owner = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(
        path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &owner, nullptr, &access, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        RecordWin32Failure(L"GetNamedSecurityInfoW", error);
        return false;
    }
    const UniqueLocal<void> owned(descriptor);
    return TrustedSecurity(owner, access, accounts, kFolderCheck);
}

// Makes the folder with access for the system and administrators only, or checks the one that
// is there already.
bool MakeFolder(const std::wstring& path, const CTrustedAccounts& accounts) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSecurity, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        RecordWin32Failure(L"ConvertStringSecurityDescriptorToSecurityDescriptorW", GetLastError());
        return false;
    }
    const UniqueLocal<void> owned(descriptor);
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    if (CreateDirectoryW(path.c_str(), &security))
        return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
        RecordWin32Failure(L"CreateDirectoryW", error);
        return false;
    }
    return TrustedFolder(path, accounts);
}

// Writes all of `bytes` at the file's current end or position.
bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) {
            RecordWin32Failure(L"WriteFile", GetLastError());
            return false;
        }
        if (written == 0) {
            RecordWin32Failure(L"WriteFile", ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

// Opens a file; null with the failure recorded.
UniqueHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        RecordWin32Failure(L"CreateFileW", GetLastError());
        return nullptr;
    }
    return UniqueHandle(file);
}

// Whether an open file is a plain file (no link, no folder) that a trusted account owns.
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

}  // namespace

CWin32FileStoreService::CWin32FileStoreService(std::wstring root) : m_root(std::move(root)) {}

bool CWin32FileStoreService::Root(std::wstring& root) {
    if (!m_root.empty()) {
        root = m_root;
        return true;
    }
    wchar_t* programData = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData);
    // The caller frees the path whether the call succeeded or not.
    const std::unique_ptr<wchar_t, CoTaskMemFreer> owned(programData);
    if (FAILED(result)) {
        RecordWin32Failure(L"SHGetKnownFolderPath", static_cast<DWORD>(result));
        return false;
    }
    root = std::wstring(programData) + L'\\' + kOwnFolder;
    return true;
}

bool CWin32FileStoreService::FilePath(const wchar_t* folder, const wchar_t* name,
                                      std::wstring& path) {
    std::wstring root;
    if (!PlainName(folder) || !PlainName(name) || !Root(root))
        return false;
    path = root + L'\\' + folder + L'\\' + name;
    return true;
}

bool CWin32FileStoreService::SecureProgramFolder(std::wstring& movedAside) {
    movedAside.clear();
    std::wstring root;
    return Root(root);
}

bool CWin32FileStoreService::PrepareFolder(const wchar_t* folder) {
    std::wstring root;
    if (!PlainName(folder) || !Root(root))
        return false;
    CTrustedAccounts accounts;
    return accounts.Load() && MakeFolder(root, accounts) &&
           MakeFolder(root + L'\\' + folder, accounts);
}

std::wstring CWin32FileStoreService::PathOf(const wchar_t* folder, const wchar_t* name) {
    std::wstring root;
    if (!Root(root))
        return std::wstring();
    return root + L'\\' + folder + L'\\' + name;
}

bool CWin32FileStoreService::ListFiles(const wchar_t* folder, StringList& names) {
    std::wstring root;
    if (!PlainName(folder) || !Root(root))
        return false;
    const std::wstring pattern = root + L'\\' + folder + L"\\*";
    WIN32_FIND_DATAW found{};
    HANDLE raw = FindFirstFileW(pattern.c_str(), &found);
    if (raw == INVALID_HANDLE_VALUE) {
        RecordWin32Failure(L"FindFirstFileW", GetLastError());
        return false;
    }
    const UniqueFind search(raw);
    StringList files;
    do {
        const std::wstring name = found.cFileName;
        // Folders, links and the halves of interrupted writes are no files of the store.
        const bool temporary = name.size() >= 4 && name.compare(name.size() - 4, 4, L".tmp") == 0;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                0 &&
            !temporary)
            files.push_back(name);
    } while (FindNextFileW(search.get(), &found));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        RecordWin32Failure(L"FindNextFileW", error);
        return false;
    }
    std::sort(files.begin(), files.end());
    names.insert(names.end(), files.begin(), files.end());
    return true;
}

bool CWin32FileStoreService::WriteFile(const wchar_t* folder, const wchar_t* name,
                                       const std::string& bytes) {
    std::wstring path;
    if (!FilePath(folder, name, path))
        return false;
    // The new content is written whole beside the file and on the disk before it takes the
    // file's place, so that a failure at any point leaves the old content whole.
    const std::wstring temporary = path + L".tmp";
    UniqueHandle file = OpenFile(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (!file)
        return false;
    bool written = WriteAll(file.get(), bytes);
    if (written && !FlushFileBuffers(file.get())) {
        RecordWin32Failure(L"FlushFileBuffers", GetLastError());
        written = false;
    }
    file.reset();
    if (written && !MoveFileExW(temporary.c_str(), path.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        RecordWin32Failure(L"MoveFileExW", GetLastError());
        written = false;
    }
    if (!written)
        ::DeleteFileW(temporary.c_str());
    return written;
}

bool CWin32FileStoreService::AppendFile(const wchar_t* folder, const wchar_t* name,
                                        const std::string& bytes) {
    std::wstring path;
    if (!FilePath(folder, name, path))
        return false;
    const UniqueHandle file =
        OpenFile(path, FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    return file && WriteAll(file.get(), bytes);
}

bool CWin32FileStoreService::ReadFile(const wchar_t* folder, const wchar_t* name,
                                      std::string& bytes) {
    std::wstring path;
    if (!FilePath(folder, name, path))
        return false;
    // Opened as it is, not followed where it may lead, so that a link is seen for one.
    const UniqueHandle file =
        OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file || !TrustedFile(file.get()))
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        RecordWin32Failure(L"GetFileSizeEx", GetLastError());
        return false;
    }
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(file.get(), content.data() + done, chunk, &read, nullptr)) {
            RecordWin32Failure(L"ReadFile", GetLastError());
            return false;
        }
        if (read == 0)
            break;  // the file was cut short while it was read
        done += read;
    }
    content.resize(done);
    bytes = std::move(content);
    return true;
}

bool CWin32FileStoreService::DeleteFile(const wchar_t* folder, const wchar_t* name) {
    std::wstring path;
    if (!FilePath(folder, name, path))
        return false;
    if (!::DeleteFileW(path.c_str())) {
        RecordWin32Failure(L"DeleteFileW", GetLastError());
        return false;
    }
    return true;
}
