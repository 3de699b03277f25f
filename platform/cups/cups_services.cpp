#include "platform/cups/cups_services.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/posix_root_trust.h"

namespace {

// In a folder of root's that only root may write: no other account can plant anything there.
constexpr char kLock[] = "/run/korvel-setup/setup.lock";
constexpr char kLockName[] = "setup.lock";

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

// The setup lock of the run: the machine's, or the one in the folder KORVEL_LOCK_DIRECTORY names,
// which gives tests and a scheduler of one's own a lock that runs elsewhere on the machine do not
// wait for. It cannot let another account split the lock of a run of root's:
// - Only a run of root's takes it, and only whoever sets root's environment names it: that is
//   root, or what root started, which may do anything as root anyway.
// - The folder must be root's alone, and every folder above it too (the rule STATE_DIRECTORY
//   follows), nor may others write in the folder itself, as they may in a sticky folder like
//   /tmp: no other account can make the folder first, swap it or the lock file in it, or plant a
//   link or FIFO there, so every run that is given the folder meets the others at one file.
// - A run of another account (a member of lpadmin) never takes it: it always meets root's runs
//   at the machine's lock, and cannot step out of their way by naming another.
// Otherwise the run says why and takes the machine's lock, where every run meets.
std::string LockOf(std::vector<std::string>& notices) {
    const char* value = std::getenv("KORVEL_LOCK_DIRECTORY");
    if (value == nullptr || value[0] == '\0')
        return kLock;
    const std::string folder = value;
    // The rule refuses a shared sticky folder (/tmp) itself too, where any account could make the
    // lock's name first.
    const std::string why = geteuid() != 0 ? "only runs of root's take the setup lock elsewhere"
                                           : WhyNotRootsAlone(folder);
    if (why.empty())
        return folder + "/" + kLockName;
    notices.push_back("KORVEL_LOCK_DIRECTORY is not used, as " + why + "; the setup lock is " +
                      kLock + ".");
    return kLock;
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
    folders.lock = LockOf(folders.notices);
    return folders;
}
