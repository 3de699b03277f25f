#include "platform/posix/root_environment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/posix_root_trust.h"

namespace {

const char* const kVariables[] = {"TMPDIR",          "CUPS_SERVER",    "CUPS_DATADIR",
                                  "CUPS_SERVERROOT", "CUPS_SERVERBIN", "HOME"};

bool IsLoopback(std::string host) {
    // "host:port", "[::1]:port" and "::1" alike.
    if (!host.empty() && host[0] == '[')
        host = host.substr(1, host.find(']') - 1);
    else if (host.find(':') == host.rfind(':'))
        host = host.substr(0, host.find(':'));
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

std::string WhyNotSocket(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    std::string why = WhyNotRootsAlone(folder);
    if (!why.empty())
        return why;
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && status.st_uid != 0)
        return path + " belongs to the account " + AccountName(status.st_uid);
    return std::string();
}

}  // namespace

std::string WhyNotForRoot(const std::string& variable, const std::string& value) {
    if (variable == "CUPS_SERVER") {
        if (!value.empty() && value[0] == '/')
            return WhyNotSocket(value);
        return IsLoopback(value) ? std::string()
                                 : value +
                                       " is not this machine's scheduler (not a loopback "
                                       "address)";
    }
    if (variable == "TMPDIR")
        return WhyNotRootsAlone(value, SharedLastFolder::kAllowed);
    return WhyNotRootsAlone(value);
}

std::vector<std::string> VetRootEnvironment() {
    std::vector<std::string> notices;
    if (geteuid() != 0)
        return notices;
    for (const char* variable : kVariables) {
        const char* value = std::getenv(variable);
        if (value == nullptr)
            continue;
        const std::string why = WhyNotForRoot(variable, value);
        if (why.empty())
            continue;
        notices.push_back(std::string(variable) + " is not used, as " + why +
                          "; the default is used instead.");
        unsetenv(variable);
    }
    return notices;
}
