#include "install/finish_run.h"

#include <utility>

#include "install/time_stamp.h"
#include "platform/clock_service.h"
#include "platform/file_store_service.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/setup_lock_service.h"
#include "platform/spooler_service.h"
#include "setupdata/setup_context.h"

namespace {

void Info(const std::wstring& message) {
    LogLine(LogLevel::kInformation, message);
}

const wchar_t* YesNo(bool value) {
    return value ? L"yes" : L"no";
}

}  // namespace

CFinishRun::CFinishRun(SetupContext& setup, std::wstring component, uint32_t lockWaitMs,
                       IInstallMethod* method)
    : m_setup(setup), m_method(method), m_log(std::move(component)), m_lockWaitMs(lockWaitMs) {}

CFinishRun::~CFinishRun() {
    ReleaseLock();
    if (m_logInstalled)
        Services().log = m_previousLog;
}

bool CFinishRun::Begin(Needs needs) {
    // A failure recorded on this thread before the run began belongs to no step of it.
    TakePlatformFailure();
    m_log.Open();
    m_previousLog = std::exchange(Services().log, &m_log);
    m_logInstalled = true;
    Info(L"Setup started.");
    Info(std::wstring(L"Setup folder: ") + m_setup.setupFolder);
    Info(std::wstring(L"Printer information file: ") + m_setup.printerInfoPath);
    Info(std::wstring(L"Chosen printer: ") + m_setup.printerName + L", port: " + m_setup.portName +
         L", make default: " + YesNo(m_setup.makeDefault != 0) + L", test page: " +
         YesNo(m_setup.printTestPage != 0) + L".");
    const bool noPrinter = needs != Needs::kNothing && m_setup.printerName[0] == L'\0';
    const bool noPort = needs == Needs::kPrinterAndPort && m_setup.portName[0] == L'\0';
    if (noPrinter || noPort) {
        LogLine(LogLevel::kError, L"No printer name or no port was chosen; nothing was touched.");
        return false;
    }
    return TakeLock();
}

bool CFinishRun::TakeLock() {
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
            LogLine(LogLevel::kError,
                    L"Another setup of Korvel printers is running; nothing was touched.");
            return false;
        case LockResult::kFailed:
            break;
    }
    LogFailure(L"Could not take the setup lock; nothing was touched");
    return false;
}

void CFinishRun::ReleaseLock() {
    if (!m_lockHeld)
        return;
    m_lockHeld = false;
    if (ISetupLockService* lock = Services().setupLock)
        lock->Release();
}

bool CFinishRun::CheckExisting() {
    m_checkClosed = false;
    ISpoolerService* spooler = Services().spooler;
    PrinterHandle queue = spooler != nullptr ? spooler->OpenPrinter(m_setup.printerName) : nullptr;
    if (queue == nullptr) {
        // Absence is the answer here, not a failure to report with a later step.
        TakePlatformFailure();
        Info(std::wstring(L"No queue named ") + m_setup.printerName + L" is installed.");
        return false;
    }
    m_checkClosed = spooler->ClosePrinter(queue);
    if (!m_checkClosed)
        LogFailure(std::wstring(L"Could not close the queue ") + m_setup.printerName);
    Info(std::wstring(L"A queue named ") + m_setup.printerName + L" is installed.");
    return true;
}

void CFinishRun::Remove() {
    StringList queues;
    const int32_t count = m_setup.ListPrinters(m_setup.printerName, queues);
    if (count <= 0)
        return;
    Info(L"Queues to replace: " + std::to_wstring(count) + L".");
    ISpoolerService* spooler = Services().spooler;
    for (const std::wstring& queue : queues) {
        // Without that queue's backup the install will not run, so deleting the rest would only
        // put them at risk: the removal stops here, and the queues removed so far come back.
        if (!SaveQueue(queue)) {
            m_removalFailed = true;
            return;
        }
        m_setup.DeletePrinterAndDriver(queue.c_str());
        // A queue still there unmarked was not deleted and needs no restore; one marked for
        // deletion goes when its last handle closes.
        QueueState state;
        const bool kept = spooler->LookUpQueue(queue.c_str(), state) == QueueLookup::kPresent &&
                          !state.pendingDeletion;
        m_backup.entries.back().state = kept ? BackupState::kKept : BackupState::kRemoved;
        if (kept)
            LogLine(LogLevel::kWarning, L"The queue " + queue + L" is still installed.");
        else
            Info(L"Removed the queue " + queue + L".");
        WriteBackup();
    }
}

bool CFinishRun::SaveQueue(const std::wstring& queue) {
    ISpoolerService* spooler = Services().spooler;
    QueueRecord record;
    if (!spooler->ReadQueue(queue.c_str(), record)) {
        LogFailure(L"Could not read the queue " + queue + L" to save it; it is kept");
        return false;
    }
    m_backup.entries.push_back({std::move(record), BackupState::kSaved});
    if (!WriteBackup()) {
        m_backup.entries.pop_back();
        LogFailure(L"Could not save the queue " + queue + L"; it is kept");
        return false;
    }
    Info(L"Saved the queue " + queue + L" to " + m_backupPath + L".");
    return true;
}

bool CFinishRun::WriteBackup() {
    IFileStoreService* store = Services().fileStore;
    IClockService* clock = Services().clock;
    if (store == nullptr || clock == nullptr)
        return false;
    if (m_backupName.empty()) {
        if (!store->PrepareFolder(kBackupFolder))
            return false;
        RotateBackups();
        m_backupName = L"Backup-" + FileTimeStamp(clock->Now()) + L".txt";
        m_backupPath = store->PathOf(kBackupFolder, m_backupName.c_str());
    }
    if (store->WriteFile(kBackupFolder, m_backupName.c_str(), m_backup.Format()))
        return true;
    LogFailure(L"Could not write the backup file " + m_backupPath, LogLevel::kWarning);
    return false;
}

void CFinishRun::RotateBackups() {
    IFileStoreService* store = Services().fileStore;
    StringList files;
    if (!store->ListFiles(kBackupFolder, files))
        return;
    // The oldest go first, but never a file that still holds a queue to make again, nor one that
    // cannot be read: it may be the only copy of a user's printer.
    size_t left = files.size();
    for (size_t i = 0; i < files.size() && left >= kKeptBackups; ++i) {
        std::string text;
        CQueueBackup backup;
        if (!store->ReadFile(kBackupFolder, files[i].c_str(), text) ||
            !CQueueBackup::Parse(text, backup) || backup.HoldsUnrestoredQueue()) {
            continue;
        }
        if (store->DeleteFile(kBackupFolder, files[i].c_str()))
            --left;
    }
}

int32_t CFinishRun::Install() {
    if (m_removalFailed) {
        LogLine(LogLevel::kError, L"Not installed: a queue to replace could not be saved.");
        return 0;
    }
    Info(L"Installing.");
    const bool installed =
        m_method != nullptr ? m_method->Install(m_setup) : m_setup.Install() != 0;
    const int32_t result = installed ? 1 : 0;
    if (result == 1)
        SetState(BackupState::kRemoved, BackupState::kReplaced);
    return result;
}

void CFinishRun::ApplyOptions() {
    if (m_method != nullptr) {
        m_method->ApplyOptions(m_setup);
        return;
    }
    if (m_setup.GetMakeDefault() != 0)
        m_setup.MakeDefaultPrinter(nullptr);
    if (m_setup.GetPrintTestPage() != 0)
        m_setup.PrintTestPage(nullptr);
}

void CFinishRun::Restore() {
    bool any = false;
    for (CQueueBackup::Entry& entry : m_backup.entries) {
        if (entry.state != BackupState::kRemoved)
            continue;
        any = true;
        if (RestoreQueue(entry))
            entry.state = BackupState::kRestored;
        else
            LogLine(LogLevel::kError, L"The queue " + entry.record.name +
                                          L" was not made again; it stays saved in " +
                                          m_backupPath + L".");
    }
    if (any)
        WriteBackup();
}

bool CFinishRun::RestoreQueue(CQueueBackup::Entry& entry) {
    ISpoolerService* spooler = Services().spooler;
    const QueueRecord& record = entry.record;
    if (!spooler->IsDriverInstalled(record.driver.c_str())) {
        if (!spooler->InstallDriverFromPackage(record)) {
            LogFailure(L"Could not put the driver " + record.driver + L" back from " +
                       (record.driverPackage.empty() ? L"the driver store" : record.driverPackage));
            return false;
        }
        Info(L"Put the driver " + record.driver + L" back from " + record.driverPackage + L".");
    }
    if (!spooler->AddQueue(record)) {
        LogFailure(L"Could not make the queue " + record.name + L" again");
        return false;
    }
    Info(L"Made the queue " + record.name + L" again.");
    if (record.isDefault && !spooler->SetDefaultPrinter(record.name.c_str()))
        LogFailure(L"Could not make " + record.name + L" the default printer again",
                   LogLevel::kWarning);
    return true;
}

void CFinishRun::SetState(BackupState from, BackupState to) {
    bool changed = false;
    for (CQueueBackup::Entry& entry : m_backup.entries) {
        if (entry.state == from) {
            entry.state = to;
            changed = true;
        }
    }
    if (changed)
        WriteBackup();
}

bool CFinishRun::ConfirmRemoval() {
    SetState(BackupState::kRemoved, BackupState::kDeleted);
    return !m_removalFailed;
}

bool CFinishRun::RestoreFile(const std::wstring& name) {
    IFileStoreService* store = Services().fileStore;
    StringList files;
    if (store == nullptr || !store->PrepareFolder(kBackupFolder) ||
        !store->ListFiles(kBackupFolder, files)) {
        LogFailure(L"Could not read the backup folder");
        return false;
    }
    const std::wstring file = name.empty() && !files.empty() ? files.back() : name;
    std::string text;
    CQueueBackup backup;
    if (file.empty() || !store->ReadFile(kBackupFolder, file.c_str(), text) ||
        !CQueueBackup::Parse(text, backup)) {
        LogFailure(L"Could not read the backup file " + file);
        return false;
    }
    m_backup = backup;
    m_backupName = file;
    m_backupPath = store->PathOf(kBackupFolder, file.c_str());
    Info(L"Restoring from " + m_backupPath + L".");
    // Whatever is not installed now comes back; a queue that is there already stays as it is,
    // and no longer waits to be made again.
    for (CQueueBackup::Entry& entry : m_backup.entries) {
        if (m_setup.FindPrinter(entry.record.name.c_str()) == 0)
            entry.state = BackupState::kRemoved;
        else if (entry.state == BackupState::kSaved || entry.state == BackupState::kRemoved)
            entry.state = BackupState::kKept;
    }
    Restore();
    return !m_backup.HoldsUnrestoredQueue();
}

std::string CFinishRun::LogText() const {
    IFileStoreService* store = Services().fileStore;
    std::string text;
    if (store != nullptr && !m_log.Name().empty())
        store->ReadFile(CSetupLog::kFolder, m_log.Name().c_str(), text);
    return text;
}

void CFinishRun::End(int32_t result) {
    LogLine(result != 0 ? LogLevel::kInformation : LogLevel::kError,
            result != 0 ? L"Result: installed." : L"Result: not installed.");
    ReleaseLock();
    if (m_logInstalled) {
        Services().log = m_previousLog;
        m_logInstalled = false;
    }
}

int32_t CFinishRun::Run() {
    int32_t result = 0;
    if (Begin()) {
        if (CheckExisting())
            Remove();
        result = Install();
        if (result != 0)
            ApplyOptions();
        else
            Restore();
    }
    End(result);
    return result;
}
