#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/port_file.h"
#include "platform/posix/posix_fd.h"
#include "platform/posix/posix_file_path.h"
#include "platform/posix/posix_root_trust.h"
#include "platform/standin/wide_text.h"

namespace {

// Why an open file is no file to take a device URI from; empty when it is one.
std::string WhyNot(const struct stat& status) {
    if (!S_ISREG(status.st_mode))
        return "it is not a regular file";
    if (status.st_uid != geteuid() && status.st_uid != 0)
        return "it belongs to the account " + AccountName(status.st_uid);
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        return std::string("other accounts may write to it (mode ") + mode + ")";
    }
    return std::string();
}

}  // namespace

bool ReadPortFile(const std::wstring& path, std::string& bytes, std::wstring& why) {
    std::string folder;
    std::string name;
    if (!SplitFilePath(path, folder, name)) {
        why = L"The port file " + path + L" names no file.";
        return false;
    }
    const std::wstring shown = DecodeUtf8((folder == "/" ? "" : folder) + "/" + name);
    const auto refuse = [&](const std::string& reason) {
        why = L"The port file " + shown + L" is not used: " + DecodeUtf8(reason) + L".";
        return false;
    };
    const auto fail = [&]() {
        why = L"The port file " + shown + L" cannot be read (" + DecodeUtf8(std::strerror(errno)) +
              L").";
        return false;
    };
    // Root reads only where no other account could have swapped the file.
    if (geteuid() == 0) {
        const std::string problem = WhyNotRootsAlone(folder);
        if (!problem.empty())
            return refuse(problem);
    }
    const CPosixFd directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory.Valid())
        return fail();
    // Non-blocking, so that a FIFO planted there is refused rather than waited on.
    const CPosixFd file(openat(directory.Get(), name.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid())
        return errno == ELOOP ? refuse("it is a symbolic link") : fail();
    struct stat status {};
    if (fstat(file.Get(), &status) != 0)
        return fail();
    const std::string problem = WhyNot(status);
    if (!problem.empty())
        return refuse(problem);
    bytes.clear();
    char buffer[1024];
    while (bytes.size() <= kPortFileMostBytes) {
        const ssize_t count = read(file.Get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return fail();
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(count));
    }
    if (bytes.size() > kPortFileMostBytes + 1)
        bytes.resize(kPortFileMostBytes + 1);
    return true;
}
