#include "install/run/setup_run.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/file_store_service.h"
#include "platform/log_sink.h"
#include "platform/native_path.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/setup_lock_service.h"
#include "setupdata/setup_context.h"

// Where a setup run stands before its work: the program's own folder made safe, the setup lock
// that keeps every other run out, and the folders it reads the driver from, which others may be
// able to change.

void CSetupRun::WarnOfFoldersOthersMayChange() {
    IFileStoreService* store = Services().fileStore;
    if (store == nullptr)
        return;
    // The driver's folder is often the setup folder's own: one warning says it for both.
    std::wstring driverFolder = m_setup.driverInfPath;
    driverFolder.erase(std::min(driverFolder.size(), driverFolder.find_last_of(L"\\/")));
    for (const std::wstring& folder : {std::wstring(m_setup.setupFolder), driverFolder}) {
        const std::wstring why = folder.empty() ? L"" : store->WhyOthersMayChange(folder.c_str());
        if (why.empty())
            continue;
        m_notices.push_back(
            L"Warning: accounts that are not administrators may change the folder " +
            DisplayPath(folder) + L" (" + why.substr(0, why.size() - 1) +
            L"), from which this run installs the driver: copy the setup folder "
            L"to one that only administrators can change, such as a folder in "
            L"Program Files.");
        LogLine(LogLevel::kWarning, m_notices.back());
        return;
    }
}

bool CSetupRun::SecureProgramFolder(std::wstring& movedAside) {
    IFileStoreService* store = Services().fileStore;
    if (store == nullptr || store->SecureProgramFolder(movedAside))
        return true;
    const std::optional<PlatformFailure> failure = TakePlatformFailure();
    // A folder cannot be moved aside while another run holds the lock file in it open: that run
    // is under way, and this one is to try again once it has ended, as for any lock held.
    ISetupLockService* lock = Services().setupLock;
    const LockResult probe = lock != nullptr ? lock->Acquire(0) : LockResult::kFailed;
    TakePlatformFailure();
    if (probe == LockResult::kTaken)
        lock->Release();
    if (probe == LockResult::kBusy || probe == LockResult::kBusyOtherAccount) {
        m_lockBusy = true;
        m_lockProblem =
            L"Another setup run holds the setup lock in the program's folder, which accounts that "
            L"are not administrators could change; it is moved aside once that run has ended: "
            L"try again then.";
        return false;
    }
    // Said as a whole sentence of its own: the lock itself was never tried.
    m_programFolderUnsafe = true;
    std::wstring folder = store->PathOf(L"", L"");
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    m_lockProblem = L"The program's folder " + folder +
                    L" could not be made safe for the run: it may be changed by accounts that are "
                    L"not administrators, or could not be checked" +
                    (failure ? L" (" + failure->call + L" failed with error " +
                                   std::to_wstring(failure->code) + L": " + failure->text + L")"
                             : std::wstring()) +
                    L".";
    return false;
}

bool CSetupRun::TakeLock() {
    // Without a lock service on this platform there is no other run to keep out.
    ISetupLockService* lock = Services().setupLock;
    if (lock == nullptr)
        return true;
    switch (lock->Acquire(m_lockWaitMs)) {
        case LockResult::kTaken:
            m_lockHeld = true;
            return true;
        case LockResult::kBusy:
            m_lockBusy = true;
            return false;
        case LockResult::kBusyOtherAccount:
            m_lockBusy = true;
            break;
        case LockResult::kFailed:
            break;
    }
    // Not logged: without the lock no log may be written; the front end says why.
    if (const std::optional<PlatformFailure> failure = TakePlatformFailure()) {
        m_lockProblem = failure->text.empty() ? failure->call : failure->text;
        m_refused = failure->refused;
    }
    return false;
}

void CSetupRun::ReleaseLock() {
    if (!m_lockHeld)
        return;
    m_lockHeld = false;
    if (ISetupLockService* lock = Services().setupLock)
        lock->Release();
}
