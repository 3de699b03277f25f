#include "platform/cups/cups_services.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/posix_root_trust.h"

namespace {

// In a folder of root's that only root may write: no other account can plant anything there.
constexpr char kLock[] = "/run/korvel-setup/setup.lock";

// A folder systemd named for the service in the variable, else the given one. systemd may list
// several, separated by colons; the first is the service's own. Root's backups and logs must not
// be where another account could swap or read them, whoever set the variable: root takes the
// folder only where nobody else can write, and otherwise says why in `notices`.
std::string FolderOf(const char* variable, const std::string& otherwise, const char* what,
                     std::vector<std::string>& notices) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] == '\0')
        return otherwise;
    const std::string folders = value;
    const std::string folder = folders.substr(0, folders.find(':'));
    const std::string why = geteuid() == 0 ? WhyNotRootsAlone(folder) : std::string();
    if (why.empty())
        return folder;
    notices.push_back(std::string(variable) + " is not used, as " + why + "; the " + what +
                      " are kept in " + otherwise + ".");
    return otherwise;
}

// The user's own folder for the program's state (XDG_STATE_HOME, else ~/.local/state), made with
// the folders above it where missing; empty without a home.
std::string UsersStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string path;
    if (state != nullptr && state[0] == '/')
        path = state;
    else if (home != nullptr && home[0] == '/')
        path = std::string(home) + "/.local/state";
    else
        return std::string();
    path += "/korvel-setup";
    // Each folder is made for the user alone; the file store checks the last one before use.
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    mkdir(path.c_str(), 0700);
    return path;
}

}  // namespace

LinuxFolders LinuxFolders::FromEnvironment() {
    std::string backups = "/var/lib/korvel-setup";
    std::string logs = "/var/log/korvel-setup";
    // A member of lpadmin changes printers without being root, but cannot write below /var: its
    // runs keep their backups and logs in its own state folder.
    if (geteuid() != 0) {
        const std::string own = UsersStateFolder();
        if (!own.empty()) {
            backups = own + "/backups";
            logs = own + "/logs";
        }
    }
    LinuxFolders folders;
    folders.backups = FolderOf("STATE_DIRECTORY", backups, "backups", folders.notices);
    folders.logs = FolderOf("LOGS_DIRECTORY", logs, "logs", folders.notices);
    folders.lock = kLock;
    return folders;
}
