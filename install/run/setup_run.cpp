#include "install/run/setup_run.h"

#include <algorithm>
#include <utility>

#include "install/run/install_record_keeper.h"
#include "install/run/journal_repair.h"
#include "install/run/queue_restore.h"
#include "install/run/time_stamp.h"
#include "install/run/unfinished_runs.h"
#include "platform/clock_service.h"
#include "platform/file_store_service.h"
#include "platform/install_record_service.h"
#include "platform/log_sink.h"
#include "platform/name_case.h"
#include "platform/native_path.h"
#include "platform/platform_failure.h"
#include "platform/pnp_service.h"
#include "platform/services.h"
#include "platform/session_service.h"
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

CSetupRun::CSetupRun(SetupContext& setup, std::wstring component, uint32_t lockWaitMs,
                     IInstallMethod* method)
    : m_setup(setup), m_method(method), m_log(std::move(component)), m_lockWaitMs(lockWaitMs) {}

CSetupRun::~CSetupRun() {
    ReleaseLock();
    if (m_logInstalled)
        Services().log = m_previousLog;
}

void CSetupRun::SetStopCheck(std::function<bool()> stopRequested) {
    m_stopRequested = std::move(stopRequested);
}

void CSetupRun::FailUnexpectedly() {
    m_removalFailed = true;
    LogLine(LogLevel::kError, L"A step ended on an unexpected error; nothing more is changed.");
    if (m_failureReason.empty())
        m_failureReason = L"A step ended on an unexpected error.";
}

void CSetupRun::NoteFailure(const CStepFailures& step) {
    // The first step that failed decides the run's result; the ones after it fail for its sake.
    if (m_failureReason.empty())
        m_failureReason = step.Reason();
}

bool CSetupRun::StopRequested() {
    if (m_cancelled || !m_stopRequested || !m_stopRequested())
        return m_cancelled;
    m_cancelled = true;
    LogLine(LogLevel::kWarning, L"Stopped on request.");
    return true;
}

bool CSetupRun::Begin(Needs needs) {
    // A failure recorded on this thread before the run began belongs to no step of it.
    TakePlatformFailure();
    // The lock comes first: a run that waits for it or gives up must not rotate away the log of
    // the run that holds it.
    // The lock lives in the program's folder, so that folder is made safe first.
    std::wstring movedAside;
    if (!SecureProgramFolder(movedAside) || !TakeLock())
        return false;
    m_log.Open();
    m_previousLog = std::exchange(Services().log, &m_log);
    m_logInstalled = true;
    Info(L"Setup started.");
    if (!movedAside.empty()) {
        m_notices.push_back(
            L"The program's folder could be changed by accounts that are not administrators; it "
            L"was moved aside to " +
            movedAside + L", and a new one was made.");
        LogLine(LogLevel::kWarning, m_notices.back());
    }
    Info(L"Setup folder: " + DisplayPath(m_setup.setupFolder));
    Info(L"Printer information file: " + DisplayPath(m_setup.printerInfoPath));
    Info(std::wstring(L"Chosen printer: ") + m_setup.printerName + L", port: " + m_setup.portName +
         L", make default: " + YesNo(m_setup.makeDefault != 0) + L", test page: " +
         YesNo(m_setup.printTestPage != 0) + L".");
    const bool noPrinter = needs != Needs::kNothing && m_setup.printerName[0] == L'\0';
    const bool noPort = needs == Needs::kPrinterAndPort && m_setup.portName[0] == L'\0';
    if (noPrinter || noPort) {
        LogLine(LogLevel::kError, L"No printer name or no port was chosen; nothing was touched.");
        return false;
    }
    if (needs == Needs::kPrinterAndPort)
        WarnOfFoldersOthersMayChange();
    const CStepFailures repair;
    if (!RepairUnfinishedRuns()) {
        NoteFailure(repair);
        return false;
    }
    // An install would remove the old queues and then be refused its driver.
    ISessionService* session = Services().session;
    if (needs == Needs::kPrinterAndPort && session != nullptr && session->IsProtectedPrintOn()) {
        m_protectedPrintOn = true;
        LogLine(LogLevel::kError,
                L"Windows protected print mode is on: it lets in only the printer drivers that "
                L"come with Windows, so this printer's driver cannot be installed. Nothing was "
                L"touched. Turn the mode off (Settings, Bluetooth & devices, Printers & "
                L"scanners), or ask the administrator who set it by policy, and run the setup "
                L"again.");
        return false;
    }
    m_begun = true;
    return true;
}

bool CSetupRun::RepairUnfinishedRuns() {
    CJournalRepair repair(AccountName());
    repair.Run();
    m_notices.insert(m_notices.end(), repair.Notices().begin(), repair.Notices().end());
    m_repaired = repair.Repaired();
    m_repairMovedDefault = repair.DefaultMoved();
    if (!repair.LookFailed())
        return true;
    m_repairWaits = true;
    m_notices.push_back(
        L"An earlier run was stopped before it ended, and the print system could not be asked "
        L"whether its queues are back. Nothing of it was marked, and nothing was changed: try "
        L"again when the print system answers.");
    LogLine(LogLevel::kError, m_notices.back());
    return false;
}

void CSetupRun::GiveDefaultBack(const QueueRecord& saved) {
    ISpoolerService* spooler = Services().spooler;
    std::wstring current;
    if (!saved.isDefault || spooler == nullptr)
        return;
    if (!spooler->ReadDefaultPrinter(current)) {
        LogFailure(L"Could not ask for the default printer; " + saved.name +
                       L" is not made the default again",
                   LogLevel::kWarning);
        return;
    }
    if (!SameNameIgnoringCase(current, saved.name) &&
        CJournalRepair::DefaultUnmoved(m_backup, current))
        MakeDefaultAgain(saved.name);
}

bool CSetupRun::Prepare() {
    const CStepFailures step;
    if (m_method == nullptr || m_method->Prepare(m_setup))
        return true;
    m_prepareFailed = true;
    m_refused = step.Refused();
    NoteFailure(step);
    return false;
}

bool CSetupRun::CheckExisting() {
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

void CSetupRun::Remove() {
    // A queue removed for an install that cannot be made would be gone for nothing.
    if (m_prepareFailed)
        return;
    const CStepFailures step;
    StringList queues;
    const int32_t count = m_setup.ListPrinters(m_setup.printerName, queues);
    m_listFailed = count < 0;
    if (count <= 0) {
        m_refused = m_listFailed && step.Refused();
        if (m_listFailed)
            NoteFailure(step);
        return;
    }
    Info(L"Queues to replace: " + std::to_wstring(count) + L".");
    ISpoolerService* spooler = Services().spooler;
    for (const std::wstring& queue : queues) {
        if (StopRequested())
            return;
        // Each queue's own failures say why it was kept: a driver that another queue still used
        // when an earlier queue went is no reason.
        const CStepFailures queueStep;
        // Without that queue's backup the install will not run, so deleting the rest would only
        // put them at risk: the removal stops here, and the queues removed so far come back.
        if (!SaveQueue(queue)) {
            m_removalFailed = true;
            m_refused = step.Refused();
            NoteFailure(queueStep);
            return;
        }
        m_setup.DeletePrinterAndDriver(queue.c_str());
        // A queue still there unmarked was not deleted and needs no restore; one marked for
        // deletion goes when its last handle closes.
        QueueState state;
        const bool kept = spooler->LookUpQueue(queue.c_str(), state) == QueueLookup::kPresent &&
                          !state.pendingDeletion;
        m_backup.entries.back().state = kept ? BackupState::kKept : BackupState::kRemoved;
        // Windows picks a new default itself when the default queue goes: what it picked is
        // what a later repair must find still in place before it gives the default back.
        if (!kept)
            m_backup.entries.back().defaultAfter = DefaultNow();
        if (kept) {
            LogLine(LogLevel::kWarning, L"The queue " + queue + L" is still installed.");
            m_removalFailed = true;
            m_refused = m_refused || step.Refused();
            NoteFailure(queueStep);
        } else {
            Info(L"Removed the queue " + queue + L".");
        }
        WriteBackup();
    }
}

bool CSetupRun::SaveQueue(const std::wstring& queue) {
    ISpoolerService* spooler = Services().spooler;
    QueueRecord record;
    if (!spooler->ReadQueue(queue.c_str(), record)) {
        LogFailure(L"Could not read the queue " + queue + L" to save it; it is kept");
        return false;
    }
    if (!MayLoseCredentials(record))
        return false;
    OpenJournal();
    m_backup.entries.push_back({std::move(record), BackupState::kSaved});
    // A backup larger than any backup may be would be refused by the restore that needs it.
    if (m_backup.Format().size() > CQueueBackup::kMostBytes - CQueueBackup::kRoomForMarks) {
        m_backup.entries.pop_back();
        LogLine(LogLevel::kError, L"The queue " + queue + L" is too large to be saved: with it " +
                                      L"the backup would be larger than " +
                                      std::to_wstring(CQueueBackup::kMostBytes / (1024 * 1024)) +
                                      L" MB. It is kept.");
        return false;
    }
    if (!WriteBackup()) {
        m_backup.entries.pop_back();
        LogFailure(L"Could not save the queue " + queue + L"; it is kept");
        return false;
    }
    Info(L"Saved the queue " + queue + L" to " + m_backupPath + L".");
    return true;
}

void CSetupRun::OpenJournal() {
    if (m_backup.run == RunState::kBegun)
        return;
    m_backup.run = RunState::kBegun;
    m_backup.command = m_command;
    m_backup.printer = m_setup.printerName;
    m_backup.account = AccountName();
    m_backup.defaultAtStart = DefaultNow();
    // What a restore of the queue of the printer's name writes back with it.
    IInstallRecordService* records = Services().installRecords;
    InstallRecord record;
    m_backup.recordKnown = records != nullptr && !m_backup.printer.empty();
    if (m_backup.recordKnown && records->Read(m_backup.printer, record))
        m_backup.recordAtStart = record;
    else
        TakePlatformFailure();  // no record, or none that can be read: nothing to bring back
}

std::optional<std::wstring> CSetupRun::DefaultNow() {
    ISpoolerService* spooler = Services().spooler;
    std::wstring current;
    if (spooler != nullptr && spooler->ReadDefaultPrinter(current))
        return current;
    // Not knowing it only keeps a later repair from giving a default back.
    TakePlatformFailure();
    return std::nullopt;
}

void CSetupRun::MarkMaking(CQueueBackup::Entry& entry, MakingMark mark) {
    entry.state = BackupState::kMaking;
    entry.making = std::move(mark);
    WriteBackup();
}

bool CSetupRun::MayLoseCredentials(const QueueRecord& record) {
    // The schemes whose URIs carry a user name and password for the printer's host.
    static const wchar_t* const kWithCredentials[] = {L"smb",  L"ipp",   L"ipps",
                                                      L"http", L"https", L"lpd"};
    const std::wstring* uri = record.Setting(L"device-uri");
    if (record.deviceUriWhole || uri == nullptr)
        return true;
    const std::wstring scheme = uri->substr(0, uri->find(L':'));
    bool carries = false;
    for (const wchar_t* known : kWithCredentials)
        carries = carries || SameNameIgnoringCase(scheme, known);
    if (!carries)
        return true;
    const std::wstring notice =
        L"The device URI of the queue " + record.name +
        L" may hold a user name and password that only root can read, and the backup could not "
        L"keep them: " +
        (m_force ? std::wstring(L"it is replaced all the same (--force), and they are lost.")
                 : std::wstring(L"it is kept. Run the command as root to keep them, or with "
                                L"--force to replace it without them."));
    LogLine(m_force ? LogLevel::kWarning : LogLevel::kError, notice);
    m_notices.push_back(notice);
    return m_force;
}

bool CSetupRun::WriteBackup() {
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

void CSetupRun::RotateBackups() {
    IFileStoreService* store = Services().fileStore;
    StringList listed;
    if (!store->ListFiles(kBackupFolder, listed))
        return;
    // Only files named as backups count and go: anything else an administrator put in the folder
    // (an archive, notes) is theirs.
    StringList files;
    for (const std::wstring& file : listed) {
        if (IsBackupFileName(file))
            files.push_back(file);
    }
    std::sort(files.begin(), files.end());
    // The oldest go first, but never a file that still holds a queue to make again, nor one that
    // cannot be read: it may be the only copy of a user's printer.
    size_t left = files.size();
    for (size_t i = 0; i < files.size() && left >= kKeptBackups; ++i) {
        CQueueBackup backup;
        if (ReadBackupFile(files[i], backup) != BackupRead::kRead ||
            backup.HoldsUnrestoredQueue()) {
            continue;
        }
        if (store->DeleteFile(kBackupFolder, files[i].c_str()))
            --left;
    }
}

int32_t CSetupRun::Install() {
    if (m_prepareFailed) {
        LogLine(LogLevel::kError,
                L"Not installed: the install could not be prepared; nothing "
                L"was removed.");
        return 0;
    }
    if (m_removalFailed) {
        LogLine(LogLevel::kError, L"Not installed: a queue to replace could not be saved.");
        return 0;
    }
    if (StopRequested())
        return 0;
    Info(L"Installing.");
    MarkNewQueue();
    const CStepFailures step;
    const bool installed =
        m_method != nullptr ? m_method->Install(m_setup) : m_setup.Install() != 0;
    if (!installed) {
        m_refused = step.Refused();
        NoteFailure(step);
        return 0;
    }
    SetState(BackupState::kRemoved, BackupState::kReplaced);
    SetState(BackupState::kMaking, BackupState::kReplaced);
    IPnpService* pnp = Services().pnp;
    m_restartRequired = pnp != nullptr && pnp->RestartRequired();
    if (m_restartRequired)
        LogLine(LogLevel::kWarning,
                L"The driver is in use only after the computer restarts; it was not restarted.");
    return 1;
}

void CSetupRun::MarkNewQueue() {
    // The new queue takes the place of the removed queue of its own name, in any case.
    for (CQueueBackup::Entry& entry : m_backup.entries) {
        if (entry.state == BackupState::kRemoved &&
            SameNameIgnoringCase(entry.record.name, m_setup.printerName)) {
            MarkMaking(entry, {true, m_setup.printerName, m_setup.portName, L""});
            return;
        }
    }
}

void CSetupRun::ApplyOptions() {
    bool replacedDefault = false;
    for (const CQueueBackup::Entry& entry : m_backup.entries)
        replacedDefault = replacedDefault || entry.record.isDefault;
    if (m_method != nullptr) {
        m_method->ApplyOptions(m_setup);
    } else {
        if (m_setup.GetMakeDefault() != 0)
            m_setup.MakeDefaultPrinter(nullptr);
        if (m_setup.GetPrintTestPage() != 0)
            m_setup.PrintTestPage(nullptr);
    }
    if (m_setup.GetMakeDefault() != 0 || !replacedDefault)
        return;
    ISpoolerService* spooler = Services().spooler;
    if (spooler != nullptr && spooler->SetDefaultPrinter(m_setup.printerName))
        Info(std::wstring(L"Made ") + m_setup.printerName +
             L" the default printer, as the queue it replaced was.");
    else
        LogFailure(std::wstring(L"Could not make ") + m_setup.printerName +
                       L" the default printer, as the queue it replaced was",
                   LogLevel::kWarning);
}

void CSetupRun::Restore() {
    for (CQueueBackup::Entry& entry : m_backup.entries) {
        if (entry.state != BackupState::kRemoved && entry.state != BackupState::kMaking)
            continue;
        if (!MakeSavedQueueAgain(entry))
            LogLine(LogLevel::kError, L"The queue " + entry.record.name +
                                          L" was not made again; it stays saved in " +
                                          m_backupPath + L".");
    }
}

bool CSetupRun::MakeSavedQueueAgain(CQueueBackup::Entry& entry) {
    MarkMaking(entry, MarkOf(entry.record));
    MakeQueueAgain(entry.record);
    // Only a last look tells that it came back as it was saved.
    QueueRecord installed;
    const SavedQueueMatch match = MatchSavedQueue(entry.record, installed);
    if (match != SavedQueueMatch::kAsSaved) {
        // Nothing made is nothing half made: the mark goes, and the queue waits as removed.
        if (match == SavedQueueMatch::kGone) {
            entry.state = BackupState::kRemoved;
            WriteBackup();
        }
        return false;
    }
    // The default before the mark: a run stopped in between leaves the queue to be finished.
    GiveDefaultBack(entry.record);
    entry.state = BackupState::kRestored;
    WriteBackup();
    return true;
}

void CSetupRun::SetState(BackupState from, BackupState to) {
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

bool CSetupRun::ConfirmRemoval() {
    SetState(BackupState::kRemoved, BackupState::kDeleted);
    if (m_listFailed || m_removalFailed || m_cancelled)
        return false;
    // The last look: a queue of the name that is still listed was not removed, whatever the
    // steps before said.
    const CStepFailures step;
    StringList left;
    const int32_t count = m_setup.ListPrinters(m_setup.printerName, left);
    if (count == 0)
        return true;
    if (count > 0)
        LogLine(LogLevel::kError, L"The queue " + left[0] + L" is still installed.");
    NoteFailure(step);
    return false;
}

std::wstring CSetupRun::AccountName() {
    ISessionService* session = Services().session;
    return session != nullptr ? session->AccountName() : std::wstring();
}

std::string CSetupRun::LogText() const {
    IFileStoreService* store = Services().fileStore;
    std::string text;
    if (store != nullptr && !m_log.Name().empty())
        store->ReadFile(CSetupLog::kFolder, m_log.Name().c_str(), text);
    return text;
}

void CSetupRun::End(int32_t result) {
    End(result != 0, result != 0 ? L"installed" : L"not installed");
}

void CSetupRun::End(bool succeeded, const std::wstring& result) {
    // Whatever the run did to the queue of its printer, the record matches it. A removal's record
    // goes only with the last queue of the printer, which its command sees to.
    if (!m_ended && m_begun && m_command != L"remove")
        MatchInstallRecord(m_setup.printerName);
    if (!m_ended && m_logInstalled)
        LogLine(succeeded ? LogLevel::kInformation : LogLevel::kError, L"Result: " + result + L".");
    // The journal ends only here: what the backup says of each queue is now final.
    if (!m_ended && !m_backupName.empty()) {
        m_backup.run = RunState::kEnded;
        WriteBackup();
    }
    m_ended = true;
    ReleaseLock();
    if (m_logInstalled) {
        Services().log = m_previousLog;
        m_logInstalled = false;
    }
}

int32_t CSetupRun::Run() {
    int32_t result = 0;
    if (Begin()) {
        if (Prepare() && CheckExisting())
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
