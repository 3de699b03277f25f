#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "install/run/setup_run.h"
#include "install/run/queue_backup.h"
#include "tests/fakes/fake_machine.h"

// The printer the user chose in these tests.
inline constexpr wchar_t kPrinter[] = L"Korvel RV-90";

// The saved queues of every backup file the machine holds.
inline std::vector<CQueueBackup::Entry> SavedQueues(CFakeFileStoreService& store) {
    std::vector<CQueueBackup::Entry> saved;
    for (const auto& [name, text] : store.folders[CSetupRun::kBackupFolder]) {
        CQueueBackup backup;
        if (CQueueBackup::Parse(text, backup))
            saved.insert(saved.end(), backup.entries.begin(), backup.entries.end());
    }
    return saved;
}

inline bool IsSaved(CFakeFileStoreService& store, const std::wstring& queue) {
    const auto saved = SavedQueues(store);
    return std::any_of(saved.begin(), saved.end(),
                       [&](const CQueueBackup::Entry& e) { return e.record.name == queue; });
}

// A machine with the sample setup folder and a watch on the spooler that notes every queue deleted
// before a backup file held it.
struct CSetupRunMachine : CFakeMachine {
    CSetupRunMachine() {
        programPath.path = SourcePath("sample-setup/PavonisSetup.exe");
        RealPrinterUi();
        spooler.onCall = [this](const std::wstring& call) {
            if (call != L"delete")
                return;
            const auto open =
                std::find_if(spooler.calls.rbegin(), spooler.calls.rend(),
                             [](const std::wstring& c) { return c.rfind(L"open ", 0) == 0; });
            const std::wstring queue = open->substr(5);
            if (!IsSaved(fileStore, queue))
                deletedUnsaved.push_back(queue);
        };
    }

    // The user's old queue: the default printer, with settings, a device mode and printer data.
    void AddUsersQueue(const std::wstring& name) {
        spooler.AddQueue(name, L"Korvel RV-90");
        QueueRecord& record = spooler.FindQueue(name)->record;
        record.settings.emplace_back(L"comment", L"Front desk\nsecond line");
        record.settings.emplace_back(L"location", L"Room 2=B");
        record.deviceMode = {0x41, 0x00, 0x0B, 0xFF};
        record.data = {{L"PrinterDriverData", L"Tray", 3, {1, 2, 3}}};
        spooler.defaultPrinter = name;
    }

    std::vector<std::wstring> deletedUnsaved;
};
