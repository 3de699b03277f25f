#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform_failure.h"
#include "platform/win32/win32_spooler_service.h"
#include "tests/win32/spooler/counting_spooler_service.h"
#include "tests/win32/spooler/spooler_fixture.h"

// A record as a failed comparison shows it.
void PrintTo(const QueueRecord& r, std::ostream* out) {
    *out << testing::PrintToString(std::make_tuple(r.name, r.driver, r.driverPackage, r.isDefault,
                                                   r.settings, r.deviceMode, r.data.size()));
}

// The backup and restore of a queue over the real backend, in Wine's spooler.
namespace {

class QueueRecordWineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TakePlatformFailure();
        ASSERT_TRUE(spooler.AddDriver(driver));
    }
    void TearDown() override {
        EXPECT_EQ(counting.opened, counting.closed) << "printer handles left open";
    }

    void Delete(const std::wstring& queue) {
        PrinterHandle printer = counting.OpenPrinter(queue.c_str());
        ASSERT_NE(printer, nullptr);
        EXPECT_TRUE(counting.DeletePrinter(printer));
        EXPECT_TRUE(counting.ClosePrinter(printer));
    }

    // The failure recorded last, which must be this call's, with the system's text.
    void ExpectFailure(const wchar_t* call, DWORD code) {
        const auto failure = TakePlatformFailure();
        ASSERT_TRUE(failure.has_value())
            << "no failure recorded for " << testing::PrintToString(call);
        EXPECT_EQ(failure->call, call);
        EXPECT_EQ(failure->code, code);
        EXPECT_FALSE(failure->text.empty());
        EXPECT_EQ(failure->text.find_first_of(L"\r\n"), std::wstring::npos);
    }

    CSpoolerFixture spooler;
    const std::wstring unique = CSpoolerFixture::UniqueName();
    const std::wstring driver = unique + L" driver";
    const std::wstring name = unique + L" Q";
    CWin32SpoolerService real;
    CCountingSpoolerService counting{real};
};

TEST_F(QueueRecordWineTest, AQueueReadDeletedAndAddedAgainReadsTheSame) {
    ASSERT_TRUE(spooler.AddSetUpQueue(name, driver));
    // The spooler keeps the default's name as it is given, and matches names without regard to
    // case.
    std::wstring upper = name;
    CharUpperW(upper.data());
    ASSERT_TRUE(counting.SetDefaultPrinter(upper.c_str()));
    QueueRecord saved;
    ASSERT_TRUE(counting.ReadQueue(name.c_str(), saved));
    EXPECT_EQ(saved.name, name);
    EXPECT_EQ(saved.driver, driver);
    EXPECT_TRUE(saved.isDefault);
    EXPECT_EQ(*saved.Setting(L"port"), L"LPT2:");
    EXPECT_EQ(*saved.Setting(L"comment"), L"Front desk\r\nsecond line");
    EXPECT_EQ(*saved.Setting(L"location"), L"Room 7");
    ASSERT_GE(saved.deviceMode.size(), sizeof(DEVMODEW));
    EXPECT_EQ(reinterpret_cast<const DEVMODEW*>(saved.deviceMode.data())->dmPaperSize, DMPAPER_A5);
    // What Wine 8 cannot give: keys below a top key (it has no EnumPrinterKeyW), the queue's
    // security descriptor (GetPrinterW gives none) and the driver's package (it keeps no driver
    // store).
    const auto& data = CSpoolerFixture::SetUpData();
    EXPECT_EQ(saved.data, std::vector<QueueDataValue>(data.begin(), data.end() - 1));
    EXPECT_EQ(*saved.Setting(L"security"), L"");
    EXPECT_EQ(saved.driverPackage, L"");

    Delete(name);
    QueueState state;
    EXPECT_EQ(counting.LookUpQueue(name.c_str(), state), QueueLookup::kAbsent);
    ASSERT_TRUE(counting.AddQueue(saved));
    // Making the queue the default again is its caller's part, as Wine forgets the default
    // printer with its queue.
    ASSERT_TRUE(counting.SetDefaultPrinter(saved.name.c_str()));
    QueueRecord restored;
    ASSERT_TRUE(counting.ReadQueue(name.c_str(), restored));
    EXPECT_EQ(restored, saved);
}

// The default printer reads back as it was given. Wine 8 forgets it when its queue goes, but only
// when it was given in the queue's own case (measured): a name given in capitals outlives its
// queue.
TEST_F(QueueRecordWineTest, TheDefaultPrinterReadsBackAsGivenUntilItsQueueGoes) {
    std::wstring upper = name;
    CharUpperW(upper.data());
    const struct {
        std::wstring given;
        std::wstring afterDeletion;
    } cases[] = {{upper, upper}, {name, L""}};  // the last leaves no default behind
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.given));
        ASSERT_TRUE(spooler.AddSetUpQueue(name, driver));
        ASSERT_TRUE(counting.SetDefaultPrinter(c.given.c_str()));
        std::wstring read;
        ASSERT_TRUE(counting.ReadDefaultPrinter(read));
        EXPECT_EQ(read, c.given);
        Delete(name);
        ASSERT_TRUE(counting.ReadDefaultPrinter(read));
        EXPECT_EQ(read, c.afterDeletion);
        EXPECT_FALSE(TakePlatformFailure().has_value()) << "no default printer is no failure";
    }
}

TEST_F(QueueRecordWineTest, LookUpQueueTellsAbsenceOrThePortWhateverTheCase) {
    ASSERT_TRUE(spooler.AddSetUpQueue(name, driver));
    QueueState state{L"untouched", true};
    EXPECT_EQ(counting.LookUpQueue((name + L"X").c_str(), state), QueueLookup::kAbsent);
    EXPECT_EQ(state.port, L"untouched");
    EXPECT_FALSE(TakePlatformFailure().has_value()) << "an absent queue is no failure";
    for (const std::wstring& asked : {name, unique + L" q"}) {
        state = QueueState{};
        EXPECT_EQ(counting.LookUpQueue(asked.c_str(), state), QueueLookup::kPresent);
        EXPECT_EQ(state.port, L"LPT2:");
        EXPECT_FALSE(state.pendingDeletion);
    }
}

TEST_F(QueueRecordWineTest, IsDriverInstalledTakesTheWholeNameWhateverTheCase) {
    std::wstring upper = driver;
    CharUpperW(upper.data());
    EXPECT_TRUE(counting.IsDriverInstalled(driver.c_str()));
    EXPECT_TRUE(counting.IsDriverInstalled(upper.c_str()));
    EXPECT_FALSE(counting.IsDriverInstalled((driver + L"X").c_str()));
    EXPECT_FALSE(counting.IsDriverInstalled(driver.substr(0, driver.size() - 1).c_str()));
}

TEST_F(QueueRecordWineTest, AFailingCallRecordsItsNameCodeAndTextAndChangesNothing) {
    ASSERT_TRUE(spooler.AddSetUpQueue(name, driver));
    QueueRecord good;
    ASSERT_TRUE(counting.ReadQueue(name.c_str(), good));
    EXPECT_FALSE(good.isDefault);
    Delete(name);
    const std::wstring absent = unique + L" absent";
    QueueRecord noDriver = good, badNumber = good, shortMode = good, withPackage = good;
    QueueRecord longKey = good;
    noDriver.driver = unique + L" no driver";
    // A key name longer than the registry takes (255 characters), which Wine refuses after the
    // queue is made: the queue goes again.
    longKey.data.push_back({std::wstring(300, L'k'), L"v", REG_DWORD, {1, 0, 0, 0}});
    badNumber.settings[9].second = L"1x";  // "priority"
    shortMode.deviceMode.pop_back();
    withPackage.driverPackage = L"C:\\Windows\\INF\\oem7.inf";
    QueueRecord read = good;
    const struct {
        std::function<bool()> act;
        const wchar_t* call;
        DWORD code;
    } cases[] = {
        {[&] { return counting.ReadQueue(absent.c_str(), read); }, L"OpenPrinterW",
         ERROR_INVALID_PRINTER_NAME},
        {[&] { return counting.SetDefaultPrinter(absent.c_str()); }, L"SetDefaultPrinterW",
         ERROR_INVALID_PRINTER_NAME},
        {[&] { return counting.AddQueue(noDriver); }, L"AddPrinterW", ERROR_UNKNOWN_PRINTER_DRIVER},
        {[&] { return counting.AddQueue(longKey); }, L"SetPrinterDataExW", ERROR_INVALID_PARAMETER},
        {[&] { return counting.AddQueue(badNumber); }, L"queue record numbers", ERROR_INVALID_DATA},
        {[&] { return counting.AddQueue(shortMode); }, L"queue record device mode",
         ERROR_INVALID_DATA},
        {[&] { return counting.InstallDriverFromPackage(good); },
         L"InstallPrinterDriverFromPackageW", ERROR_INVALID_PARAMETER},
        // Wine 8 does not export the function.
        {[&] { return counting.InstallDriverFromPackage(withPackage); },
         L"GetProcAddress InstallPrinterDriverFromPackageW", ERROR_PROC_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.call)));
        EXPECT_FALSE(c.act());
        ExpectFailure(c.call, c.code);
        QueueState state;
        EXPECT_EQ(counting.LookUpQueue(name.c_str(), state), QueueLookup::kAbsent);
    }
    EXPECT_EQ(read, good) << "a failed read changed the record";
}

}  // namespace
