#pragma once

#include <string>
#include <vector>

#include "install/run/unfinished_runs.h"

// The repair of runs that were stopped dead (a crash, a kill, a power cut) before they ended: the
// one place that decides what becomes of a queue an unfinished journal holds. Each changing run
// repairs under the setup lock before its own work; a dry run and `status` ask for the plan
// alone. Its rules:
//
// 1. A look that fails proves nothing. When the spooler cannot say whether a journal's queue is
//    there, or what it is, nothing of that journal is marked and the repair stops: a later run
//    repairs it. The run that could not look does no work of its own either (LookFailed), since
//    a change of its own now could be undone by the repair later.
// 2. A removal's goal is the removal. An interrupted `remove` is finished forward: the queues it
//    deleted stay deleted and are closed as deleted, a saved queue it never deleted is kept, and
//    the install record of its printer goes when no queue of that printer is left.
// 3. An interrupted install, restore or wizard run is rolled back, and only into an empty place.
//    A queue it removed comes back only when no queue of its name (compared as the spooler
//    compares names) is installed. A queue of the name that matches the entry's making mark is
//    the run's own: it is finished (rule 5), or, being an install's new queue, kept as the
//    replacement. Any other queue of the name is foreign: the entry is closed as superseded,
//    nothing is changed, and the saved record stays in its file to be restored by hand. A queue
//    deleted by someone after the run stopped cannot be told from one the run never made: the
//    rollback puts the old queue back and says so.
// 4. The default goes back only where nobody moved it: only when the default now is the one the
//    run left after its last deletion (Windows picks a new default itself when the default queue
//    goes, so "no default" is not the test), and only in the account that wrote the journal.
// 5. Made again means equal: a queue counts as repaired only when a last look finds it equal to
//    its record, state included. A repair stopped between its requests leaves its making mark,
//    and the next repair finishes it.
// 6. Every repair is a change: Repaired and DefaultMoved say what this one did, for the front
//    ends to report.
// 7. Newest first. Journals are repaired newest first, and an older entry for a name that a newer
//    journal holds was settled by that newer run: it is superseded.
// A file of the folder larger than any backup is not read, and not repaired: a notice says so.
class CJournalRepair {
  public:
    enum class Action {
        kWait,          // the look failed: nothing is marked (rule 1)
        kSupersede,     // a newer journal or a foreign queue holds the name (rules 3, 7)
        kCloseKept,     // installed as saved: nothing to make
        kCloseDeleted,  // a removal's queue stays deleted (rule 2)
        kMakeAgain,     // its place is empty: the saved queue is made again (rule 3)
        kFinish,        // its own half-made queue holds the place: made again whole (rule 5)
        kAcceptNew,     // the install's new queue holds the place: it replaced the saved one
    };
    // What the repair does with one entry of one journal (indexes into Journals()). A step of
    // entry kInstallRecord is a removal's install record, forgotten when no queue of its printer
    // is left (kCloseDeleted) or kept (kCloseKept).
    static constexpr size_t kInstallRecord = static_cast<size_t>(-1);
    struct Step {
        size_t journal;
        size_t entry;
        Action action;
    };

    // `account` is who runs the repair (ISessionService::AccountName).
    explicit CJournalRepair(std::wstring account);

    // Reads the backup folder and looks at the spooler for every queue an unfinished journal
    // holds, newest journal first, and says what a repair would do; changes nothing. The plan
    // ends at the first kWait.
    const std::vector<Step>& Plan();

    // Carries out the plan, journal by journal, each write on disk before the next change.
    void Run();

    // Whether a journal was found unfinished, and whether the plan had to wait for a look.
    bool FoundUnfinished() const { return m_foundUnfinished; }
    bool LookFailed() const { return m_lookFailed; }
    // The queues this repair made again or finished, and whether it moved the default printer.
    const std::vector<std::wstring>& Repaired() const { return m_repaired; }
    bool DefaultMoved() const { return m_defaultMoved; }
    // One line for the user of each thing the repair did or could not do.
    const std::vector<std::wstring>& Notices() const { return m_notices; }

    // Rule 4 on its own: whether a queue that was the default may be made it again, with `current`
    // the default now: only when that is still the default the run left.
    static bool DefaultUnmoved(const CQueueBackup& backup, const std::wstring& current);

    // The journals of the folder as Plan read them, oldest first.
    const std::vector<Journal>& Journals() const { return m_journals; }

  private:
    Action Decide(const Journal& journal, const CQueueBackup::Entry& entry, bool settled);
    bool SettledByNewer(size_t journal, const std::wstring& name) const;
    void Carry(Journal& journal, CQueueBackup::Entry& entry, Action action);
    bool MakeAgain(Journal& journal, CQueueBackup::Entry& entry, bool deleteFirst);
    void GiveDefaultBack(const Journal& journal, const CQueueBackup::Entry& entry,
                         const std::wstring& queue);
    Action DecideInstallRecord(const Journal& journal);
    void ForgetInstallRecord(const Journal& journal);
    bool Write(const Journal& journal);

    std::wstring m_account;
    std::vector<Journal> m_journals;
    std::vector<Step> m_plan;
    bool m_planned = false;
    bool m_foundUnfinished = false;
    bool m_lookFailed = false;
    bool m_defaultMoved = false;
    std::vector<std::wstring> m_repaired;
    std::vector<std::wstring> m_notices;
};
