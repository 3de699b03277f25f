#include "platform/posix/posix_file_path.h"

#include <unistd.h>

#include <climits>

#include "platform/standin/standin_profile_service.h"

bool SplitFilePath(const std::wstring& given, std::string& folder, std::string& name) {
    std::string path = PosixPathFromWindows(given);
    if (path.empty() || path.back() == '/')
        return false;
    if (path[0] != '/') {
        char here[PATH_MAX] = {};
        if (getcwd(here, sizeof here) == nullptr)
            return false;
        path = std::string(here) + "/" + path;
    }
    const size_t slash = path.rfind('/');
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
    return !name.empty() && name != "." && name != "..";
}
