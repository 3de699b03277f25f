#include "platform/posix/posix_root_trust.h"

#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>

namespace {

bool OthersMayWrite(mode_t mode) {
    return (mode & (S_IWGRP | S_IWOTH)) != 0;
}

}  // namespace

std::string AccountName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return found->pw_name;
    return "with the number " + std::to_string(uid);
}

std::string WhyNotRootsAlone(const std::vector<PathFolder>& folders, SharedLastFolder shared) {
    bool belowShared = false;  // below a sticky folder that others may write in
    for (size_t i = 0; i < folders.size(); ++i) {
        const PathFolder& folder = folders[i];
        if (!folder.exists) {
            if (i + 1 != folders.size())
                return folder.path + " does not exist";
            if (i > 0 && OthersMayWrite(folders[i - 1].mode))
                return folder.path + " does not exist, and any account may make it first";
            return std::string();
        }
        if (S_ISLNK(folder.mode))
            return folder.path + " is a symbolic link";
        if (!S_ISDIR(folder.mode))
            return folder.path + " is not a folder";
        if (folder.owner != 0)
            return folder.path + " belongs to the account " + AccountName(folder.owner) +
                   ", not to root";
        if (OthersMayWrite(folder.mode)) {
            if ((folder.mode & S_ISVTX) == 0 || belowShared)
                return folder.path + " may be written by accounts other than root";
            // A sticky folder may stand on the path, but root's files never lie in it: any
            // account may make their names there first.
            if (i + 1 == folders.size() && shared == SharedLastFolder::kRefused)
                return folder.path + " is shared with every account";
            belowShared = true;
        }
    }
    return std::string();
}

std::string WhyNotRootsAlone(const std::string& path, SharedLastFolder shared) {
    if (path.empty() || path[0] != '/')
        return path + " is not an absolute path";
    std::vector<PathFolder> folders{{"/"}};
    std::string prefix;
    for (size_t start = 1; start <= path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        // Whether a folder's ".." leads where the path seems to go is not worth judging.
        if (name == "..")
            return path + " goes up a folder with ..";
        prefix += "/" + name;
        folders.push_back({prefix});
    }
    for (PathFolder& folder : folders) {
        struct stat status {};
        folder.exists = lstat(folder.path.c_str(), &status) == 0;
        folder.owner = status.st_uid;
        folder.mode = status.st_mode;
    }
    return WhyNotRootsAlone(folders, shared);
}
