#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "install/run/setup_run.h"
#include "install/run/queue_backup.h"
#include "platform/services.h"
#include "platform/win32/win32_file_store_service.h"
#include "platform/win32/win32_profile_service.h"
#include "platform/win32/win32_spooler_service.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_install_services.h"
#include "tests/fakes/fake_program_path_service.h"
#include "tests/support/test_files.h"
#include "tests/win32/spooler/counting_spooler_service.h"
#include "tests/win32/spooler/spooler_fixture.h"

namespace {

// A whole Finish over Wine's real spooler and a real file store, with a printer UI that refuses to
// install: the queue the user had must come back as it was, and be the default again.
TEST(SetupRunWineTest, ARefusedInstallLeavesTheOldQueueAsItWasAndTheDefault) {
    CSpoolerFixture fixture;
    const std::wstring name = CSpoolerFixture::UniqueName();
    ASSERT_TRUE(fixture.AddDriver(name));
    ASSERT_TRUE(fixture.AddSetUpQueue(name, name));
    CWin32SpoolerService real;
    CCountingSpoolerService spooler{real};
    ASSERT_TRUE(spooler.SetDefaultPrinter(name.c_str()));
    QueueRecord before;
    ASSERT_TRUE(spooler.ReadQueue(name.c_str(), before));

    CTempFolder folder;
    const std::string utf8Name(name.begin(), name.end());
    folder.Write("setup/PrinterInfor.Inf", Utf16LeFile("[PRINTER_TYPE]\n" + utf8Name + "=24\n"));
    CFakeProgramPathService programPath;
    programPath.path = folder.WindowsPath() + L"setup\\PavonisSetup.exe";
    CWin32ProfileService profile;
    CWin32FileStoreService store(folder.WindowsPath() + L"Korvel Setup");
    CFakeLauncherService printerUi;  // starts, installs nothing
    CFakeClockService clock;
    PlatformServices services;
    services.profile = &profile;
    services.programPath = &programPath;
    services.spooler = &spooler;
    services.fileStore = &store;
    services.launcher = &printerUi;
    services.clock = &clock;
    CScopedServices scope(services);

    SetupContext setup;
    setup.SetPrinterName(name.c_str());
    setup.SetPortName(L"LPT1:");
    setup.SetMakeDefault(1);
    CSetupRun run(setup, L"Test");
    EXPECT_EQ(run.Run(), 0);

    ASSERT_EQ(printerUi.runs.size(), 1u);  // the queue was gone when the install command ran
    QueueRecord after;
    ASSERT_TRUE(spooler.ReadQueue(name.c_str(), after));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(after.isDefault);
    std::string text;
    CQueueBackup backup;
    StringList files;
    ASSERT_TRUE(store.ListFiles(CSetupRun::kBackupFolder, files));
    ASSERT_EQ(files.size(), 1u);
    ASSERT_TRUE(store.ReadFile(CSetupRun::kBackupFolder, files[0].c_str(), text));
    ASSERT_TRUE(CQueueBackup::Parse(text, backup));
    ASSERT_EQ(backup.entries.size(), 1u);
    EXPECT_EQ(backup.entries[0].state, BackupState::kRestored);
    EXPECT_EQ(spooler.opened, spooler.closed);
}

}  // namespace
