#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/posix/posix_fd.h"
#include "platform/setup_lock_service.h"

// The machine-wide setup lock on Linux: an exclusive flock() on a file of root's in a folder of
// root's (/run/korvel-setup/setup.lock), which only root may write and the group lpadmin may
// read, so that root and the members of lpadmin meet at it and no other account can plant
// anything there. The kernel lets it go when its holder ends, however it ends. Each thread that
// takes it holds a descriptor of its own, so that the lock belongs to that thread.
class CPosixSetupLockService : public ISetupLockService {
  public:
    // `path`, absolute, is the lock file; its folder is the lock's folder. `account` is the run's
    // effective user: root makes the folder and the file when they are missing, another account
    // never does.
    explicit CPosixSetupLockService(std::string path, uid_t account = geteuid());

    LockResult Acquire(uint32_t waitMs) override;
    void Release() override;

  private:
    // The lock file, opened when it and its folder are root's alone; none, with the failure
    // recorded, when they are not.
    CPosixFd OpenLockFile() const;
    CPosixFd OpenFolder() const;
    // The lock held by another for the whole wait: told as another account's when it is.
    LockResult Busy(int fd) const;

    const std::string m_path;
    const std::string m_folder;
    const std::string m_name;
    const uid_t m_account;
    std::mutex m_lock;
    std::map<std::thread::id, CPosixFd> m_held;  // each holding thread's file
};
