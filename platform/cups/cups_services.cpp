#include "platform/cups/cups_services.h"

#include <cstdlib>

namespace {

// A folder systemd named for the service in the variable, else the given one. systemd may list
// several, separated by colons; the first is the service's own.
std::string FolderOf(const char* variable, const std::string& otherwise) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] == '\0')
        return otherwise;
    const std::string folders = value;
    return folders.substr(0, folders.find(':'));
}

}  // namespace

LinuxFolders LinuxFolders::FromEnvironment() {
    return {FolderOf("STATE_DIRECTORY", "/var/lib/korvel-setup"),
            FolderOf("LOGS_DIRECTORY", "/var/log/korvel-setup"), "/run/lock/korvel-setup.lock"};
}
