#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/setup_lock_service.h"
#include "platform/win32/unique_handle.h"

// The setup lock as a named mutex in the global namespace, which every session and account of
// the machine sees, with an access list that lets the system and the administrators open and
// take it.
class CWin32SetupLockService : public ISetupLockService {
  public:
    // `name` is the mutex's name; tests give one of their own, so that they never wait for a
    // real setup run nor keep one waiting.
    explicit CWin32SetupLockService(std::wstring name = L"Global\\KorvelPrinterSetup");

    LockResult Acquire(uint32_t waitMs) override;
    void Release() override;

  private:
    // A taking of the lock: the thread that took it and the handle it took it with.
    struct Hold {
        DWORD thread;
        UniqueHandle mutex;
    };

    const std::wstring m_name;
    // The holds of every thread, newest last. One object serves the whole process, so the
    // threads of the wizard and of the console program share it.
    std::mutex m_guard;
    std::vector<Hold> m_holds;
};
