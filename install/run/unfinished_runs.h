#pragma once

#include <string>
#include <vector>

#include "install/run/queue_backup.h"

// One backup file of the backup folder: a run's journal.
struct Journal {
    std::wstring file;
    std::wstring path;
    CQueueBackup backup;
    // Whether `backup` holds the queues' whole records: a begun journal's always, which a repair
    // makes again. Of a finished one (ended or repaired) ReadJournals keeps the [run] section, with
    // the name and state of each queue where asked for (JournalDetail); a restore reads the records
    // from the file itself.
    bool whole = false;
    // Larger than any backup may be (CQueueBackup::kMostBytes): only the [run] section at its head
    // was read, when it could be, and nothing of it is repaired, restored or deleted.
    bool tooLarge = false;
};
// A journal whose run began changing queues and never ended: a crash, a kill or a power cut
// stopped it, perhaps between deleting a queue and making the new one.
using UnfinishedRun = Journal;

// Whether a file of the backup folder is a backup ("Backup-….txt"), not a file left half written.
bool IsBackupFileName(const std::wstring& file);

// How much of a finished journal ReadJournals keeps: the [run] section alone, read from the head
// of the file, or with the name and state of each queue, which the repair's newest-first rule and
// the report of superseded records need.
enum class JournalDetail { kRun, kQueueNames };

// Every backup of the backup folder that can be read, oldest first (their names hold the time
// they were begun), read without changing anything; a file too large to be a backup among them,
// marked. A folder that cannot be listed (none was made yet, or it is not this account's to read)
// holds none. False only without a file store.
bool ReadJournals(std::vector<Journal>& journals, JournalDetail detail);

// Reads one backup file of the backup folder whole, unless it is larger than any backup
// (kTooLarge, with no more of it read than its size).
enum class BackupRead { kRead, kTooLarge, kUnreadable };
BackupRead ReadBackupFile(const std::wstring& file, CQueueBackup& backup);

// What is said of a backup file too large to be one, which is not read.
std::wstring TooLargeNotice(const std::wstring& path);

// The backup a restore without a name brings back: the newest one that holds queues a change
// removed. A restore's own backup holds the queues it was making or replaced, and is passed over
// unless there is no other: a restore stopped halfway must not make the next one forget the rest
// of the backup it was restoring. Empty when there is none.
std::wstring NewestBackupToRestore(const std::vector<Journal>& journals);

// The unfinished runs among them that a repair can read, oldest first.
bool FindUnfinishedRuns(std::vector<UnfinishedRun>& runs);

// The records of finished or repaired journals that a repair left to be restored by hand, since
// another queue had taken their place: one line each, for `status`.
std::vector<std::wstring> SupersededRecords(const std::vector<Journal>& journals);
