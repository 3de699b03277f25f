#pragma once

#include <string>
#include <vector>

#include "install/run/queue_backup.h"

// A backup file whose run began changing queues and never ended: a crash, a kill or a power cut
// stopped it, perhaps between deleting a queue and making the new one.
struct UnfinishedRun {
    std::wstring file;
    std::wstring path;
    CQueueBackup backup;
};

// Whether a file of the backup folder is a backup ("Backup-….txt"), not a file left half written.
bool IsBackupFileName(const std::wstring& file);

// The unfinished runs of the backup folder, oldest first, read without changing anything. A
// folder that cannot be listed (none was made yet, or it is not this account's to read) holds
// none this run could repair. False only without a file store.
bool FindUnfinishedRuns(std::vector<UnfinishedRun>& runs);

// The queues of such a run that it may have deleted without making them again: saved or removed,
// and not installed now (absent; a queue whose presence cannot be told is left for later).
std::vector<const CQueueBackup::Entry*> QueuesToRepair(const CQueueBackup& backup);
