#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/install_record_service.h"
#include "platform/queue_record.h"

// What became of a saved queue.
enum class BackupState {
    kSaved,       // saved, not yet deleted
    kRemoved,     // deleted for the new install; to be made again if that install fails
    kKept,        // still installed after the removal: nothing to make again
    kReplaced,    // deleted, and the new install succeeded
    kRestored,    // made again after the new install failed
    kDeleted,     // deleted on request, with no install after it
    kSuperseded,  // the run stopped dead, and another queue of its name took the place since:
                  // nothing was changed; the record stays to be restored by hand (--force)
    kMaking,      // a queue is being made in its place (Making says which); set before each
                  // queue is made or installed, so that a run stopped halfway through making it
                  // knows it as its own
};

// The queue a run is making in the place of a saved one: the saved queue again (a restore or a
// repair), or the new queue of an install. Enough to know it again in the spooler: its name,
// compared as the spooler compares names, its device (the Windows port or the CUPS device URI)
// and, where known, its driver.
struct MakingMark {
    bool newQueue = false;
    std::wstring name;
    std::wstring device;
    std::wstring driver;
};

// Where the run that wrote a backup had got to: the backup is its journal, so that the next run
// can tell one that was stopped dead (a crash, a kill, a power cut) between deleting a queue and
// making the new one.
enum class RunState {
    kBegun,     // the run was changing queues and has not ended
    kEnded,     // the run ended and said what became of each queue
    kRepaired,  // the run never ended; a later run put back what it had deleted
};

// The queues one setup run saved before it deleted them, as the text of one backup file: UTF-8 a
// person can read, one [queue] section a queue, the same on every system (the backend's settings
// go in as named entries). Values of any length and content survive the round trip.
class CQueueBackup {
  public:
    struct Entry {
        Entry() = default;
        Entry(QueueRecord record_, BackupState state_)
            : record(std::move(record_)), state(state_) {}

        QueueRecord record;
        BackupState state = BackupState::kSaved;
        // The default printer seen right after this queue was deleted, written with kRemoved;
        // absent when it could not be read, or in a file of a version that did not keep it.
        std::optional<std::wstring> defaultAfter;
        // Set with kMaking.
        MakingMark making;
    };

    // A file without a run state was written before runs kept one, by a run that is long over.
    RunState run = RunState::kEnded;
    // The command whose run wrote it ("install", "finish" for the wizard, "remove",
    // "restore"); empty in a file of a version that did not keep it, which only installs wrote.
    std::wstring command;
    // The printer the run was for, the account it ran as (the default printer is each account's
    // own on Windows), and the default printer when it saved its first queue.
    std::wstring printer;
    std::wstring account;
    std::optional<std::wstring> defaultAtStart;
    // The printer's install record when the run saved its first queue, which describes the queue
    // of the printer's name that the run saved: what a restore or a rollback writes back with that
    // queue. `recordKnown` is false in a file of a version that did not keep it, and where this
    // system keeps no records; with it true, an empty `recordAtStart` says there was none.
    bool recordKnown = false;
    std::optional<InstallRecord> recordAtStart;
    std::vector<Entry> entries;

    // The most bytes a backup file may hold. Every run reads the backups of its folder, so a file
    // larger than any this program writes (a queue's record, its PPD included, takes tens of
    // kilobytes) is refused unread, but for its head.
    static constexpr size_t kMostBytes = 1024 * 1024;
    // Room a run keeps in its backup for what it writes after it saved its queues (the marks of
    // the queues it makes, the default after each removal): a queue whose record would leave less
    // is not saved.
    static constexpr size_t kRoomForMarks = 64 * 1024;

    std::string Format() const;
    // False for a text that is no backup, or a damaged one; `backup` is then untouched.
    static bool Parse(const std::string& text, CQueueBackup& backup);
    // The [run] section alone, from the head of a backup's text: false when the head is damaged,
    // or holds no whole [run] section (it ends where the first [queue] section begins, or with the
    // text when `whole`). `backup` then has no entries.
    static bool ParseRun(const std::string& head, bool whole, CQueueBackup& backup);

    // Whether the run's goal is the removal of its queues (a remove), so that a repair finishes
    // it forward, rather than an install, restore or wizard run that a repair rolls back.
    bool RemovalWasTheGoal() const { return command == L"remove"; }

    // Whether a queue of it waits for a repair: saved, removed, or being made.
    bool HoldsPendingQueue() const;
    // Whether a queue of it may still have to be made again, by a repair or by hand (superseded):
    // a file with such a queue is kept.
    bool HoldsUnrestoredQueue() const;
};
