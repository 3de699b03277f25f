#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/setup_lock_service.h"
#include "platform/win32/unique_handle.h"

// The setup lock as an exclusive byte-range lock on setup.lock in the program's own folder,
// which the file store has made safe before a run takes the lock. Every account and session of
// the machine meets at that file, and only the system and the administrators can open it: a
// standard user can neither take the lock first nor plant the file. A global mutex would not
// do, as any user may make one under the lock's name and keep it.
class CWin32SetupLockService : public ISetupLockService {
  public:
    // `folder` holds the lock file; empty for %ProgramData%\Korvel Setup. Tests give a folder of
    // their own, so that they never wait for a real setup run nor keep one waiting.
    explicit CWin32SetupLockService(std::wstring folder = std::wstring());

    LockResult Acquire(uint32_t waitMs) override;
    void Release() override;

  private:
    // A taking of the lock: the thread that took it and the file handle it holds the lock with.
    struct Hold {
        DWORD thread;
        UniqueHandle file;
    };

    const std::wstring m_folder;
    // The holds of every thread, newest last. One object serves the whole process, so the
    // threads of the wizard and of the console program share it.
    std::mutex m_guard;
    std::vector<Hold> m_holds;
};
