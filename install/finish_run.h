#pragma once

#include <cstdint>
#include <string>

#include "install/install_method.h"
#include "install/queue_backup.h"
#include "install/setup_log.h"

struct SetupContext;

// One press of Finish: the existence check, the removal of the chosen printer's old queues with a
// backup of each, the install, the options after success, and after a failure the restore of
// every queue the removal deleted. One call per phase, so that the wizard runs each on the thread
// it belongs to (the GUI thread, the removal worker, the installation worker) while a console
// front end runs them in a row with Run. The phases are called in that order, one at a time. The
// run writes the setup log from Begin to End.
class CFinishRun {
  public:
    // `setup` holds the user's choices; `component` names the program in the log; the run waits
    // at most `lockWaitMs` for another setup run to end. It installs with `method`, which must
    // outlive it, or without one with the setup record's own install (Windows).
    CFinishRun(SetupContext& setup, std::wstring component, uint32_t lockWaitMs = 0,
               IInstallMethod* method = nullptr);
    ~CFinishRun();
    CFinishRun(const CFinishRun&) = delete;
    CFinishRun& operator=(const CFinishRun&) = delete;

    // Opens the log, writes the setup folder and the user's choices, and takes the machine-wide
    // setup lock for the calling thread, which must be the one that calls End. False when the
    // printer name or the port name that the run needs is empty, or when another setup run
    // holds the lock (LockBusy) or it cannot be had: then nothing may be touched or started, and
    // the run has failed.
    enum class Needs { kPrinterAndPort, kPrinter, kNothing };
    bool Begin(Needs needs = Needs::kPrinterAndPort);
    bool LockBusy() const { return m_lockBusy; }

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
    // could not save a queue).
    int32_t Install();

    // After a successful install: the default-printer and test-page commands, as the options say.
    void ApplyOptions();

    // After a failed install: makes every deleted queue again, with its driver put back from the
    // driver store where it is gone, and makes the default printer the default again. A queue that
    // cannot be made again stays in the backup file, and the log says so.
    void Restore();

    // After a removal that was asked for by itself, with no install to follow: the removed queues
    // stay in the backup as deleted on request. True when every queue was saved and removed.
    bool ConfirmRemoval();

    // Makes the queues of a backup file in the backup folder again (the newest file when `name`
    // is empty): every queue in it that is not installed now. True when each came back.
    bool RestoreFile(const std::wstring& name);

    // The log of this run as written so far (UTF-8 CMTrace lines), empty without one.
    std::string LogText() const;

    // Writes the result, releases the lock and closes the log.
    void End(int32_t result);

    // Every phase in a row, for a front end without worker threads. 1 installed, 0 failed.
    int32_t Run();

    // The backup file's full path, empty while nothing was saved.
    const std::wstring& BackupPath() const { return m_backupPath; }

    static constexpr wchar_t kBackupFolder[] = L"Backups";
    static constexpr size_t kKeptBackups = 10;

  private:
    bool TakeLock();
    void ReleaseLock();
    bool SaveQueue(const std::wstring& queue);
    bool WriteBackup();
    void RotateBackups();
    bool RestoreQueue(CQueueBackup::Entry& entry);
    void SetState(BackupState from, BackupState to);

    SetupContext& m_setup;
    IInstallMethod* m_method;
    CSetupLog m_log;
    ILogSink* m_previousLog = nullptr;
    bool m_logInstalled = false;
    uint32_t m_lockWaitMs;
    bool m_lockHeld = false;
    bool m_lockBusy = false;
    bool m_checkClosed = false;
    bool m_removalFailed = false;
    CQueueBackup m_backup;
    std::wstring m_backupName;
    std::wstring m_backupPath;
};
