#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "install/run/setup_run.h"
#include "install/run/time_stamp.h"
#include "install/run/queue_backup.h"
#include "install/run/unfinished_runs.h"
#include "korvel_version.h"
#include "platform/thread_id.h"
#include "setupdata/setup_context.h"
#include "tests/support/log_lines.h"
#include "tests/unit/setup_run_machine.h"

namespace {

class SetupRunTest : public ::testing::Test, protected CSetupRunMachine {
  protected:
    SetupRunTest() {
        setup.Init();
        setup.SetPrinterName(kPrinter);
        setup.SetPortName(L"LPT1:");
        setup.SetMakeDefault(1);
    }

    void TearDown() override {
        EXPECT_TRUE(AllReleased());
        EXPECT_TRUE(deletedUnsaved.empty());
    }

    // The messages of the run's logs.
    std::vector<std::string> LogMessages() {
        std::vector<std::string> messages;
        for (const auto& [name, text] : fileStore.folders[CSetupLog::kFolder]) {
            const std::vector<std::string> lines = ::LogMessages(text);
            messages.insert(messages.end(), lines.begin(), lines.end());
        }
        return messages;
    }

    bool Logged(const std::string& part) {
        const auto messages = LogMessages();
        return std::any_of(messages.begin(), messages.end(),
                           [&](const std::string& m) { return m.find(part) != std::string::npos; });
    }

    CScopedServices services{Set()};
    SetupContext setup;
};

TEST_F(SetupRunTest, OldQueuesAreSavedBeforeTheyGoAndOthersStay) {
    AddUsersQueue(kPrinter);
    spooler.AddQueue(L"Korvel RV-90 (Copy 1)", kPrinter);
    spooler.AddQueue(L"Korvel RV-900", L"Korvel RV-900");
    CSetupRun run(setup, L"Test");
    EXPECT_EQ(run.Run(), 1);

    const auto saved = SavedQueues(fileStore);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].record.name, kPrinter);
    EXPECT_EQ(saved[1].record.name, L"Korvel RV-90 (Copy 1)");
    EXPECT_EQ(saved[0].state, BackupState::kReplaced);
    EXPECT_TRUE(saved[0].record.isDefault);
    EXPECT_FALSE(spooler.HasQueue(L"Korvel RV-90 (Copy 1)"));
    EXPECT_TRUE(spooler.HasQueue(L"Korvel RV-900"));
    // The old driver went, since no handle of its queue was left open; the new queue came.
    EXPECT_NE(std::find(spooler.calls.begin(), spooler.calls.end(), L"close"), spooler.calls.end());
    EXPECT_EQ(spooler.defaultPrinter, kPrinter);
    EXPECT_TRUE(Logged("Saved the queue Korvel RV-90 to C:\\ProgramData\\Korvel Setup\\Backups\\"));
    EXPECT_TRUE(Logged("Result: installed."));
}

TEST_F(SetupRunTest, AFailedInstallPutsTheOldQueueBackAsItWas) {
    AddUsersQueue(kPrinter);
    const QueueRecord before = [&] {
        QueueRecord record;
        spooler.ReadQueue(kPrinter, record);
        return record;
    }();
    launcher.onRun = nullptr;  // the printer UI installs nothing
    CSetupRun run(setup, L"Test");
    EXPECT_EQ(run.Run(), 0);

    QueueRecord after;
    ASSERT_TRUE(spooler.ReadQueue(kPrinter, after));
    EXPECT_EQ(after, before);  // default included
    // Its driver had gone with it, and came back from the driver store.
    EXPECT_NE(std::find(spooler.calls.begin(), spooler.calls.end(), L"install driver Korvel RV-90"),
              spooler.calls.end());
    EXPECT_EQ(SavedQueues(fileStore)[0].state, BackupState::kRestored);
    EXPECT_TRUE(Logged("Made the queue Korvel RV-90 again."));
}

TEST_F(SetupRunTest, AQueueThatCannotComeBackStaysInItsBackup) {
    AddUsersQueue(kPrinter);
    spooler.driverStore.clear();
    launcher.onRun = nullptr;
    CSetupRun run(setup, L"Test");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_FALSE(spooler.HasQueue(kPrinter));
    ASSERT_EQ(SavedQueues(fileStore).size(), 1u);
    EXPECT_EQ(SavedQueues(fileStore)[0].state, BackupState::kRemoved);
    EXPECT_TRUE(Logged("InstallPrinterDriverFromPackageW failed with error 2"));
    EXPECT_TRUE(Logged("stays saved in " + std::string("C:\\ProgramData")));

    // Made again by hand once its driver is back, it no longer keeps its file from going.
    spooler.driverStore.insert(SavedQueues(fileStore)[0].record.driverPackage);
    CSetupRun restore(setup, L"Test");
    ASSERT_TRUE(restore.Begin(CSetupRun::Needs::kNothing));
    EXPECT_TRUE(restore.RestoreFile(L""));
    restore.End(true, L"restored");
    EXPECT_TRUE(spooler.HasQueue(kPrinter));
    EXPECT_EQ(SavedQueues(fileStore)[0].state, BackupState::kRestored);
}

TEST_F(SetupRunTest, WithoutABackupNothingIsDeletedOrInstalled) {
    AddUsersQueue(kPrinter);
    fileStore.plantedFolders.insert(CSetupRun::kBackupFolder);
    CSetupRun run(setup, L"Test");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(spooler.HasQueue(kPrinter));
    EXPECT_TRUE(launcher.runs.empty());
}

TEST_F(SetupRunTest, AnEmptyNameOrPortTouchesNothing) {
    AddUsersQueue(L"");
    for (const wchar_t* port : {L"", L"LPT1:"}) {
        setup.SetPrinterName(port[0] == L'\0' ? kPrinter : L"");
        setup.SetPortName(port);
        CSetupRun run(setup, L"Test");
        EXPECT_EQ(run.Run(), 0);
    }
    EXPECT_TRUE(spooler.calls.empty());
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_TRUE(Logged("No printer name or no port was chosen"));
}

TEST_F(SetupRunTest, ARunHoldsTheLockThroughoutAndAnotherRunKeepsItOutWritingNoFile) {
    AddUsersQueue(kPrinter);
    spooler.onCall = [this](const std::wstring&) { EXPECT_EQ(setupLock.held, 1); };
    EXPECT_EQ(CSetupRun(setup, L"Test").Run(), 1);
    EXPECT_EQ(setupLock.held, 0);

    // Runs that wait for the lock must not rotate away the log of the run that holds it.
    setupLock.heldElsewhere = true;
    spooler.calls.clear();
    const auto files = fileStore.folders;
    for (int i = 0; i < 12; ++i) {
        CSetupRun second(setup, L"Test");
        EXPECT_EQ(second.Run(), 0);
        EXPECT_TRUE(second.LockBusy());
    }
    EXPECT_TRUE(spooler.calls.empty());
    EXPECT_EQ(fileStore.folders, files);
}

TEST_F(SetupRunTest, OldFilesGoButNeverOneThatStillHoldsAQueue) {
    CQueueBackup pending;
    pending.entries.push_back(
        {QueueRecord{L"Lost", L"D", L"", false, {}, {}, {}}, BackupState::kRemoved});
    CQueueBackup done = pending;
    done.entries[0].state = BackupState::kRestored;
    auto& backups = fileStore.folders[CSetupRun::kBackupFolder];
    for (int i = 10; i < 22; ++i)
        backups[L"Backup-" + std::to_wstring(i) + L".txt"] = done.Format();
    backups[L"Backup-10.txt"] = pending.Format();
    backups[L"Backup-11.txt"] = "not a backup";
    // Files that are no backups by their names, even ones that parse as one, are not ours.
    backups[L"Archive.txt"] = "; notes\r\n";
    backups[L"Backup-09.txt.tmp"] = "";
    auto& logs = fileStore.folders[CSetupLog::kFolder];
    for (int i = 10; i < 22; ++i)
        logs[L"Test-" + std::to_wstring(i) + L".log"] = "old";

    AddUsersQueue(kPrinter);
    CSetupRun run(setup, L"Test");
    EXPECT_EQ(run.Run(), 1);
    // Ten backups remain with the new one, the two that had to stay among them.
    EXPECT_EQ(backups.size(), 12u);
    EXPECT_EQ(backups.count(L"Backup-10.txt"), 1u);
    EXPECT_EQ(backups.count(L"Backup-11.txt"), 1u);
    EXPECT_EQ(backups.count(L"Archive.txt"), 1u);
    EXPECT_EQ(backups.count(L"Backup-09.txt.tmp"), 1u);
    EXPECT_EQ(logs.size(), 10u);
    EXPECT_EQ(logs.begin()->first, L"Test-13.log");
}

// Every run reads the heads of the backups: a finished backup is read no further, and a file
// larger than any backup is refused unread, neither repaired nor restored, and said to be so. A
// queue whose record would make its backup that large is not saved, and so not removed.
TEST_F(SetupRunTest, AFileTooLargeForABackupIsNeverReadWholeNorChanged) {
    constexpr wchar_t kFinished[] = L"Backup-20261130-080000-000Z.txt";
    constexpr wchar_t kLarge[] = L"Backup-20261201-080000-000Z.txt";
    CQueueBackup journal;
    journal.command = L"install";
    journal.printer = kPrinter;
    QueueRecord saved{kPrinter, kPrinter, L"Korvel RV-90.inf", true, {{L"port", L"LPT1:"}}, {}, {}};
    saved.settings.emplace_back(L"ppd", std::wstring(200 * 1024, L'p'));
    journal.entries.push_back({saved, BackupState::kReplaced});
    fileStore.PrepareFolder(CSetupRun::kBackupFolder);
    auto& files = fileStore.folders[CSetupRun::kBackupFolder];
    files[kFinished] = journal.Format();
    // A run stopped dead, whose queue waits to be made again.
    journal.run = RunState::kBegun;
    journal.entries[0].state = BackupState::kRemoved;
    journal.entries[0].record.settings.back().second.resize(CQueueBackup::kMostBytes, L'p');
    files[kLarge] = journal.Format();
    const auto before = files;
    spooler.AddQueue(kPrinter, kPrinter);
    spooler.FindQueue(kPrinter)->record.settings.emplace_back(
        L"comment", std::wstring(CQueueBackup::kMostBytes, L'c'));

    CSetupRun run(setup, L"Test");
    ASSERT_TRUE(run.Begin());
    EXPECT_FALSE(run.RestoreFile(kLarge));
    EXPECT_FALSE(run.RestoreFile(L""));  // the newest backup
    run.Remove();
    EXPECT_FALSE(run.ConfirmRemoval());
    run.End(false, L"test");
    const std::wstring notice = TooLargeNotice(fileStore.PathOf(CSetupRun::kBackupFolder, kLarge));
    EXPECT_EQ(std::count(run.Notices().begin(), run.Notices().end(), notice), 1);
    for (const wchar_t* file : {kFinished, kLarge})
        EXPECT_LE(fileStore.mostBytesRead[file], 16u * 1024) << file;
    EXPECT_EQ(files, before);
    EXPECT_TRUE(spooler.HasQueue(kPrinter));
    EXPECT_TRUE(Logged("is too large to be saved"));
}

// The lines of the log in both formats: the time of the clock (23:15:01.001 local, an hour
// ahead of universal time) in CMTrace's fields or in universal time, the level, the component,
// and the message on one line of its own.
TEST(SetupLogTest, LinesAreCmtraceOrPlainTextInUniversalTime) {
    LocalTime newYear{2026, 12, 31, 23, 30, 5, 7, 120};
    const struct {
        LogFormat format;
        LogLevel level;
        LocalTime time;
        const wchar_t* message;
        std::string line;
    } cases[] = {
        {LogFormat::kCmTrace,
         LogLevel::kWarning,
         {2026, 12, 7, 23, 15, 1, 29, -60},
         L"a\nb]LOG]!>",
         "<![LOG[a b}LOG]!>]LOG]!><time=\"23:15:01.029-060\" date=\"12-07-2026\" "
         "component=\"pavonis\" context=\"\" type=\"2\" thread=\"7\" file=\"\">\r\n"},
        {LogFormat::kPlainText,
         LogLevel::kInformation,
         {2026, 12, 7, 23, 15, 1, 29, -60},
         L"Setup started.",
         "2026-12-07T22:15:01.029Z info pavonis: Setup started.\n"},
        {LogFormat::kPlainText, LogLevel::kWarning, newYear, L"two\r\nlines",
         "2027-01-01T01:30:05.007Z warning pavonis: two  lines\n"},
        {LogFormat::kPlainText,
         LogLevel::kError,
         {2026, 3, 1, 0, 10, 0, 0, -60},
         L"Result: failed.",
         "2026-02-28T23:10:00.000Z error pavonis: Result: failed.\n"},
    };
    for (const auto& c : cases) {
        const std::string line =
            CSetupLog::FormatLine(c.format, c.level, c.message, L"pavonis", 7, c.time);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(LogMessages(line).size(), 1u) << line;
    }
    EXPECT_EQ(LogMessages(CSetupLog::FormatLine(LogFormat::kPlainText, LogLevel::kInformation,
                                                L"Port: a: b", L"pavonis", 7, newYear)),
              std::vector<std::string>{"Port: a: b"});
}

TEST_F(SetupRunTest, TheLogIsTheSystemsTextOfEveryStep) {
    spooler.AddQueue(kPrinter, kPrinter);
    launcher.timeOut = true;
    CSetupRun run(setup, L"Test");
    run.Run();
    const std::string& text = fileStore.folders[CSetupLog::kFolder].begin()->second;
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              kNativeLogFormat == LogFormat::kCmTrace
                  ? "<![LOG[Korvel printer setup " KORVEL_VERSION
                    " (Test)]LOG]!><time=\"23:15:01.001-060\" date=\"12-07-2026\" "
                    "component=\"Test\" context=\"\" type=\"1\" thread=\"" +
                        std::to_string(CurrentThreadId()) + "\" file=\"\">\r\n"
                  : "2026-12-07T22:15:01.001Z info Test: Korvel printer setup " KORVEL_VERSION
                    " (Test)\n");
    for (const char* step :
         {"Setup started.", "Setup folder: ", "Chosen printer: Korvel RV-90, port: LPT1:",
          "No supported USB printer is connected.", "Removed the queue Korvel RV-90.",
          "Starting rundll32.exe PRINTUI.DLL,PrintUIEntry /if",
          "The command was still running when the wait of 120000 ms ended.",
          "Queue check after the command: Korvel RV-90 is installed on LPT1:."}) {
        EXPECT_TRUE(Logged(step)) << step;
    }
}

TEST(QueueBackupTest, AnyTextSurvivesTheRoundTripAndDamageIsRefused) {
    std::mt19937 random(7);
    const std::wstring alphabet = L"aZ09 =\\\n\r\t\x01[]#;打印机\x7F";
    const auto text = [&](size_t most) {
        std::wstring value(random() % most, L' ');
        for (wchar_t& c : value)
            c = alphabet[random() % alphabet.size()];
        return value;
    };
    for (int round = 0; round < 500; ++round) {
        CQueueBackup backup;
        backup.run = static_cast<RunState>(random() % 3);
        backup.command = text(8);
        backup.printer = text(20);
        backup.account = text(20);
        if (random() % 2 == 0)
            backup.defaultAtStart = text(20);
        for (int i = 0; i < 3; ++i) {
            QueueRecord record{L"Q" + text(40), text(20), text(20), random() % 2 == 0, {}, {}, {}};
            record.settings = {{text(8), text(60)}, {L"port", text(10)}};
            record.deviceMode.assign(random() % 300, static_cast<uint8_t>(random()));
            record.data = {{text(10), text(10), static_cast<uint32_t>(random()), {1, 255}}};
            backup.entries.push_back({record, static_cast<BackupState>(random() % 8)});
            if (random() % 2 == 0)
                backup.entries.back().defaultAfter = text(20);
            if (backup.entries.back().state == BackupState::kMaking)
                backup.entries.back().making = {random() % 2 == 0, text(20), text(20), text(20)};
        }
        CQueueBackup read;
        ASSERT_TRUE(CQueueBackup::Parse(backup.Format(), read));
        ASSERT_EQ(read.Format(), backup.Format());
        ASSERT_EQ(read.entries.size(), backup.entries.size());
        EXPECT_EQ(read.command, backup.command);
        EXPECT_EQ(read.defaultAtStart, backup.defaultAtStart);
        for (size_t i = 0; i < read.entries.size(); ++i) {
            EXPECT_EQ(read.entries[i].record, backup.entries[i].record);
            EXPECT_EQ(read.entries[i].state, backup.entries[i].state);
            EXPECT_EQ(read.entries[i].defaultAfter, backup.entries[i].defaultAfter);
            EXPECT_EQ(read.entries[i].making.name, backup.entries[i].making.name);
        }
    }
    for (const char* damaged :
         {"name=x", "[queue]\r\nstate=gone\r\nname=x", "[queue]\r\nname=x\r\ndevice-mode=abc",
          "[queue]\r\nname=x\r\nbad line", "[queue]\r\nname=a\\q", "[queue]\r\ndefault=yes",
          "[queue]\r\nname=x\r\ndata.type=1",
          "[queue]\r\nname=x\r\ndata.key=k\r\ndata.type=4294967296", "[run]\r\nowner=x",
          "[queue]\r\nname=x\r\nmaking=maybe"}) {
        CQueueBackup read;
        EXPECT_FALSE(CQueueBackup::Parse(damaged, read)) << damaged;
    }
}

// Control characters are escaped so that each value stays on its line and in sight; any other
// character is written as its UTF-8 bytes, for a person to read.
TEST(QueueBackupTest, ControlCharactersAreEscapedAndOtherTextIsRawUtf8) {
    CQueueBackup backup;
    backup.entries.emplace_back();
    backup.entries[0].record.name = L"A\tB\x7F\x1A打印机";
    const std::string text = backup.Format();
    EXPECT_NE(text.find("\r\nname=A\\x09B\\x7f\\x1a\xe6\x89\x93\xe5\x8d\xb0\xe6\x9c\xba\r\n"),
              std::string::npos)
        << text;
}

}  // namespace

// Backups and logs are found newest first by their names, so the names must sort as the runs
// happened even when the clocks went back an hour in between.
TEST(FileTimeStampTest, NamesAreInUniversalTimeAcrossClockChangesAndDateLines) {
    const struct {
        LocalTime local;
        const wchar_t* name;
    } cases[] = {
        {{2026, 10, 25, 2, 30, 0, 0, -120}, L"20261025-003000-000Z"},  // summer time, CEST
        {{2026, 10, 25, 2, 15, 9, 7, -60}, L"20261025-011509-007Z"},   // an hour on, CET
        {{2027, 1, 1, 0, 30, 0, 0, -60}, L"20261231-233000-000Z"},
        {{2026, 12, 31, 20, 0, 0, 0, 300}, L"20270101-010000-000Z"},
        {{2028, 2, 28, 23, 0, 0, 0, 120}, L"20280229-010000-000Z"},
        {{2100, 2, 28, 23, 0, 0, 0, 120}, L"21000301-010000-000Z"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileTimeStamp(c.local), c.name);
    EXPECT_LT(FileTimeStamp(cases[0].local), FileTimeStamp(cases[1].local));
}
