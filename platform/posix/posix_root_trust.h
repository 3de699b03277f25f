#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// What a run as root may trust on Linux: only what no other account can have made or changed.

// The account's name, or "with the number N" for a number no account has.
std::string AccountName(uid_t uid);

// One folder of a path as lstat saw it.
struct PathFolder {
    std::string path;
    bool exists = false;
    uid_t owner = 0;
    mode_t mode = 0;  // st_mode: the kind of file and its rights
};

// Whether the last folder itself may be a shared sticky folder of root's, as /tmp is: only for
// files made under names nobody can take first and read back through their own descriptors.
enum class SharedLastFolder { kRefused, kAllowed };

// Why root must not keep its files in the last of `folders`, the folders of an absolute path from
// "/" down; empty when no other account can write there. A folder others may write in is passed
// only when it is root's and sticky, as /tmp is, and never as the last folder itself; nothing
// below it may be such a folder again.
// Only the last folder may be missing (root makes it), and not right below such a sticky folder,
// where anybody could make it first.
std::string WhyNotRootsAlone(const std::vector<PathFolder>& folders,
                             SharedLastFolder shared = SharedLastFolder::kRefused);

// The same for a path, each of its folders looked at with lstat.
std::string WhyNotRootsAlone(const std::string& path,
                             SharedLastFolder shared = SharedLastFolder::kRefused);
