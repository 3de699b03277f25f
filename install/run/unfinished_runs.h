#pragma once

#include <string>
#include <vector>

#include "install/run/queue_backup.h"

// One backup file of the backup folder: a run's journal.
struct Journal {
    std::wstring file;
    std::wstring path;
    CQueueBackup backup;
};
// A journal whose run began changing queues and never ended: a crash, a kill or a power cut
// stopped it, perhaps between deleting a queue and making the new one.
using UnfinishedRun = Journal;

// Whether a file of the backup folder is a backup ("Backup-….txt"), not a file left half written.
bool IsBackupFileName(const std::wstring& file);

// Every backup of the backup folder that can be read, oldest first (their names hold the time
// they were begun), read without changing anything. A folder that cannot be listed (none was
// made yet, or it is not this account's to read) holds none. False only without a file store.
bool ReadJournals(std::vector<Journal>& journals);

// The backup a restore without a name brings back: the newest one that holds queues a change
// removed. A restore's own backup holds the queues it was making or replaced, and is passed over
// unless there is no other: a restore stopped halfway must not make the next one forget the rest
// of the backup it was restoring. Empty when there is none.
std::wstring NewestBackupToRestore(const std::vector<Journal>& journals);

// The unfinished runs among them, oldest first.
bool FindUnfinishedRuns(std::vector<UnfinishedRun>& runs);

// The records of finished or repaired journals that a repair left to be restored by hand, since
// another queue had taken their place: one line each, for `status`.
std::vector<std::wstring> SupersededRecords(const std::vector<Journal>& journals);
