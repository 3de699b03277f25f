#pragma once

#include <cstdint>

enum class LockResult {
    kTaken,             // the calling thread holds the lock now
    kBusy,              // another setup run held it for the whole wait
    kBusyOtherAccount,  // a process of another account held it for the whole wait (recorded as
                        // a failure whose text names the holder, for the user to act on)
    kFailed,            // the lock could not be made or waited for (the failure is recorded)
};

// The one machine-wide lock of every setup run of this program, whichever front end, session or
// account runs it: the wizard of an administrator and an installer running as SYSTEM must not
// change the spooler side by side. It belongs to the thread that took it, which alone releases it.
class ISetupLockService {
  public:
    virtual ~ISetupLockService() = default;

    // Takes the lock for the calling thread, waiting at most `waitMs`. A lock whose holder's
    // process ended without releasing it is taken too.
    virtual LockResult Acquire(uint32_t waitMs) = 0;

    // Releases a lock this thread took.
    virtual void Release() = 0;
};
