#include <gtest/gtest.h>

#include <string>

#include "install/run/queue_backup.h"
#include "install/run/setup_run.h"
#include "install/run/unfinished_runs.h"
#include "setupdata/setup_context.h"
#include "tests/unit/setup_run_machine.h"

namespace {

constexpr wchar_t kJournal[] = L"Backup-20261201-080000-000Z.txt";

// A machine with one journal of a run stopped dead, written as that run would have left it, and
// the next run about to begin.
class JournalRepairTest : public ::testing::Test, protected CSetupRunMachine {
  protected:
    JournalRepairTest() {
        setup.Init();
        setup.SetPrinterName(kPrinter);
        setup.SetPortName(L"LPT1:");
        spooler.AddQueue(L"Office", L"Office");
        spooler.defaultPrinter = L"Office";
        user = {kPrinter, kPrinter, L"Korvel RV-90.inf", true, {{L"port", L"COM1:"}}, {}, {}};
        spooler.drivers[kPrinter] = user.driverPackage;
        spooler.driverStore.insert(user.driverPackage);
    }

    void TearDown() override { EXPECT_TRUE(AllReleased()); }

    // The journal of a run of `command` stopped dead after it had removed the user's queue (the
    // default printer), when the spooler forgot the default with it.
    CQueueBackup& Stopped(const wchar_t* command, BackupState state = BackupState::kRemoved) {
        journal.run = RunState::kBegun;
        journal.command = command;
        journal.printer = kPrinter;
        journal.account = session.account;
        journal.defaultAtStart = kPrinter;
        journal.entries.assign(1, {user, state});
        journal.entries[0].defaultAfter = L"";
        return journal;
    }
    void Write() {
        fileStore.PrepareFolder(CSetupRun::kBackupFolder);
        fileStore.folders[CSetupRun::kBackupFolder][kJournal] = journal.Format();
    }
    CQueueBackup Read() {
        CQueueBackup read;
        EXPECT_TRUE(
            CQueueBackup::Parse(fileStore.folders[CSetupRun::kBackupFolder][kJournal], read));
        return read;
    }
    // The next run's Begin, which repairs first.
    bool Begin(CSetupRun::Needs needs = CSetupRun::Needs::kPrinter) {
        run = std::make_unique<CSetupRun>(setup, L"Test");
        const bool begun = run->Begin(needs);
        run->End(begun, L"test");
        return begun;
    }
    QueueRecord Installed(const std::wstring& name) {
        QueueRecord record;
        EXPECT_TRUE(spooler.ReadQueue(name.c_str(), record));
        record.isDefault = user.isDefault;
        return record;
    }

    CScopedServices services{Set()};
    SetupContext setup;
    QueueRecord user;
    CQueueBackup journal;
    std::unique_ptr<CSetupRun> run;
};

TEST_F(JournalRepairTest, ALookThatFailsMarksNothingAndTheRunWaitsUntilTheSpoolerAnswers) {
    Stopped(L"install");
    Write();
    const std::string before = fileStore.folders[CSetupRun::kBackupFolder][kJournal];
    spooler.down = true;
    EXPECT_FALSE(Begin());
    EXPECT_TRUE(run->RepairWaits());
    EXPECT_EQ(fileStore.folders[CSetupRun::kBackupFolder][kJournal], before);
    spooler.down = false;
    EXPECT_FALSE(spooler.HasQueue(kPrinter));
    ASSERT_TRUE(Begin());
    EXPECT_EQ(Installed(kPrinter), user);
    EXPECT_EQ(Read().run, RunState::kRepaired);
    EXPECT_EQ(run->Repaired(), std::vector<std::wstring>{kPrinter});
}

TEST_F(JournalRepairTest, AnInterruptedRemovalIsFinishedForwardAndItsRecordGoes) {
    installRecords.records[kPrinter] = {kPrinter, L"RV-90", L"COM1:", L"1.0", L"2026-12-01"};
    Stopped(L"remove");
    journal.entries.push_back({user, BackupState::kSaved});
    journal.entries.back().record.name = L"Korvel RV-90 (Copy 1)";
    Write();
    ASSERT_TRUE(Begin());
    EXPECT_FALSE(spooler.HasQueue(kPrinter));
    EXPECT_TRUE(run->Repaired().empty());
    const CQueueBackup read = Read();
    EXPECT_EQ(read.run, RunState::kRepaired);
    EXPECT_EQ(read.entries[0].state, BackupState::kDeleted);
    EXPECT_EQ(read.entries[1].state, BackupState::kDeleted);
    EXPECT_EQ(installRecords.records.count(kPrinter), 0u);
}

TEST_F(JournalRepairTest, TheDefaultGoesBackOnlyWhereNobodyMovedItInTheAccountThatHadIt) {
    struct Case {
        const wchar_t* defaultNow;
        const wchar_t* account;
        const wchar_t* defaultAfterRepair;
    } cases[] = {
        {L"", L"S-1-5-21-1000", kPrinter},         // forgotten with its queue: nobody chose one
        {L"Office", L"S-1-5-21-1000", L"Office"},  // chosen by hand since: it stays
        {L"", L"S-1-5-21-2000", L""},              // another account's default is not ours
    };
    for (const Case& c : cases) {
        spooler.queues.erase(
            std::remove_if(spooler.queues.begin(), spooler.queues.end(),
                           [](const auto& q) { return q.record.name == kPrinter; }),
            spooler.queues.end());
        spooler.defaultPrinter = c.defaultNow;
        Stopped(L"finish").account = c.account;
        Write();
        ASSERT_TRUE(Begin()) << c.defaultNow;
        EXPECT_TRUE(spooler.HasQueue(kPrinter));
        EXPECT_EQ(spooler.defaultPrinter, c.defaultAfterRepair) << c.defaultNow << c.account;
        EXPECT_EQ(run->RepairMovedDefault(), c.defaultAfterRepair == std::wstring(kPrinter));
    }
}

TEST_F(JournalRepairTest, APlaceTakenByAnotherQueueIsNotTouchedAndItsRecordStaysRestorable) {
    spooler.AddQueue(L"KORVEL RV-90", L"Other", L"LPT1:");
    spooler.defaultPrinter = L"";
    Stopped(L"install");
    Write();
    ASSERT_TRUE(Begin());
    ASSERT_NE(spooler.FindQueue(L"KORVEL RV-90"), nullptr);
    EXPECT_EQ(spooler.FindQueue(L"KORVEL RV-90")->record.driver, L"Other");
    EXPECT_EQ(spooler.defaultPrinter, L"");
    const CQueueBackup read = Read();
    EXPECT_EQ(read.entries[0].state, BackupState::kSuperseded);
    EXPECT_TRUE(read.HoldsUnrestoredQueue());
    std::vector<Journal> journals;
    ReadJournals(journals, JournalDetail::kQueueNames);
    EXPECT_EQ(SupersededRecords(journals).size(), 1u);
}

TEST_F(JournalRepairTest, TheRunsOwnQueueIsFinishedOrKeptAndAHalfMadeOneIsNotMarkedDone) {
    // A repair stopped between its requests: the queue is there, but not yet stopped as saved.
    user.settings.emplace_back(L"printer-state", L"stopped");
    spooler.AddQueue(kPrinter, kPrinter, L"COM1:");
    Stopped(L"finish", BackupState::kMaking).entries[0].making = {false, kPrinter, L"COM1:",
                                                                  kPrinter};
    Write();
    ASSERT_TRUE(Begin());
    EXPECT_EQ(Installed(kPrinter), user);
    EXPECT_EQ(Read().entries[0].state, BackupState::kRestored);

    // An install stopped after its new queue was made: it replaces the saved one.
    spooler.queues.clear();
    spooler.AddQueue(kPrinter, L"Korvel RV-90 new", L"LPT1:");
    spooler.defaultPrinter = L"";
    Stopped(L"install", BackupState::kMaking).entries[0].making = {true, kPrinter, L"LPT1:", L""};
    Write();
    ASSERT_TRUE(Begin());
    EXPECT_EQ(spooler.FindQueue(kPrinter)->record.driver, L"Korvel RV-90 new");
    EXPECT_EQ(spooler.defaultPrinter, kPrinter);
    EXPECT_EQ(Read().entries[0].state, BackupState::kReplaced);
}

TEST_F(JournalRepairTest, AQueueThatCannotComeBackKeepsItsJournalOpenAndItsFile) {
    // Made again, but not as it was saved: not repaired, and its mark stays for the next run.
    spooler.alterAdded = [](QueueRecord& made) { made.settings.clear(); };
    Stopped(L"install");
    Write();
    ASSERT_TRUE(Begin());
    EXPECT_TRUE(run->Repaired().empty());
    EXPECT_EQ(Read().entries[0].state, BackupState::kMaking);
    // Not made at all: it waits as removed.
    spooler.alterAdded = nullptr;
    spooler.queues.clear();
    spooler.drivers.clear();
    spooler.driverStore.clear();
    Stopped(L"install");
    Write();
    ASSERT_TRUE(Begin());
    EXPECT_EQ(Read().run, RunState::kBegun);
    EXPECT_EQ(Read().entries[0].state, BackupState::kRemoved);
    // Ten newer backups later, rotation still keeps the only copy of the user's queue.
    for (int i = 0; i < 12; ++i) {
        CQueueBackup done;
        done.entries.push_back({user, BackupState::kReplaced});
        fileStore.folders[CSetupRun::kBackupFolder][L"Backup-20261202-08000" + std::to_wstring(i) +
                                                    L"-000Z.txt"] = done.Format();
    }
    spooler.AddQueue(L"Korvel RV-90 (Copy 1)", L"Office");
    CSetupRun replace(setup, L"Test");
    ASSERT_TRUE(replace.Begin(CSetupRun::Needs::kPrinter));
    replace.Remove();
    replace.End(true, L"test");
    EXPECT_EQ(fileStore.folders[CSetupRun::kBackupFolder].count(kJournal), 1u);
}

TEST_F(JournalRepairTest, OlderEntriesOfANameThatANewerJournalHoldsAreSuperseded) {
    Stopped(L"install");
    Write();
    CQueueBackup newer;
    newer.command = L"remove";
    newer.entries.push_back({user, BackupState::kDeleted});
    fileStore.folders[CSetupRun::kBackupFolder][L"Backup-20261202-080000-000Z.txt"] =
        newer.Format();
    ASSERT_TRUE(Begin());
    EXPECT_FALSE(spooler.HasQueue(kPrinter));
    EXPECT_EQ(Read().entries[0].state, BackupState::kSuperseded);
}

TEST_F(JournalRepairTest, ARestoreGivesTheDefaultBackAndFailsWhenItCannotLook) {
    spooler.AddQueue(kPrinter, kPrinter, L"COM1:");
    CQueueBackup saved;
    saved.entries.push_back({user, BackupState::kDeleted});
    fileStore.PrepareFolder(CSetupRun::kBackupFolder);
    fileStore.folders[CSetupRun::kBackupFolder][kJournal] = saved.Format();
    CSetupRun restore(setup, L"Test");
    ASSERT_TRUE(restore.Begin(CSetupRun::Needs::kNothing));
    EXPECT_TRUE(restore.RestoreFile(kJournal));
    EXPECT_EQ(spooler.defaultPrinter, kPrinter);
    EXPECT_TRUE(restore.RestoredQueues().at(0).madeDefault);
    spooler.failList = true;
    EXPECT_FALSE(restore.RestoreFile(kJournal));
    restore.End(false, L"test");
}

TEST_F(JournalRepairTest, ARemovalThatLeavesAQueueOfTheNameListedFails) {
    spooler.AddQueue(kPrinter, kPrinter, L"COM1:");
    // Another program adds a copy of the queue while the removal runs.
    spooler.onCall = [this](const std::wstring& call) {
        if (call == L"delete" && !spooler.HasQueue(L"Korvel RV-90 (Copy 2)"))
            spooler.AddQueue(L"Korvel RV-90 (Copy 2)", L"Office");
    };
    CSetupRun remove(setup, L"Test");
    ASSERT_TRUE(remove.Begin(CSetupRun::Needs::kPrinter));
    remove.Remove();
    EXPECT_FALSE(remove.ConfirmRemoval());
    remove.End(false, L"test");
}

TEST(QueueBackupStateTest, AFileIsKeptWhileAQueueOfItMayStillHaveToBeMadeAgain) {
    const struct {
        BackupState state;
        bool pending;  // a repair still has to look at it
        bool kept;     // rotation keeps its file
    } rows[] = {
        {BackupState::kSaved, true, true},      {BackupState::kRemoved, true, true},
        {BackupState::kMaking, true, true},     {BackupState::kSuperseded, false, true},
        {BackupState::kKept, false, false},     {BackupState::kReplaced, false, false},
        {BackupState::kRestored, false, false}, {BackupState::kDeleted, false, false},
    };
    for (const auto& row : rows) {
        CQueueBackup backup;
        backup.entries.push_back({QueueRecord{L"Q", L"D", L"", false, {}, {}, {}}, row.state});
        EXPECT_EQ(backup.HoldsPendingQueue(), row.pending) << static_cast<int>(row.state);
        EXPECT_EQ(backup.HoldsUnrestoredQueue(), row.kept) << static_cast<int>(row.state);
    }
}

}  // namespace
