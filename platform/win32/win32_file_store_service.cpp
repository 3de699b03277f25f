#include "platform/win32/win32_file_store_service.h"

#include <aclapi.h>
#include <rpc.h>
#include <sddl.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "platform/platform_failure.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_program_folder.h"

namespace {

// Owned by the administrators; full control for the system and the administrators, passed on
// to every file and folder made below; nothing inherited from the folder above, where on
// Windows every user may make files.
constexpr wchar_t kFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The names of our own refusals in the failure record.
constexpr wchar_t kNameCheck[] = L"plain name check";
constexpr wchar_t kFolderCheck[] = L"folder check";

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
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(
        path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        RecordWin32Failure(L"GetNamedSecurityInfoW", error);
        return false;
    }
    const UniqueLocal<void> owned(descriptor);
    return TrustedSecurity(descriptor, accounts, kFolderCheck);
}

// Makes the folder with access for the system and administrators only, or checks the one that
// is there already.
bool MakeFolder(const std::wstring& path, const CTrustedAccounts& accounts) {
    CSddlSecurity security(kFolderSecurity);
    if (security.Get() == nullptr)
        return false;
    if (CreateDirectoryW(path.c_str(), security.Get()))
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

// The name an untrusted program folder is moved aside to: "<root>.untrusted-<universal
// time>Z-<random>", the time for a person, the random part so that nobody can make the name
// first and so block every run. Empty with the failure recorded.
std::wstring AsideName(const std::wstring& root) {
    UUID random{};
    const RPC_STATUS status = UuidCreate(&random);
    if (status != RPC_S_OK) {
        RecordWin32Failure(L"UuidCreate", static_cast<DWORD>(status));
        return std::wstring();
    }
    SYSTEMTIME now{};
    GetSystemTime(&now);
    wchar_t name[64] = {};
    std::swprintf(name, 64, L".untrusted-%04u%02u%02u-%02u%02u%02uZ-%08lx%04x%04x", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                  static_cast<unsigned long>(random.Data1), random.Data2, random.Data3);
    return root + name;
}

}  // namespace

CWin32FileStoreService::CWin32FileStoreService(std::wstring root) : m_root(std::move(root)) {}

bool CWin32FileStoreService::Root(std::wstring& root) {
    if (!m_root.empty()) {
        root = m_root;
        return true;
    }
    return ProgramFolderPath(root);
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
    CTrustedAccounts accounts;
    if (!Root(root) || !accounts.Load())
        return false;
    // The check and the move are one step for every run: see CProgramFolderGuard.
    const CProgramFolderGuard guard(root);
    if (!guard.Held())
        return false;
    if (GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            RecordWin32Failure(L"GetFileAttributesW", error);
            return false;
        }
        return MakeFolder(root, accounts);
    }
    if (TrustedFolder(root, accounts))
        return true;
    // Whatever made the check refuse it, the answer is the same: what a standard user may have
    // planted or may still change is kept, for an administrator to look at, but no longer used.
    // The refusal is no failure of this call.
    TakePlatformFailure();
    // Renamed, never copied: a copy would follow the links a user could have left in it. The new
    // name is one nobody can make in advance, as a name of the time alone could be.
    for (int attempt = 0;; ++attempt) {
        const std::wstring aside = AsideName(root);
        if (aside.empty())
            return false;
        if (MoveFileExW(root.c_str(), aside.c_str(), 0)) {
            movedAside = aside;
            break;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) || attempt == 3) {
            RecordWin32Failure(L"MoveFileExW", error);
            return false;
        }
    }
    return MakeFolder(root, accounts);
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

bool CWin32FileStoreService::Read(const wchar_t* folder, const wchar_t* name, size_t most,
                                  std::string& bytes, uint64_t& size) {
    std::wstring path;
    if (!FilePath(folder, name, path))
        return false;
    // Opened as it is, not followed where it may lead, so that a link is seen for one.
    const UniqueHandle file =
        OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file || !TrustedFile(file.get()))
        return false;
    LARGE_INTEGER whole{};
    if (!GetFileSizeEx(file.get(), &whole)) {
        RecordWin32Failure(L"GetFileSizeEx", GetLastError());
        return false;
    }
    std::string content(
        static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(whole.QuadPart), most)), '\0');
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
    size = static_cast<uint64_t>(whole.QuadPart);
    return true;
}

bool CWin32FileStoreService::ReadFile(const wchar_t* folder, const wchar_t* name,
                                      std::string& bytes) {
    uint64_t size = 0;
    return Read(folder, name, static_cast<size_t>(-1), bytes, size);
}

bool CWin32FileStoreService::ReadFileHead(const wchar_t* folder, const wchar_t* name, size_t most,
                                          std::string& head, uint64_t& size) {
    return Read(folder, name, most, head, size);
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

std::wstring CWin32FileStoreService::WhyOthersMayChange(const wchar_t* path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (path == nullptr ||
        GetNamedSecurityInfoW(path, SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return std::wstring();
    const UniqueLocal<void> owned(descriptor);
    return WhyOthersMayChangeIt(descriptor);
}
