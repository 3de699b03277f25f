#include "platform/posix/posix_setup_lock_service.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/platform_failure.h"
#include "platform/posix/posix_root_trust.h"
#include "platform/standin/wide_text.h"

namespace {

constexpr auto kPoll = std::chrono::milliseconds(20);
// flock needs no more than a descriptor to read. A FIFO, which no run of ours makes, must not
// hold the open up: it is refused as soon as it is seen.
constexpr int kOpenLock = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Records the failure in words a person can act on: the front end shows the text as it is.
CPosixFd Refuse(const wchar_t* call, int error, const std::string& text) {
    // An account outside lpadmin may not open the lock's folder: that is a want of rights, which
    // the front end tells apart from other failures.
    const bool rights = error == EACCES || error == EPERM;
    (rights ? RecordPlatformRefusal : RecordPlatformFailure)(call, static_cast<uint32_t>(error),
                                                             DecodeUtf8(text));
    return CPosixFd(-1);
}

std::string SystemWords(int error, const std::string& path) {
    return path + ": " + std::strerror(error) + ".";
}

// The system's words for the call that has just failed on `path` (errno).
CPosixFd RefuseCall(const wchar_t* call, const std::string& path) {
    const int error = errno;
    return Refuse(call, error, SystemWords(error, path));
}

std::string Missing(const std::string& path) {
    return "The setup lock " + path +
           " is missing: run pavonis once as root (or install the package, whose tmpfiles.d "
           "entry makes it at boot).";
}

// Besides root, the members of lpadmin change printers, so they must reach the lock; without
// that group only root does.
gid_t PrinterAdminGroup() {
    group entry{};
    group* found = nullptr;
    char buffer[1024];
    if (getgrnam_r("lpadmin", &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return found->gr_gid;
    return 0;
}

// Gives what root has just made to root and lpadmin, with `mode` whatever root's umask was.
bool HandOver(int fd, mode_t mode, const std::string& path) {
    if (fchown(fd, 0, PrinterAdminGroup()) != 0) {
        RefuseCall(L"fchown", path);
        return false;
    }
    if (fchmod(fd, mode) != 0) {
        RefuseCall(L"fchmod", path);
        return false;
    }
    return true;
}

// A lock or its folder that open() refused with `error`: a missing one as missing, a link or
// another kind of file in the words of `other`.
CPosixFd RefuseOpen(int error, const std::string& path, const std::string& lock,
                    const std::string& other) {
    if (error == ENOENT)
        return Refuse(L"open", error, Missing(lock));
    if (error == ELOOP || error == ENOTDIR)
        return Refuse(L"open", error, other);
    return Refuse(L"open", error, SystemWords(error, path));
}

// The process that holds an flock on the file, as /proc/locks lists it; 0 when none is listed.
pid_t FlockHolder(dev_t device, ino_t inode) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        // "1: FLOCK  ADVISORY  WRITE 1234 00:19:5678 0 EOF"; a waiter's has "->" before FLOCK.
        std::istringstream words(line);
        std::string number, kind, advisory, access, file;
        pid_t pid = 0;
        words >> number >> kind >> advisory >> access >> pid >> file;
        unsigned major = 0, minor = 0;
        unsigned long long fileNumber = 0;
        if (kind == "FLOCK" &&
            std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &fileNumber) == 3 &&
            makedev(major, minor) == device && fileNumber == inode)
            return pid;
    }
    return 0;
}

// " (name)" of the process's program, for a person to tell a setup run from anything else.
std::string ProgramOf(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    return std::getline(comm, name) && !name.empty() ? " (" + name + ")" : std::string();
}

}  // namespace

CPosixSetupLockService::CPosixSetupLockService(std::string path, uid_t account)
    : m_path(std::move(path)),
      m_folder(m_path.rfind('/') == 0 ? "/" : m_path.substr(0, m_path.rfind('/'))),
      m_name(m_path.substr(m_path.rfind('/') + 1)),
      m_account(account) {}

CPosixFd CPosixSetupLockService::OpenFolder() const {
    bool made = false;
    if (m_account == 0) {
        made = mkdir(m_folder.c_str(), 0750) == 0;
        if (!made && errno != EEXIST)
            return RefuseCall(L"mkdir", m_folder);
    }
    CPosixFd folder(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.Valid()) {
        const int error = errno;
        return RefuseOpen(error, m_folder, m_path,
                          "The setup lock's folder " + m_folder +
                              " is a symbolic link or another kind of file, not a folder.");
    }
    if (made && !HandOver(folder.Get(), 0750, m_folder))
        return CPosixFd(-1);
    struct stat status {};
    if (fstat(folder.Get(), &status) != 0)
        return RefuseCall(L"fstat", m_folder);
    if (status.st_uid != 0)
        return Refuse(L"folder check", EPERM,
                      "The setup lock's folder " + m_folder + " belongs to the account " +
                          AccountName(status.st_uid) + ", not to root.");
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Refuse(
            L"folder check", EPERM,
            "The setup lock's folder " + m_folder + " may be written by accounts other than root.");
    return folder;
}

CPosixFd CPosixSetupLockService::OpenLockFile() const {
    const CPosixFd folder = OpenFolder();
    if (!folder.Valid())
        return CPosixFd(-1);
    const int at = folder.Get();
    CPosixFd file(openat(at, m_name.c_str(), kOpenLock));
    bool made = false;
    if (!file.Valid() && errno == ENOENT && m_account == 0) {
        file = CPosixFd(openat(at, m_name.c_str(), kOpenLock | O_CREAT | O_EXCL, 0640));
        made = file.Valid();
        // Another run of root's made it a moment before.
        if (!made && errno == EEXIST)
            file = CPosixFd(openat(at, m_name.c_str(), kOpenLock));
    }
    if (!file.Valid()) {
        const int error = errno;
        return RefuseOpen(error, m_path, m_path,
                          "The setup lock " + m_path + " is a symbolic link, not a plain file.");
    }
    if (made && !HandOver(file.Get(), 0640, m_path))
        return CPosixFd(-1);
    struct stat status {};
    if (fstat(file.Get(), &status) != 0)
        return RefuseCall(L"fstat", m_path);
    if (!S_ISREG(status.st_mode))
        return Refuse(L"lock check", EINVAL, "The setup lock " + m_path + " is not a plain file.");
    if (status.st_uid != 0)
        return Refuse(L"lock check", EPERM,
                      "The setup lock " + m_path + " belongs to the account " +
                          AccountName(status.st_uid) + ", not to root.");
    return file;
}

LockResult CPosixSetupLockService::Busy(int fd) const {
    struct stat file {};
    const pid_t holder = fstat(fd, &file) == 0 ? FlockHolder(file.st_dev, file.st_ino) : 0;
    struct stat process {};
    // A process's folder in /proc belongs to the account it runs as.
    if (holder <= 0 || stat(("/proc/" + std::to_string(holder)).c_str(), &process) != 0 ||
        process.st_uid == m_account)
        return LockResult::kBusy;
    Refuse(L"flock", EWOULDBLOCK,
           "The setup lock is held by process " + std::to_string(holder) + ProgramOf(holder) +
               " of the account " + AccountName(process.st_uid) +
               ", not by another setup run of this account.");
    return LockResult::kBusyOtherAccount;
}

LockResult CPosixSetupLockService::Acquire(uint32_t waitMs) {
    CPosixFd file = OpenLockFile();
    if (!file.Valid())
        return LockResult::kFailed;
    // flock() does not wait with a limit, so it is tried until the wait is over.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            RefuseCall(L"flock", m_path);
            return LockResult::kFailed;
        }
        if (std::chrono::steady_clock::now() >= end)
            return Busy(file.Get());
        std::this_thread::sleep_for(kPoll);
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_held.insert_or_assign(std::this_thread::get_id(), std::move(file));
    return LockResult::kTaken;
}

void CPosixSetupLockService::Release() {
    std::lock_guard<std::mutex> hold(m_lock);
    const auto held = m_held.find(std::this_thread::get_id());
    if (held == m_held.end()) {
        Refuse(L"flock", EPERM, "This thread holds no setup lock to release.");
        return;
    }
    // Closing the descriptor lets the lock go.
    m_held.erase(held);
}
