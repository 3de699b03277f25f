#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "install/run/install_method.h"
#include "install/run/queue_backup.h"
#include "install/run/setup_log.h"

class CStepFailures;

// install/run/ owns the setup run and its journal: the run's phases (this class), the backup file
// that journals them (queue_backup.h), the repair of runs stopped dead (journal_repair.h), making
// a saved queue again (queue_restore.h), the setup log and its time stamps. It uses the spooler
// rules of install/spooler/, the setup record (setupdata/) and the platform seam; it installs
// through an IInstallMethod (install_method.h) or the setup record's own install, and so never
// names install/windows/ or install/cups/, which stand beside it.

struct SetupContext;

// One setup run, whichever front end or command asks for it (the wizard's Finish, and the
// console's install, remove, restore, stage and default): the existence check, the removal of the
// chosen printer's old queues with a backup of each, the install, the options after success, and
// after a failure the restore of every queue the removal deleted. A command uses the phases it
// needs. One call per phase, so that the wizard runs each on the thread it belongs to (the GUI
// thread, the removal worker, the installation worker) while a console front end runs them in a
// row with Run. The phases are called in that order, one at a time. The run writes the setup log
// from Begin to End.
//
// The backup is the run's journal: it says that the run has begun before the first queue is
// deleted, each queue's state as it changes, and at End that the run has ended, each write on
// disk before the next step. A run stopped dead in between (a crash, a kill, a power cut) is
// repaired by the next run's Begin.
class CSetupRun {
  public:
    // `setup` holds the user's choices; `component` names the program in the log; the run waits
    // at most `lockWaitMs` for another setup run to end. It installs with `method`, which must
    // outlive it, or without one with the setup record's own install (Windows).
    CSetupRun(SetupContext& setup, std::wstring component, uint32_t lockWaitMs = 0,
              IInstallMethod* method = nullptr);
    ~CSetupRun();
    CSetupRun(const CSetupRun&) = delete;
    CSetupRun& operator=(const CSetupRun&) = delete;

    // Asked between the steps that change queues: when it answers true, no further queue is
    // removed and nothing is installed (Cancelled), so that the caller can put back what is gone.
    void SetStopCheck(std::function<bool()> stopRequested);

    // The command this run serves ("install", "remove", "restore", "stage", "default"), as its
    // journal names it; "finish" (the wizard's) unless set before Begin. A repair finishes an
    // interrupted removal forward and rolls back every other run.
    void SetCommand(std::wstring command) { m_command = std::move(command); }

    // Replaces or removes even a queue whose device URI this run cannot read whole (CUPS shows
    // its user name and password to root alone) and whose scheme may carry them: they are then
    // lost. Without it such a queue is kept, and the run fails and says why.
    void SetForce(bool force) { m_force = force; }

    // How long Begin waits for another setup run to release the setup lock; set before Begin.
    void SetLockWait(uint32_t lockWaitMs) { m_lockWaitMs = lockWaitMs; }

    // Takes the machine-wide setup lock for the calling thread, which must be the one that calls
    // End; then opens the log, writes the setup folder and the user's choices, and repairs the runs
    // that were stopped dead before they ended (Repairs). False when another setup run holds the
    // lock (LockBusy; no file is written or deleted then, since the log is opened only under the
    // lock), when it cannot be had, or when the printer name or the port name that the run needs
    // is empty: then nothing may be touched or started, and the run has failed.
    enum class Needs { kPrinterAndPort, kPrinter, kNothing };
    bool Begin(Needs needs = Needs::kPrinterAndPort);
    bool LockBusy() const { return m_lockBusy; }
    // Why the lock could not be had, in the system's words (its holder, or what is wrong with
    // it); empty when that is only that another run holds it.
    const std::wstring& LockProblem() const { return m_lockProblem; }
    // The run did not begin because the program's folder could not be made safe; LockProblem()
    // says why, as a whole sentence.
    bool ProgramFolderUnsafe() const { return m_programFolderUnsafe; }

    // Whether Begin gave up because an unfinished run's queues could not be looked at (the
    // spooler did not answer): nothing of it was marked, and this run changed nothing either, so
    // that a later repair cannot undo its change. Try again when the spooler answers.
    bool RepairWaits() const { return m_repairWaits; }
    // The queues Begin's repair made again or finished, and whether it moved the default printer:
    // a repair is a change, and the front end reports it as one.
    const std::vector<std::wstring>& Repaired() const { return m_repaired; }
    bool RepairMovedDefault() const { return m_repairMovedDefault; }

    // What Begin put back of runs stopped dead, one line each for the user, who would otherwise
    // not know that a printer of theirs had been gone.
    // Also what Begin had to do about a program folder that another account had made.
    const std::vector<std::wstring>& Notices() const { return m_notices; }

    // For an install, before the existence check: the install method reads what it needs (its
    // driver, the spooler's other queues), so that the old queue is gone only while the new one is
    // made. False when the install cannot be made: then Remove removes nothing and Install fails
    // without trying. The setup record's own install (Windows) needs nothing read ahead.
    bool Prepare();

    // Whether a queue of the chosen name exists. The check's handle is closed before this
    // returns: while a handle of a queue is open, the spooler only marks the queue for deletion,
    // and its driver stays in use and cannot be deleted.
    bool CheckExisting();
    // Whether that handle was closed without error (the device rescan follows only then).
    bool CheckClosed() const { return m_checkClosed; }

    // Saves and then deletes every queue that belongs to the chosen name, with its driver. A
    // queue that cannot be saved is not deleted, nor is any after it, and the install will fail.
    void Remove();

    // Installs the chosen printer: 1 installed, 0 failed (also without trying, when the removal
    // could not save a queue, or a stop was asked for).
    int32_t Install();

    // After a successful install: the default-printer and test-page commands, as the options say.
    // The new queue is also made the default when a queue it replaced was the default, whatever
    // the options say: not making it the default must not leave the user without one.
    void ApplyOptions();

    // After a failed install: makes every deleted queue again, with its driver put back from the
    // driver store where it is gone, and makes the default printer the default again. A queue that
    // cannot be made again stays in the backup file, and the log says so.
    void Restore();

    // After a removal that was asked for by itself, with no install to follow: the removed queues
    // stay in the backup as deleted on request. True only when the queue list could be read,
    // every queue of the name was saved and removed, and a last look finds none.
    bool ConfirmRemoval();

    // What a restore of a backup file did with one of its queues.
    struct RestoredQueue {
        std::wstring name;
        enum class Fate {
            kMadeAgain,     // it was gone and is back as saved
            kAsSaved,       // it is installed as saved already
            kReplaced,      // another queue of its name was saved and replaced by it (force)
            kDiffers,       // a queue of its name with other settings is installed; kept as it is
            kNotMadeAgain,  // it could not be made again (the log says why)
        } fate;
        bool madeDefault = false;  // it was made the default printer again
    };
    // Makes the queues of a backup file in the backup folder again (the newest file when `name`
    // is empty). A queue of a backup name that is installed now with other settings is replaced
    // only with `force`, after it is saved itself. True when every queue of the backup is
    // installed as the backup holds it afterwards.
    bool RestoreFile(const std::wstring& name, bool force = false);
    const std::vector<RestoredQueue>& RestoredQueues() const { return m_restored; }
    // Why RestoreFile could not begin on a file, for the user: there is no such file (or none to
    // restore), it cannot be read as a backup, or it is too large; empty when it could.
    enum class RestoreStart { kStarted, kNoFile, kNotABackup };
    RestoreStart RestoreStarted() const { return m_restoreStart; }
    const std::wstring& RestoreProblem() const { return m_restoreProblem; }

    // A step ended on an unexpected error (an exception a front end caught): the run has failed,
    // nothing more is removed or installed, and the log says so.
    void FailUnexpectedly();

    // Whether the step that failed failed because the system refused it for want of rights.
    bool FailureWasRefusal() const { return m_refused; }
    // Why the first step of the run that failed failed, in the platform's own words where a
    // platform call failed (CStepFailures::Reason): the scheduler's status message, the Windows
    // error text, the printer UI's time-out. Empty when no step failed, or none logged why.
    const std::wstring& FailureReason() const { return m_failureReason; }
    // Whether Begin refused to start because Windows protected print mode is on, which lets no
    // driver of ours in: nothing was removed.
    bool ProtectedPrintOn() const { return m_protectedPrintOn; }
    // Whether the install succeeded but the computer must restart before the driver is in use.
    bool RestartRequired() const { return m_restartRequired; }

    // Whether a stop that was asked for ended the removal or kept the install from starting.
    bool Cancelled() const { return m_cancelled; }

    // The log of this run as written so far (UTF-8 CMTrace lines), empty without one.
    std::string LogText() const;
    // The log file's full path, empty without one.
    const std::wstring& LogPath() const { return m_log.Path(); }

    // Writes the result of an install, ends the journal, releases the lock and closes the log.
    void End(int32_t result);
    // The same for any other command, whose log ends with "Result: <result>.".
    void End(bool succeeded, const std::wstring& result);

    // Every phase in a row, for a front end without worker threads. 1 installed, 0 failed.
    int32_t Run();

    // The backup file's full path, empty while nothing was saved.
    const std::wstring& BackupPath() const { return m_backupPath; }

    static constexpr wchar_t kBackupFolder[] = L"Backups";
    static constexpr size_t kKeptBackups = 10;

  private:
    bool SecureProgramFolder(std::wstring& movedAside);
    bool TakeLock();
    void ReleaseLock();
    // Says, on the notices and in the log, when the setup folder or the driver's folder may be
    // changed by accounts that are not administrators.
    void WarnOfFoldersOthersMayChange();
    bool StopRequested();
    bool RepairUnfinishedRuns();
    static std::wstring AccountName();
    static std::optional<std::wstring> DefaultNow();
    void OpenJournal();
    void MarkMaking(CQueueBackup::Entry& entry, MakingMark mark);
    void GiveDefaultBack(const QueueRecord& saved);
    bool MakeSavedQueueAgain(CQueueBackup::Entry& entry);
    void MarkNewQueue();
    bool SaveQueue(const std::wstring& queue);
    bool MayLoseCredentials(const QueueRecord& record);
    bool WriteBackup();
    void RotateBackups();
    void ReplaceFromBackup(CQueueBackup::Entry& entry, bool force);
    void SetState(BackupState from, BackupState to);
    void NoteFailure(const CStepFailures& step);

    SetupContext& m_setup;
    IInstallMethod* m_method;
    std::function<bool()> m_stopRequested;
    CSetupLog m_log;
    ILogSink* m_previousLog = nullptr;
    bool m_logInstalled = false;
    uint32_t m_lockWaitMs;
    bool m_lockHeld = false;
    bool m_begun = false;
    bool m_programFolderUnsafe = false;  // Begin let the run go on to its work
    bool m_lockBusy = false;
    bool m_checkClosed = false;
    bool m_listFailed = false;
    bool m_removalFailed = false;
    bool m_prepareFailed = false;
    bool m_refused = false;
    bool m_cancelled = false;
    bool m_force = false;
    bool m_protectedPrintOn = false;
    bool m_restartRequired = false;
    bool m_ended = false;
    bool m_repairWaits = false;
    bool m_repairMovedDefault = false;
    std::wstring m_command = L"finish";
    std::vector<std::wstring> m_repaired;
    std::wstring m_lockProblem;
    std::wstring m_failureReason;
    std::vector<std::wstring> m_notices;
    std::vector<RestoredQueue> m_restored;
    RestoreStart m_restoreStart = RestoreStart::kStarted;
    std::wstring m_restoreProblem;
    CQueueBackup m_backup;
    std::wstring m_backupName;
    std::wstring m_backupPath;
};
