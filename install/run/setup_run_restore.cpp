#include "install/run/setup_run.h"

#include <string>
#include <vector>

#include "install/run/install_record_keeper.h"
#include "install/run/queue_restore.h"
#include "install/run/unfinished_runs.h"
#include "platform/file_store_service.h"
#include "platform/log_sink.h"
#include "platform/name_case.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/spooler_service.h"
#include "setupdata/setup_context.h"

// The restore of a backup file that a person asks for (`pavonis restore`): a part of the setup
// run of its own, apart from the phases every install goes through.

namespace {

void Info(const std::wstring& message) {
    LogLine(LogLevel::kInformation, message);
}

}  // namespace

bool CSetupRun::RestoreFile(const std::wstring& name, bool force) {
    const CStepFailures step;
    IFileStoreService* store = Services().fileStore;
    StringList files;
    if (store == nullptr || !store->PrepareFolder(kBackupFolder) ||
        !store->ListFiles(kBackupFolder, files)) {
        LogFailure(L"Could not read the backup folder");
        NoteFailure(step);
        return false;
    }
    std::vector<Journal> journals;
    ReadJournals(journals, JournalDetail::kRun);
    const std::wstring file = name.empty() ? NewestBackupToRestore(journals) : name;
    const std::wstring folder = store->PathOf(kBackupFolder, L"");
    const std::wstring path = store->PathOf(kBackupFolder, file.c_str());
    if (file.empty() || std::find(files.begin(), files.end(), file) == files.end()) {
        m_restoreStart = RestoreStart::kNoFile;
        m_restoreProblem = file.empty()
                               ? L"There is no backup to restore in " + folder + L"."
                               : L"There is no backup file " + file + L" in " + folder + L".";
        LogLine(LogLevel::kError, m_restoreProblem);
        return false;
    }
    CQueueBackup backup;
    const BackupRead read = ReadBackupFile(file, backup);
    if (read == BackupRead::kTooLarge) {
        // Begin's repair may have said so already.
        const std::wstring notice = TooLargeNotice(path);
        if (std::find(m_notices.begin(), m_notices.end(), notice) == m_notices.end())
            m_notices.push_back(notice);
        m_restoreStart = RestoreStart::kNotABackup;
        m_restoreProblem = notice;
        LogLine(LogLevel::kError, notice);
        return false;
    }
    if (read != BackupRead::kRead) {
        LogFailure(L"Could not read the backup file " + file);
        NoteFailure(step);
        m_restoreStart = RestoreStart::kNotABackup;
        m_restoreProblem = L"The backup file " + path + L" cannot be read as a backup.";
        return false;
    }
    Info(L"Restoring from " + path + L".");
    using Fate = RestoredQueue::Fate;
    bool whole = true;
    bool changed = false;
    // Whether the queue of the printer's name is the one the backup saved, now installed.
    bool madeAgain = false;
    for (CQueueBackup::Entry& entry : backup.entries) {
        ReplaceFromBackup(entry, force);
        const Fate fate = m_restored.back().fate;
        madeAgain =
            madeAgain ||
            (SameNameIgnoringCase(entry.record.name, backup.printer) &&
             (fate == Fate::kMadeAgain || fate == Fate::kReplaced || fate == Fate::kAsSaved));
        whole = whole && fate != Fate::kDiffers && fate != Fate::kNotMadeAgain;
        // A queue that no longer waits to be made again no longer keeps its file from going.
        const bool waiting =
            entry.state == BackupState::kSaved || entry.state == BackupState::kRemoved;
        if (waiting && (fate == Fate::kMadeAgain || fate == Fate::kReplaced)) {
            entry.state = BackupState::kRestored;
            changed = true;
        } else if (waiting && fate == Fate::kAsSaved) {
            entry.state = BackupState::kKept;
            changed = true;
        }
    }
    MatchInstallRecord(backup.printer, madeAgain ? &backup : nullptr);
    // A queue this restore replaced was saved in this run's own backup.
    if (changed && !store->WriteFile(kBackupFolder, file.c_str(), backup.Format()))
        LogFailure(L"Could not write what became of the queues to " + path, LogLevel::kWarning);
    m_refused = !whole && step.Refused();
    if (!whole)
        NoteFailure(step);
    return whole;
}

void CSetupRun::ReplaceFromBackup(CQueueBackup::Entry& entry, bool force) {
    using Fate = RestoredQueue::Fate;
    const QueueRecord& saved = entry.record;
    QueueRecord installed;
    Fate fate = Fate::kNotMadeAgain;
    switch (MatchSavedQueue(saved, installed)) {
        case SavedQueueMatch::kAsSaved:
            fate = Fate::kAsSaved;
            Info(L"The queue " + saved.name + L" is installed as saved.");
            break;
        case SavedQueueMatch::kGone: {
            // The restore journals what it makes, so that a restore stopped halfway through
            // making a queue is finished by the next run.
            OpenJournal();
            m_backup.entries.push_back({saved, BackupState::kSaved});
            MarkMaking(m_backup.entries.back(), MarkOf(saved));
            fate = MakeQueueAgain(saved) ? Fate::kMadeAgain : Fate::kNotMadeAgain;
            break;
        }
        case SavedQueueMatch::kDiffers:
            if (!force) {
                fate = Fate::kDiffers;
                LogLine(LogLevel::kWarning, L"A queue named " + saved.name +
                                                L" with other settings is installed; it is kept.");
                break;
            }
            // The queue of today is saved first, so that a replace that fails loses nothing.
            if (!SaveQueue(installed.name)) {
                fate = Fate::kNotMadeAgain;
                break;
            }
            m_setup.DeletePrinterAndDriver(installed.name.c_str());
            m_backup.entries.back().defaultAfter = DefaultNow();
            MarkMaking(m_backup.entries.back(), {true, saved.name, DeviceOf(saved), saved.driver});
            if (MakeQueueAgain(saved)) {
                fate = Fate::kReplaced;
                m_backup.entries.back().state = BackupState::kReplaced;
            } else {
                Restore();
            }
            WriteBackup();
            break;
        case SavedQueueMatch::kUnknown:
            break;
    }
    // Only a last look tells that a queue made again came back as it was saved.
    const bool made = fate == Fate::kMadeAgain || fate == Fate::kReplaced;
    if (made && MatchSavedQueue(saved, installed) != SavedQueueMatch::kAsSaved) {
        LogLine(LogLevel::kError,
                L"The queue " + saved.name + L" was made again, but not as it was saved.");
        fate = Fate::kNotMadeAgain;
    }
    if (fate == Fate::kMadeAgain) {
        m_backup.entries.back().state = BackupState::kRestored;
        WriteBackup();
    }
    // A restore asked for by name gives the saved default back whoever holds it now: that is
    // what it was asked to do.
    bool madeDefault = false;
    if ((made || fate == Fate::kAsSaved) && fate != Fate::kNotMadeAgain && saved.isDefault &&
        !installed.isDefault)
        madeDefault = MakeDefaultAgain(saved.name);
    m_restored.push_back({saved.name, fate, madeDefault});
}
