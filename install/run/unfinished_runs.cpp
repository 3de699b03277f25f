#include "install/run/unfinished_runs.h"

#include "install/run/setup_run.h"
#include "platform/file_store_service.h"
#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/spooler_service.h"

bool IsBackupFileName(const std::wstring& file) {
    static const std::wstring kStart = L"Backup-";
    static const std::wstring kEnd = L".txt";
    return file.size() > kStart.size() + kEnd.size() &&
           file.compare(0, kStart.size(), kStart) == 0 &&
           file.compare(file.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

bool FindUnfinishedRuns(std::vector<UnfinishedRun>& runs) {
    IFileStoreService* store = Services().fileStore;
    if (store == nullptr)
        return false;
    StringList files;
    if (!store->ListFiles(CSetupRun::kBackupFolder, files)) {
        // Nothing was ever saved where there is no folder; that is no failure to report.
        TakePlatformFailure();
        return true;
    }
    for (const std::wstring& file : files) {
        std::string text;
        CQueueBackup backup;
        if (!IsBackupFileName(file) ||
            !store->ReadFile(CSetupRun::kBackupFolder, file.c_str(), text) ||
            !CQueueBackup::Parse(text, backup) || backup.run != RunState::kBegun) {
            continue;
        }
        runs.push_back({file, store->PathOf(CSetupRun::kBackupFolder, file.c_str()), backup});
    }
    TakePlatformFailure();
    return true;
}

std::vector<const CQueueBackup::Entry*> QueuesToRepair(const CQueueBackup& backup) {
    std::vector<const CQueueBackup::Entry*> missing;
    ISpoolerService* spooler = Services().spooler;
    if (spooler == nullptr)
        return missing;
    for (const CQueueBackup::Entry& entry : backup.entries) {
        if (entry.state != BackupState::kSaved && entry.state != BackupState::kRemoved)
            continue;
        QueueState state;
        if (spooler->LookUpQueue(entry.record.name.c_str(), state) == QueueLookup::kAbsent)
            missing.push_back(&entry);
    }
    TakePlatformFailure();
    return missing;
}
