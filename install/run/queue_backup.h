#pragma once

#include <string>
#include <vector>

#include "platform/queue_record.h"

// What became of a saved queue.
enum class BackupState {
    kSaved,     // saved, not yet deleted
    kRemoved,   // deleted for the new install; to be made again if that install fails
    kKept,      // still installed after the removal: nothing to make again
    kReplaced,  // deleted, and the new install succeeded
    kRestored,  // made again after the new install failed
    kDeleted,   // deleted on request, with no install after it
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
        QueueRecord record;
        BackupState state = BackupState::kSaved;
    };

    // A file without a run state was written before runs kept one, by a run that is long over.
    RunState run = RunState::kEnded;
    std::vector<Entry> entries;

    std::string Format() const;
    // False for a text that is no backup, or a damaged one; `backup` is then untouched.
    static bool Parse(const std::string& text, CQueueBackup& backup);

    // Whether a queue of it may still have to be made again: a file with such a queue is kept.
    bool HoldsUnrestoredQueue() const;
};
