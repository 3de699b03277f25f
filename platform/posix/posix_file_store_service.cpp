#include "platform/posix/posix_file_store_service.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/native_path.h"
#include "platform/posix/posix_fd.h"
#include "platform/posix/posix_root_trust.h"
#include "platform/platform_failure.h"
#include "platform/standin/wide_text.h"

namespace {

constexpr char kTemporary[] = ".tmp";

bool Fail(const wchar_t* call, int error) {
    RecordPlatformFailure(call, static_cast<uint32_t>(error), DecodeUtf8(std::strerror(error)));
    return false;
}

// Records the failure of `call` (errno, which the removal may change) and removes the temporary
// file it leaves.
bool FailAndRemove(const wchar_t* call, const std::string& temporary) {
    const int error = errno;
    unlink(temporary.c_str());
    return Fail(call, error);
}

// Owned by us or by root: nobody else could have put it there.
bool TrustedOwner(const struct stat& status) {
    return status.st_uid == geteuid() || status.st_uid == 0;
}

bool PlainName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find(L'/') == std::wstring::npos && name.find(L'\0') == std::wstring::npos;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

CPosixFileStoreService::CPosixFileStoreService(std::map<std::wstring, std::string> folders)
    : m_folders(std::move(folders)) {}

bool CPosixFileStoreService::FolderPath(const wchar_t* folder, std::string& path) const {
    const auto found = m_folders.find(folder != nullptr ? folder : L"");
    if (found == m_folders.end())
        return Fail(L"folder name", EINVAL);
    path = found->second;
    return true;
}

bool CPosixFileStoreService::FilePath(const wchar_t* folder, const wchar_t* name,
                                      std::string& path) const {
    if (name == nullptr || !PlainName(name))
        return Fail(L"plain name check", EINVAL);
    if (!FolderPath(folder, path))
        return false;
    path += "/" + EncodeUtf8(name);
    return true;
}

bool CPosixFileStoreService::SecureProgramFolder(std::wstring& movedAside) {
    movedAside.clear();
    return true;
}

bool CPosixFileStoreService::PrepareFolder(const wchar_t* folder) {
    std::string path;
    if (!FolderPath(folder, path))
        return false;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return Fail(L"mkdir", errno);
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return Fail(L"lstat", errno);
    // A link could point anywhere, and a folder others may write in could hold their files.
    if (!S_ISDIR(status.st_mode))
        return Fail(L"folder check", ENOTDIR);
    if (!TrustedOwner(status) || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Fail(L"folder check", EPERM);
    return true;
}

std::wstring CPosixFileStoreService::PathOf(const wchar_t* folder, const wchar_t* name) {
    std::string path;
    if (!FilePath(folder, name, path))
        return std::wstring();
    return DecodeUtf8(path);
}

bool CPosixFileStoreService::ListFiles(const wchar_t* folder, StringList& names) {
    std::string path;
    if (!FolderPath(folder, path))
        return false;
    std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir(path.c_str()), &closedir);
    if (!directory)
        return Fail(L"opendir", errno);
    StringList found;
    while (const dirent* entry = readdir(directory.get())) {
        const std::string name = entry->d_name;
        struct stat status {};
        const bool temporary =
            name.size() >= 4 && name.compare(name.size() - 4, 4, kTemporary) == 0;
        if (temporary ||
            fstatat(dirfd(directory.get()), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode)) {
            continue;
        }
        found.push_back(DecodeUtf8(name));
    }
    std::sort(found.begin(), found.end());
    names.insert(names.end(), found.begin(), found.end());
    return true;
}

bool CPosixFileStoreService::WriteFile(const wchar_t* folder, const wchar_t* name,
                                       const std::string& bytes) {
    std::string path;
    if (!FilePath(folder, name, path))
        return false;
    // Written beside and moved into place, so that a failure leaves the old content whole.
    const std::string temporary = path + kTemporary;
    {
        CPosixFd file(
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.Valid())
            return Fail(L"open", errno);
        if (!WriteAll(file.Get(), bytes))
            return FailAndRemove(L"write", temporary);
        if (fsync(file.Get()) != 0)
            return FailAndRemove(L"fsync", temporary);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0)
        return FailAndRemove(L"rename", temporary);
    // The rename is an entry of the folder: until the folder is on the disk as well, a power cut
    // can bring back the old content, or no file at all.
    std::string folderPath;
    if (!FolderPath(folder, folderPath))
        return false;
    CPosixFd directory(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.Valid())
        return Fail(L"open", errno);
    return fsync(directory.Get()) == 0 || Fail(L"fsync", errno);
}

bool CPosixFileStoreService::AppendFile(const wchar_t* folder, const wchar_t* name,
                                        const std::string& bytes) {
    std::string path;
    if (!FilePath(folder, name, path))
        return false;
    CPosixFd file(open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.Valid())
        return Fail(L"open", errno);
    return WriteAll(file.Get(), bytes) || Fail(L"write", errno);
}

bool CPosixFileStoreService::Read(const wchar_t* folder, const wchar_t* name, size_t most,
                                  std::string& bytes, uint64_t& size) const {
    std::string path;
    if (!FilePath(folder, name, path))
        return false;
    CPosixFd file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.Valid())
        return Fail(L"open", errno);
    struct stat status {};
    if (fstat(file.Get(), &status) != 0)
        return Fail(L"fstat", errno);
    if (!S_ISREG(status.st_mode) || !TrustedOwner(status))
        return Fail(L"file check", EPERM);
    std::string content;
    char chunk[65536];
    while (content.size() < most) {
        const ssize_t got = read(file.Get(), chunk, std::min(sizeof chunk, most - content.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Fail(L"read", errno);
        if (got == 0)
            break;
        content.append(chunk, static_cast<size_t>(got));
    }
    bytes = std::move(content);
    size = static_cast<uint64_t>(status.st_size);
    return true;
}

bool CPosixFileStoreService::ReadFile(const wchar_t* folder, const wchar_t* name,
                                      std::string& bytes) {
    uint64_t size = 0;
    return Read(folder, name, static_cast<size_t>(-1), bytes, size);
}

bool CPosixFileStoreService::ReadFileHead(const wchar_t* folder, const wchar_t* name, size_t most,
                                          std::string& head, uint64_t& size) {
    return Read(folder, name, most, head, size);
}

bool CPosixFileStoreService::DeleteFile(const wchar_t* folder, const wchar_t* name) {
    std::string path;
    if (!FilePath(folder, name, path))
        return false;
    return unlink(path.c_str()) == 0 || Fail(L"unlink", errno);
}

std::wstring CPosixFileStoreService::WhyOthersMayChange(const wchar_t* path) {
    // Only root's runs read with rights that others lack.
    if (geteuid() != 0 || path == nullptr)
        return std::wstring();
    return DecodeUtf8(WhyNotRootsAlone(EncodeUtf8(DisplayPath(path))));
}
