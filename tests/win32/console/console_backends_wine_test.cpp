#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "platform/platform_failure.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_install_record_service.h"
#include "platform/win32/win32_launcher_service.h"
#include "platform/win32/win32_session_service.h"
#include "platform/win32/win32_setup_lock_service.h"
#include "platform/win32/win32_spooler_service.h"
#include "tests/support/test_files.h"
#include "tests/win32/named_turn.h"

// The console program's backends over Wine's real token, kernel objects, registry, spooler and
// processes. Test processes of this program run side by side in one prefix: each uses names of
// its own.
namespace {

const std::wstring kOwn = std::to_wstring(GetCurrentProcessId());

// The failure recorded last, as "call code".
std::wstring Failure() {
    const auto failure = TakePlatformFailure();
    return failure ? failure->call + L" " + std::to_wstring(failure->code) : L"none";
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(SessionWineTest, WineRunsEveryProcessElevatedAndHasNoProtectedPrintMode) {
    EXPECT_TRUE(CWin32SessionService().IsElevated());
    // Wine registers no class for the mode: a system without it, which counts as off.
    EXPECT_FALSE(CWin32SessionService().IsProtectedPrintOn());
}

class SetupLockWineTest : public ::testing::Test {
  protected:
    CTempFolder temp;
    // Named as the program's folder is, without a backslash at the end.
    const std::wstring folder = temp.WindowsPath().substr(0, temp.WindowsPath().size() - 1);
    CWin32SetupLockService lock{folder};
    LockResult other = LockResult::kFailed;
};

TEST_F(SetupLockWineTest, AHeldLockIsBusyForAnotherThreadUntilReleased) {
    ASSERT_EQ(lock.Acquire(0), LockResult::kTaken);
    std::thread([&] { other = lock.Acquire(200); }).join();
    EXPECT_EQ(other, LockResult::kBusy);
    lock.Release();
    EXPECT_EQ(Failure(), L"none");
    lock.Release();
    EXPECT_EQ(Failure(), L"UnlockFileEx 158");  // ERROR_NOT_LOCKED
    std::thread([&] {
        other = lock.Acquire(0);
        lock.Release();
    }).join();
    EXPECT_EQ(other, LockResult::kTaken);
}

TEST_F(SetupLockWineTest, ALockReleasedWithinTheWaitIsTaken) {
    ASSERT_EQ(lock.Acquire(0), LockResult::kTaken);
    std::thread waiter([&] {
        other = lock.Acquire(5000);
        lock.Release();
    });
    Sleep(100);
    lock.Release();
    waiter.join();
    EXPECT_EQ(other, LockResult::kTaken);
}

class InstallRecordWineTest : public ::testing::Test {
  protected:
    void TearDown() override { records.Delete(name); }

    InstallRecord Record(const wchar_t* version) const {
        return {name, L"RV-90", L"USB001", version, L"2026-12-07 23:15:01"};
    }
    // A value as a deployment tool's detection rule reads it, through the plain registry API.
    std::wstring Value(const wchar_t* value) const {
        wchar_t text[256] = {};
        DWORD size = sizeof(text);
        const LSTATUS status = RegGetValueW(
            HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Korvel\\Printer Setup\\Printers\\" + name).c_str(),
            value, RRF_RT_REG_SZ, nullptr, text, &size);
        return status == ERROR_SUCCESS ? text : L"error " + std::to_wstring(status);
    }

    const std::wstring name = L"Korvel 打印机 RV-90 " + kOwn;
    CWin32InstallRecordService records;
};

TEST_F(InstallRecordWineTest, AWrittenRecordReplacesTheOldAndIsReadWhereRulesLook) {
    ASSERT_TRUE(records.Write(Record(L"01/02/2025,1.0.0.0")));
    ASSERT_TRUE(records.Write(Record(L"12/07/2026,2.0.0.0")));
    InstallRecord read;
    ASSERT_TRUE(records.Read(name, read));
    EXPECT_EQ(read, Record(L"12/07/2026,2.0.0.0"));
    EXPECT_EQ((InstallRecord{Value(L"PrinterName"), Value(L"Model"), Value(L"Port"),
                             Value(L"DriverVersion"), Value(L"InstalledAt")}),
              read);
}

TEST_F(InstallRecordWineTest, ADeletedRecordIsGoneAndDeletingItAgainSucceeds) {
    ASSERT_TRUE(records.Write(Record(L"1.0")));
    EXPECT_TRUE(records.Delete(name));
    EXPECT_EQ(Value(L"Model"), L"error 2");
    InstallRecord read = Record(L"untouched");
    EXPECT_FALSE(records.Read(name, read));
    EXPECT_EQ(Failure(), L"RegOpenKeyExW 2");
    EXPECT_EQ(read, Record(L"untouched"));
    EXPECT_TRUE(records.Delete(name));
}

TEST_F(InstallRecordWineTest, NamesNoKeyCanHaveAreRefusedAndTouchNoOtherRecord) {
    ASSERT_TRUE(records.Write(Record(L"1.0")));
    InstallRecord read;
    for (const std::wstring bad : {L"", L"Korvel\\RV-90"}) {
        EXPECT_FALSE(records.Write({bad, L"RV-90", L"USB001", L"1.0", L""}));
        EXPECT_EQ(Failure(), L"printer name check 123");  // ERROR_INVALID_NAME
        EXPECT_FALSE(records.Read(bad, read));
        EXPECT_EQ(Failure(), L"printer name check 123");
        EXPECT_FALSE(records.Delete(bad));
        EXPECT_EQ(Failure(), L"printer name check 123");
    }
    EXPECT_TRUE(records.Read(name, read));
}

TEST(StageDriverPackageWineTest, WineRefusesToStageAndTheRefusalIsRecorded) {
    const std::wstring inf = SourcePath("sample-setup") + L"\\PrinterDriver\\9pin\\OEMPRINT.INF";
    EXPECT_FALSE(CWin32SpoolerService().StageDriverPackage(inf.c_str()));
    EXPECT_EQ(Failure(), L"UploadPrinterDriverPackageW " + std::to_wstring(0x80004001u));
}

class ConsoleLauncherWineTest : public ::testing::Test {
  protected:
    // The launcher starts programs from the system directory only. One test process at a time
    // copies the helper there, when it is not there yet.
    void SetUp() override {
        CNamedTurn turn(L"Local\\KorvelLaunchHelper");
        const std::wstring source = L"Z:" + std::filesystem::path(KORVEL_LAUNCH_HELPER).wstring();
        wchar_t folder[MAX_PATH] = {};
        ASSERT_GT(GetSystemDirectoryW(folder, MAX_PATH), 0u);
        helper = std::wstring(folder) + L"\\" + kHelper;
        if (ReadBytes(helper) != ReadBytes(source)) {
            ASSERT_TRUE(CopyFileW(source.c_str(), helper.c_str(), FALSE)) << GetLastError();
        }
    }

    static constexpr wchar_t kHelper[] = L"korvel-launch-helper.exe";
    std::wstring helper;
    CWin32LauncherService launcher{LauncherMode::kConsole};
    uint32_t error = 0;
};

// In the wizard as in the console program: a command that finished after the caller gave up on
// it would change the printers behind the caller's report.
TEST_F(ConsoleLauncherWineTest, AProgramRunningWhenTheWaitEndsIsEndedWithWhatItStarted) {
    CTempFolder folder;
    const std::wstring report = folder.WindowsPath() + L"tree.txt";
    CWin32LauncherService wizard(LauncherMode::kWizard);
    EXPECT_EQ(wizard.RunSystemProgram(kHelper, (L"tree " + report).c_str(), 4000, error),
              LaunchResult::kEnded);
    const std::string bytes = ReadBytes(report);
    std::wistringstream lines(
        std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    std::wstring commandLine;
    DWORD program = 0, child = 0;
    ASSERT_TRUE(std::getline(lines, commandLine) && lines >> program >> child);
    EXPECT_EQ(commandLine, L"\"" + helper + L"\" tree " + report);
    for (const DWORD id : {program, child}) {
        // Gone, or ending within a few seconds.
        const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
        EXPECT_TRUE(process ? WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0
                            : GetLastError() == ERROR_INVALID_PARAMETER)
            << id;
    }
}

// A Ctrl+C at the console reaches the console program alone, which decides what to do; the
// printer UI it started is not ended halfway through its work.
TEST_F(ConsoleLauncherWineTest, ACtrlCAtTheConsoleDoesNotEndTheProgramStarted) {
    // This process goes on; a handler, unlike ignoring the signal, is not passed on to the
    // programs it starts.
    const PHANDLER_ROUTINE handled = [](DWORD) -> BOOL { return TRUE; };
    ASSERT_TRUE(SetConsoleCtrlHandler(handled, TRUE));
    bool sent = false;
    std::thread stop([&sent] {
        Sleep(1000);
        sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
    });
    const LaunchResult result = launcher.RunSystemProgram(kHelper, L"sleep", 3000, error);
    stop.join();
    SetConsoleCtrlHandler(handled, FALSE);
    // Run on a terminal, the test must have its console.
    if (!sent && GetEnvironmentVariableW(L"KORVEL_ON_TERMINAL", nullptr, 0) != 0)
        FAIL() << "no console to send Ctrl+C to";
    if (!sent)
        GTEST_SKIP() << "no console to send Ctrl+C to";
    EXPECT_EQ(result, LaunchResult::kEnded);
}

TEST_F(ConsoleLauncherWineTest, AProgramEndingWithinTheWaitHasFinished) {
    EXPECT_EQ(launcher.RunSystemProgram(kHelper, L"quick", 60000, error), LaunchResult::kFinished);
}

TEST_F(ConsoleLauncherWineTest, AMissingProgramIsNotStartedAndItsFailureRecorded) {
    EXPECT_EQ(launcher.RunSystemProgram(L"no-such-program.exe", L"", 60000, error),
              LaunchResult::kNotStarted);
    EXPECT_EQ(error, 2u);  // ERROR_FILE_NOT_FOUND
    EXPECT_EQ(Failure(), L"CreateProcessW 2");
}

// Standard error of a test under ctest is a pipe, never a console: this is the UTF-8 branch.
TEST_F(ConsoleLauncherWineTest, AnErrorIsWrittenToStandardErrorInUtf8) {
    CTempFolder folder;
    const std::wstring path = folder.WindowsPath() + L"stderr.txt";
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr));
    const HANDLE previous = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, file.get());
    launcher.ShowError(L"找不到打印机 Korvel RV-90。", L"ERROR");
    SetStdHandle(STD_ERROR_HANDLE, previous);
    EXPECT_EQ(ReadBytes(path), "ERROR: 找不到打印机 Korvel RV-90。\r\n");
}

}  // namespace
