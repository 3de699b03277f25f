#include "platform/win32/win32_setup_lock_service.h"

#include <sddl.h>

#include <utility>

#include "platform/win32/win32_failure.h"

namespace {

// What a setup run needs of the mutex: to wait for it and to release it.
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Whoever makes the mutex first decides who may open it: that right for the system and the
// administrators, and nothing inherited, so that an installer running as SYSTEM does not lock
// out an administrator's wizard, nor the other way round. Making a name in the global namespace
// from a user's session needs a right that ordinary users lack, so none of them can make the
// name first with an access list of their own. Wine 8 checks the list when a second handle
// opens the mutex (measured: without the administrators' entry, a second thread's open fails).
constexpr wchar_t kLockSecurity[] = L"D:P(A;;0x00100001;;;SY)(A;;0x00100001;;;BA)";
static_assert(kLockAccess == 0x00100001, "the access list grants kLockAccess");

}  // namespace

CWin32SetupLockService::CWin32SetupLockService(std::wstring name) : m_name(std::move(name)) {}

LockResult CWin32SetupLockService::Acquire(uint32_t waitMs) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockSecurity, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        RecordWin32Failure(L"ConvertStringSecurityDescriptorToSecurityDescriptorW", GetLastError());
        return LockResult::kFailed;
    }
    const UniqueLocal<void> ownedDescriptor(descriptor);
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    // Makes the mutex, or opens the one another run made (whose access list is then the one in
    // force), asking for no more than the access list grants.
    UniqueHandle mutex(CreateMutexExW(&security, m_name.c_str(), 0, kLockAccess));
    if (!mutex) {
        RecordWin32Failure(L"CreateMutexExW", GetLastError());
        return LockResult::kFailed;
    }
    switch (WaitForSingleObject(mutex.get(), waitMs)) {
        case WAIT_OBJECT_0:
        // The last holder ended without releasing it; the mutex is this thread's now all the
        // same, and what that run left half done is for this one to find.
        case WAIT_ABANDONED:
            break;
        case WAIT_TIMEOUT:
            return LockResult::kBusy;
        default:
            RecordWin32Failure(L"WaitForSingleObject", GetLastError());
            return LockResult::kFailed;
    }
    const std::lock_guard<std::mutex> guard(m_guard);
    m_holds.push_back({GetCurrentThreadId(), std::move(mutex)});
    return LockResult::kTaken;
}

void CWin32SetupLockService::Release() {
    // The handle goes when the release is done: a mutex nobody holds is kept by no handle of
    // ours. A handle closed while its thread still holds the mutex would not release it.
    UniqueHandle mutex;
    {
        const std::lock_guard<std::mutex> guard(m_guard);
        const DWORD thread = GetCurrentThreadId();
        for (auto hold = m_holds.rbegin(); hold != m_holds.rend(); ++hold) {
            if (hold->thread == thread) {
                mutex = std::move(hold->mutex);
                m_holds.erase(std::next(hold).base());
                break;
            }
        }
    }
    if (!mutex) {
        RecordWin32Failure(L"ReleaseMutex", ERROR_NOT_OWNER);
        return;
    }
    if (!ReleaseMutex(mutex.get()))
        RecordWin32Failure(L"ReleaseMutex", GetLastError());
}
