#include "install/run/unfinished_runs.h"

#include <algorithm>

#include "install/run/setup_run.h"
#include "platform/file_store_service.h"
#include "platform/platform_failure.h"
#include "platform/services.h"

bool IsBackupFileName(const std::wstring& file) {
    static const std::wstring kStart = L"Backup-";
    static const std::wstring kEnd = L".txt";
    // A name of the folder itself: no path, no drive and nothing that could end a line.
    const bool plain = std::none_of(file.begin(), file.end(), [](wchar_t c) {
        return c == L'/' || c == L'\\' || c == L':' || c < L' ';
    });
    return plain && file.size() > kStart.size() + kEnd.size() &&
           file.compare(0, kStart.size(), kStart) == 0 &&
           file.compare(file.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

namespace {

// Enough of a file's head for the [run] section, which holds a few short lines.
constexpr size_t kHeadBytes = 16 * 1024;

// Keeps of each queue its name and state: its record may hold a whole PPD.
void KeepNamesAndStates(CQueueBackup& backup) {
    for (CQueueBackup::Entry& entry : backup.entries) {
        QueueRecord named;
        named.name = std::move(entry.record.name);
        entry.record = std::move(named);
    }
}

}  // namespace

BackupRead ReadBackupFile(const std::wstring& file, CQueueBackup& backup) {
    IFileStoreService* store = Services().fileStore;
    std::string text;
    uint64_t size = 0;
    if (store == nullptr ||
        !store->ReadFileHead(CSetupRun::kBackupFolder, file.c_str(), 0, text, size))
        return BackupRead::kUnreadable;
    if (size > CQueueBackup::kMostBytes)
        return BackupRead::kTooLarge;
    // The file may have grown since: what is read is then not all of it.
    if (!store->ReadFileHead(CSetupRun::kBackupFolder, file.c_str(), CQueueBackup::kMostBytes, text,
                             size))
        return BackupRead::kUnreadable;
    if (size > CQueueBackup::kMostBytes)
        return BackupRead::kTooLarge;
    return CQueueBackup::Parse(text, backup) ? BackupRead::kRead : BackupRead::kUnreadable;
}

std::wstring TooLargeNotice(const std::wstring& path) {
    return L"The backup file " + path + L" is larger than " +
           std::to_wstring(CQueueBackup::kMostBytes / (1024 * 1024)) +
           L" MB, which no backup of this setup reaches; it is not read. Move it out of the "
           L"backup folder.";
}

bool ReadJournals(std::vector<Journal>& journals, JournalDetail detail) {
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
        std::string head;
        uint64_t size = 0;
        if (!IsBackupFileName(file) ||
            !store->ReadFileHead(CSetupRun::kBackupFolder, file.c_str(), kHeadBytes, head, size))
            continue;
        Journal journal{file, store->PathOf(CSetupRun::kBackupFolder, file.c_str()), {}};
        journal.tooLarge = size > CQueueBackup::kMostBytes;
        const bool headIsAll = size <= head.size();
        if (!CQueueBackup::ParseRun(head, headIsAll, journal.backup) && !journal.tooLarge)
            continue;
        const bool begun = journal.backup.run == RunState::kBegun;
        if (!journal.tooLarge && (begun || detail == JournalDetail::kQueueNames)) {
            CQueueBackup whole;
            const bool read = headIsAll ? CQueueBackup::Parse(head, whole)
                                        : ReadBackupFile(file, whole) == BackupRead::kRead;
            if (!read)
                continue;
            journal.backup = std::move(whole);
            journal.whole = journal.backup.run == RunState::kBegun;
            if (!journal.whole)
                KeepNamesAndStates(journal.backup);
        }
        journals.push_back(std::move(journal));
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
    if (!ReadJournals(journals, JournalDetail::kRun))
        return false;
    for (Journal& journal : journals) {
        if (journal.backup.run == RunState::kBegun && !journal.tooLarge)
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
