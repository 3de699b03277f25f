#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/setup_lock_service.h"

// The machine-wide setup lock on Linux: an exclusive flock() on a file of the program's own (for
// example under /run/lock). The kernel lets it go when its holder ends, however it ends. Each
// thread that takes it holds a descriptor of its own, so that the lock belongs to that thread.
class CPosixSetupLockService : public ISetupLockService {
  public:
    explicit CPosixSetupLockService(std::string path);
    ~CPosixSetupLockService() override;

    LockResult Acquire(uint32_t waitMs) override;
    void Release() override;

  private:
    const std::string m_path;
    std::mutex m_lock;
    std::map<std::thread::id, int> m_held;  // each holding thread's descriptor
};
