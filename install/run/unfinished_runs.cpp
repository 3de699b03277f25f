#include "install/run/unfinished_runs.h"

#include <algorithm>

#include "install/run/setup_run.h"
#include "platform/file_store_service.h"
#include "platform/platform_failure.h"
#include "platform/services.h"

bool IsBackupFileName(const std::wstring& file) {
    static const std::wstring kStart = L"Backup-";
    static const std::wstring kEnd = L".txt";
    return file.size() > kStart.size() + kEnd.size() &&
           file.compare(0, kStart.size(), kStart) == 0 &&
           file.compare(file.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

bool ReadJournals(std::vector<Journal>& journals) {
    IFileStoreService* store = Services().fileStore;
    if (store == nullptr)
        return false;
    StringList files;
    if (!store->ListFiles(CSetupRun::kBackupFolder, files)) {
        // Nothing was ever saved where there is no folder; that is no failure to report.
        TakePlatformFailure();
        return true;
    }
    std::sort(files.begin(), files.end());
    for (const std::wstring& file : files) {
        std::string text;
        CQueueBackup backup;
        if (!IsBackupFileName(file) ||
            !store->ReadFile(CSetupRun::kBackupFolder, file.c_str(), text) ||
            !CQueueBackup::Parse(text, backup)) {
            continue;
        }
        journals.push_back({file, store->PathOf(CSetupRun::kBackupFolder, file.c_str()), backup});
    }
    TakePlatformFailure();
    return true;
}

std::wstring NewestBackupToRestore(const std::vector<Journal>& journals) {
    for (auto journal = journals.rbegin(); journal != journals.rend(); ++journal) {
        if (journal->backup.command != L"restore")
            return journal->file;
    }
    return journals.empty() ? std::wstring() : journals.back().file;
}

bool FindUnfinishedRuns(std::vector<UnfinishedRun>& runs) {
    std::vector<Journal> journals;
    if (!ReadJournals(journals))
        return false;
    for (Journal& journal : journals) {
        if (journal.backup.run == RunState::kBegun)
            runs.push_back(std::move(journal));
    }
    return true;
}

std::vector<std::wstring> SupersededRecords(const std::vector<Journal>& journals) {
    std::vector<std::wstring> lines;
    for (const Journal& journal : journals) {
        for (const CQueueBackup::Entry& entry : journal.backup.entries) {
            if (entry.state == BackupState::kSuperseded)
                lines.push_back(L"The saved queue " + entry.record.name + L" in " + journal.path +
                                L" was not put back, since another queue of its name took its "
                                L"place; restore the file with --force to bring it back.");
        }
    }
    return lines;
}
