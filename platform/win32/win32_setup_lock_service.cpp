#include "platform/win32/win32_setup_lock_service.h"

#include <iterator>
#include <utility>

#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_program_folder.h"

namespace {

constexpr wchar_t kLockFile[] = L"setup.lock";

// LockFileEx cannot wait with a limit, so it is tried again at this pace until the wait is over.
constexpr DWORD kPollMs = 20;

}  // namespace

CWin32SetupLockService::CWin32SetupLockService(std::wstring folder) : m_folder(std::move(folder)) {}

LockResult CWin32SetupLockService::Acquire(uint32_t waitMs) {
    std::wstring path = m_folder;
    if (path.empty() && !ProgramFolderPath(path))
        return LockResult::kFailed;
    path += L'\\';
    path += kLockFile;
    // Read access is all a lock needs. Every run opens the file beside the others, and none may
    // delete or rename it meanwhile. A link in its place is opened as the link, and refused.
    const HANDLE raw =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        RecordWin32Failure(L"CreateFileW", GetLastError());
        return LockResult::kFailed;
    }
    UniqueHandle file(raw);
    if (!TrustedFile(file.get()))
        return LockResult::kFailed;
    // The first byte of the file is the lock; it need not exist. Each handle locks it on its own,
    // so two threads of one process keep each other out as two processes do.
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        OVERLAPPED region{};
        if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &region))
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION) {
            RecordWin32Failure(L"LockFileEx", error);
            return LockResult::kFailed;
        }
        if (GetTickCount64() - start >= waitMs)
            return LockResult::kBusy;
        Sleep(kPollMs);
    }
    const std::lock_guard<std::mutex> guard(m_guard);
    m_holds.push_back({GetCurrentThreadId(), std::move(file)});
    return LockResult::kTaken;
}

void CWin32SetupLockService::Release() {
    UniqueHandle file;
    {
        const std::lock_guard<std::mutex> guard(m_guard);
        const DWORD thread = GetCurrentThreadId();
        for (auto hold = m_holds.rbegin(); hold != m_holds.rend(); ++hold) {
            if (hold->thread == thread) {
                file = std::move(hold->file);
                m_holds.erase(std::next(hold).base());
                break;
            }
        }
    }
    if (!file) {
        RecordWin32Failure(L"UnlockFileEx", ERROR_NOT_LOCKED);
        return;
    }
    // Unlocked at once, rather than whenever the system gets round to the locks of a closed
    // handle; the handle then goes.
    OVERLAPPED region{};
    if (!UnlockFileEx(file.get(), 0, 1, 0, &region))
        RecordWin32Failure(L"UnlockFileEx", GetLastError());
}
