#include "platform/native_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/standin/standin_profile_service.h"
#include "platform/standin/wide_text.h"

std::wstring DisplayPath(const std::wstring& path) {
    return DecodeUtf8(PosixPathFromWindows(path));
}

std::FILE* OpenNativeFile(const wchar_t* path) {
    // Only a regular file: a folder opens but fails on its first read, and a FIFO would make the
    // open wait for a writer for ever. O_NONBLOCK keeps that open from waiting and changes
    // nothing for a regular file.
    const int fd = open(PosixPathFromWindows(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat status {};
    std::FILE* file =
        fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        close(fd);
        errno = EINVAL;
    }
    return file;
}

bool ListNativeFolder(const wchar_t* folder, StringList& names) {
    if (folder == nullptr)
        return false;
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(
        opendir(PosixPathFromWindows(folder).c_str()), &closedir);
    if (!directory)
        return false;
    StringList found;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(directory.get());
        if (entry == nullptr) {
            if (errno != 0)
                return false;
            break;
        }
        // Links are left out with the folders: what they point to may lie outside the folder.
        // Where the file system does not tell the kind in the entry, the file itself is asked.
        bool plain = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            plain =
                fstatat(dirfd(directory.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(status.st_mode);
        }
        if (plain)
            found.push_back(DecodeUtf8(entry->d_name));
    }
    std::sort(found.begin(), found.end());
    names.insert(names.end(), found.begin(), found.end());
    return true;
}
