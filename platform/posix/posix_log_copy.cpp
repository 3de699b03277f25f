#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/log_copy.h"
#include "platform/platform_failure.h"
#include "platform/posix/posix_fd.h"
#include "platform/posix/posix_file_path.h"
#include "platform/posix/posix_root_trust.h"
#include "platform/standin/wide_text.h"

namespace {

// Why the file is no file to append the copy to; empty when it is one.
std::string WhyNot(const struct stat& status) {
    if (S_ISLNK(status.st_mode))
        return "it is a symbolic link";
    if (!S_ISREG(status.st_mode))
        return "it is not a regular file";
    if (status.st_uid != geteuid() && status.st_uid != 0)
        return "it belongs to the account " + AccountName(status.st_uid);
    return std::string();
}

}  // namespace

bool CheckLogCopyFile(const std::wstring& path, std::wstring& why) {
    std::string folder;
    std::string name;
    if (!SplitFilePath(path, folder, name)) {
        why = L"The log file " + path + L" names no file.";
        return false;
    }
    struct stat status {};
    std::string problem;
    if (lstat((folder + "/" + name).c_str(), &status) == 0)
        problem = WhyNot(status);
    else if (errno != ENOENT)
        problem = std::strerror(errno);
    // Root writes only where no other account could have put a link or a file first.
    if (problem.empty() && geteuid() == 0)
        problem = WhyNotRootsAlone(folder);
    if (problem.empty())
        return true;
    why = L"The log file " + DecodeUtf8(folder + "/" + name) + L" is not used: " +
          DecodeUtf8(problem) + L".";
    return false;
}

bool AppendToLogCopy(const std::wstring& path, const std::string& bytes) {
    std::string folder;
    std::string name;
    if (!SplitFilePath(path, folder, name)) {
        RecordPlatformFailure(L"open", EINVAL, L"no file name");
        return false;
    }
    // Opened below a folder opened first, and never through a link, so that nothing can be
    // swapped in between the check and the write.
    const CPosixFd directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const CPosixFd file(
        directory.Valid()
            ? openat(directory.Get(), name.c_str(),
                     O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600)
            : -1);
    struct stat status {};
    if (!file.Valid() || fstat(file.Get(), &status) != 0 || !WhyNot(status).empty()) {
        RecordPlatformFailure(L"open", static_cast<uint32_t>(errno != 0 ? errno : EPERM),
                              DecodeUtf8(std::strerror(errno != 0 ? errno : EPERM)));
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            RecordPlatformFailure(L"write", static_cast<uint32_t>(errno),
                                  DecodeUtf8(std::strerror(errno)));
            return false;
        }
        done += static_cast<size_t>(count);
    }
    return true;
}
