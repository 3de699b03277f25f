#include "install/run/journal_repair.h"

#include <algorithm>
#include <utility>

#include "install/run/install_record_keeper.h"
#include "install/run/queue_restore.h"
#include "install/run/setup_run.h"
#include "install/spooler/installed_queues.h"
#include "platform/file_store_service.h"
#include "platform/install_record_service.h"
#include "platform/log_sink.h"
#include "platform/name_case.h"
#include "platform/services.h"
#include "platform/spooler_service.h"

namespace {

void Info(const std::wstring& message) {
    LogLine(LogLevel::kInformation, message);
}

// A journal of a run that never ended, read whole: a file too large to be a backup is not
// touched, whatever its head says.
bool Repairable(const Journal& journal) {
    return journal.backup.run == RunState::kBegun && journal.whole;
}

bool Pending(const CQueueBackup::Entry& entry) {
    return entry.state == BackupState::kSaved || entry.state == BackupState::kRemoved ||
           entry.state == BackupState::kMaking;
}

// The default printer the run left behind: the one seen after its last deletion. A journal that
// kept none was written before runs noted it, when only "no default" told that nobody chose one.
std::wstring DefaultLeft(const CQueueBackup& backup) {
    std::wstring left;
    for (const CQueueBackup::Entry& entry : backup.entries) {
        if (entry.defaultAfter)
            left = *entry.defaultAfter;
    }
    return left;
}

// Whether the queue of the printer's name is back as the journal saved it.
bool MadeAgainByName(const CQueueBackup& backup) {
    for (const CQueueBackup::Entry& entry : backup.entries) {
        if (entry.state == BackupState::kRestored &&
            SameNameIgnoringCase(entry.record.name, backup.printer))
            return true;
    }
    return false;
}

}  // namespace

bool CJournalRepair::DefaultUnmoved(const CQueueBackup& backup, const std::wstring& current) {
    return SameNameIgnoringCase(current, DefaultLeft(backup));
}

CJournalRepair::CJournalRepair(std::wstring account) : m_account(std::move(account)) {}

bool CJournalRepair::SettledByNewer(size_t journal, const std::wstring& name) const {
    for (size_t newer = journal + 1; newer < m_journals.size(); ++newer) {
        for (const CQueueBackup::Entry& entry : m_journals[newer].backup.entries) {
            if (SameNameIgnoringCase(entry.record.name, name))
                return true;
        }
    }
    return false;
}

CJournalRepair::Action CJournalRepair::Decide(const Journal& journal,
                                              const CQueueBackup::Entry& entry, bool settled) {
    if (settled)
        return Action::kSupersede;
    const bool removal = journal.backup.RemovalWasTheGoal();
    if (removal && entry.state != BackupState::kSaved)
        return Action::kCloseDeleted;
    ISpoolerService* spooler = Services().spooler;
    QueueState state;
    const QueueLookup lookup = spooler != nullptr
                                   ? spooler->LookUpQueue(entry.record.name.c_str(), state)
                                   : QueueLookup::kUnknown;
    if (lookup == QueueLookup::kUnknown)
        return Action::kWait;
    // A queue marked for deletion goes with its last handle: its place is as good as empty.
    const bool empty = lookup == QueueLookup::kAbsent || state.pendingDeletion;
    if (removal)
        return empty ? Action::kCloseDeleted : Action::kCloseKept;
    if (empty)
        return Action::kMakeAgain;
    QueueRecord installed;
    if (!spooler->ReadQueue(entry.record.name.c_str(), installed))
        return Action::kWait;
    QueueRecord compared = installed;
    compared.isDefault = entry.record.isDefault;
    if (compared == entry.record)
        return Action::kCloseKept;
    if (entry.state == BackupState::kMaking && MatchesMark(installed, entry.making))
        return entry.making.newQueue ? Action::kAcceptNew : Action::kFinish;
    return Action::kSupersede;
}

CJournalRepair::Action CJournalRepair::DecideInstallRecord(const Journal& journal) {
    switch (LookUpQueuesOf(journal.backup.printer.c_str())) {
        case QueueLookup::kAbsent:
            return Action::kCloseDeleted;
        case QueueLookup::kPresent:
            return Action::kCloseKept;
        case QueueLookup::kUnknown:
            break;
    }
    return Action::kWait;
}

const std::vector<CJournalRepair::Step>& CJournalRepair::Plan() {
    if (m_planned)
        return m_plan;
    m_planned = true;
    // The heads tell whether a run waits for its repair; only then do the newer journals' queue
    // names matter (rule 7).
    ReadJournals(m_journals, JournalDetail::kRun);
    if (std::any_of(m_journals.begin(), m_journals.end(), Repairable)) {
        m_journals.clear();
        ReadJournals(m_journals, JournalDetail::kQueueNames);
    }
    for (const Journal& journal : m_journals) {
        if (!journal.tooLarge)
            continue;
        m_notices.push_back(TooLargeNotice(journal.path));
        LogLine(LogLevel::kWarning, m_notices.back());
    }
    for (size_t i = m_journals.size(); i-- > 0;) {
        const Journal& journal = m_journals[i];
        if (!Repairable(journal))
            continue;
        m_foundUnfinished = true;
        for (size_t e = 0; e < journal.backup.entries.size(); ++e) {
            const CQueueBackup::Entry& entry = journal.backup.entries[e];
            if (!Pending(entry))
                continue;
            m_plan.push_back({i, e, Decide(journal, entry, SettledByNewer(i, entry.record.name))});
            if (m_plan.back().action == Action::kWait) {
                m_lookFailed = true;
                return m_plan;
            }
        }
        if (journal.backup.RemovalWasTheGoal() && !journal.backup.printer.empty() &&
            Services().installRecords != nullptr) {
            m_plan.push_back({i, kInstallRecord, DecideInstallRecord(journal)});
            if (m_plan.back().action == Action::kWait) {
                m_lookFailed = true;
                return m_plan;
            }
        }
    }
    return m_plan;
}

void CJournalRepair::Run() {
    Plan();
    size_t step = 0;
    for (size_t i = m_journals.size(); i-- > 0;) {
        Journal& journal = m_journals[i];
        if (!Repairable(journal))
            continue;
        // A journal with a step that must wait is left whole for a later run (rule 1).
        size_t end = step;
        while (end < m_plan.size() && m_plan[end].journal == i)
            ++end;
        for (size_t s = step; s < end; ++s) {
            if (m_plan[s].action == Action::kWait)
                return;
        }
        LogLine(LogLevel::kWarning, L"An earlier run was stopped before it ended: " + journal.path +
                                        L". Repairing it.");
        for (; step < end; ++step) {
            const Step& next = m_plan[step];
            if (next.entry == kInstallRecord) {
                if (next.action == Action::kCloseDeleted)
                    ForgetInstallRecord(journal);
                continue;
            }
            Carry(journal, journal.backup.entries[next.entry], next.action);
        }
        if (!journal.backup.RemovalWasTheGoal())
            MatchInstallRecord(journal.backup.printer,
                               MadeAgainByName(journal.backup) ? &journal.backup : nullptr);
        // A queue that could not be made again stays to be repaired by a later run.
        if (!journal.backup.HoldsPendingQueue())
            journal.backup.run = RunState::kRepaired;
        if (Write(journal) && journal.backup.run == RunState::kRepaired) {
            Info(L"Repaired " + journal.path + L".");
        } else {
            m_notices.push_back(
                L"An earlier run was stopped before it ended, and not every queue "
                L"it had removed could be made again; they stay saved in " +
                journal.path + L".");
        }
    }
}

void CJournalRepair::Carry(Journal& journal, CQueueBackup::Entry& entry, Action action) {
    const std::wstring& name = entry.record.name;
    switch (action) {
        case Action::kWait:
            break;
        case Action::kSupersede:
            entry.state = BackupState::kSuperseded;
            m_notices.push_back(
                L"An earlier run was stopped before it ended; another queue named " + name +
                L" has taken the place of the one it had removed, and is left as it is. The "
                L"removed one stays saved in " +
                journal.path + L" (restore the file with --force to bring it back).");
            LogLine(LogLevel::kWarning, m_notices.back());
            break;
        case Action::kCloseKept: {
            const bool wasDeleted = entry.state != BackupState::kSaved;
            entry.state = wasDeleted ? BackupState::kRestored : BackupState::kKept;
            Info(L"The queue " + name + L" is installed as it was saved.");
            if (wasDeleted)
                GiveDefaultBack(journal, entry, name);
            break;
        }
        case Action::kCloseDeleted:
            entry.state = BackupState::kDeleted;
            Info(L"The queue " + name + L" stays removed, as the stopped run asked.");
            break;
        case Action::kMakeAgain:
        case Action::kFinish:
            MakeAgain(journal, entry, action == Action::kFinish);
            break;
        case Action::kAcceptNew:
            entry.state = BackupState::kReplaced;
            Info(L"The queue " + entry.making.name + L" that the stopped run installed replaces " +
                 name + L".");
            GiveDefaultBack(journal, entry, entry.making.name);
            break;
    }
}

bool CJournalRepair::MakeAgain(Journal& journal, CQueueBackup::Entry& entry, bool deleteFirst) {
    const QueueRecord& record = entry.record;
    // The mark goes on disk first: a repair stopped halfway through making the queue leaves a
    // queue the next repair knows as its own.
    entry.state = BackupState::kMaking;
    entry.making = MarkOf(record);
    if (!Write(journal))
        return false;
    // The half-made queue may have been made the default since; it stays the default when it is
    // made again whole.
    std::wstring defaultNow;
    ISpoolerService* spooler = Services().spooler;
    const bool wasDefault = deleteFirst && spooler != nullptr &&
                            spooler->ReadDefaultPrinter(defaultNow) &&
                            SameNameIgnoringCase(defaultNow, record.name);
    if (deleteFirst && !DeleteQueue(record.name))
        return false;
    MakeQueueAgain(record);
    if (wasDefault)
        MakeDefaultAgain(record.name);
    QueueRecord installed;
    const SavedQueueMatch match = MatchSavedQueue(record, installed);
    if (match != SavedQueueMatch::kAsSaved) {
        // Nothing made is nothing half made: the mark goes, and the queue waits as removed.
        if (match == SavedQueueMatch::kGone) {
            entry.state = BackupState::kRemoved;
            Write(journal);
        }
        LogLine(LogLevel::kError, L"The queue " + record.name +
                                      L" could not be made again as it "
                                      L"was saved; it stays saved in " +
                                      journal.path + L".");
        return false;
    }
    GiveDefaultBack(journal, entry, record.name);
    entry.state = BackupState::kRestored;
    m_repaired.push_back(record.name);
    m_notices.push_back(L"An earlier run was stopped before it ended; the queue " + record.name +
                        L" it had removed was made again.");
    return true;
}

void CJournalRepair::GiveDefaultBack(const Journal& journal, const CQueueBackup::Entry& entry,
                                     const std::wstring& queue) {
    const CQueueBackup& backup = journal.backup;
    if (!entry.record.isDefault)
        return;
    // Each Windows account has a default of its own: another account's is not ours to set.
    if (!backup.account.empty() && backup.account != m_account) {
        Info(L"The queue " + queue +
             L" was the default printer of another account; it is not "
             L"made this account's default.");
        return;
    }
    ISpoolerService* spooler = Services().spooler;
    std::wstring current;
    if (spooler == nullptr || !spooler->ReadDefaultPrinter(current)) {
        LogFailure(
            L"Could not ask for the default printer; " + queue + L" is not made the default again",
            LogLevel::kWarning);
        return;
    }
    if (SameNameIgnoringCase(current, queue))
        return;
    if (!DefaultUnmoved(backup, current)) {
        Info(L"The default printer was changed to " + current +
             L" since the run stopped; it "
             L"stays the default.");
        return;
    }
    if (MakeDefaultAgain(queue))
        m_defaultMoved = true;
}

void CJournalRepair::ForgetInstallRecord(const Journal& journal) {
    IInstallRecordService* records = Services().installRecords;
    if (records != nullptr && !records->Delete(journal.backup.printer))
        LogFailure(L"Could not delete the install record of " + journal.backup.printer,
                   LogLevel::kWarning);
}

bool CJournalRepair::Write(const Journal& journal) {
    IFileStoreService* store = Services().fileStore;
    if (store != nullptr &&
        store->WriteFile(CSetupRun::kBackupFolder, journal.file.c_str(), journal.backup.Format()))
        return true;
    LogFailure(L"Could not write what became of the queues to " + journal.path, LogLevel::kWarning);
    return false;
}
