#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/platform_failure.h"
#include "platform/win32/win32_spooler_service.h"
#include "tests/win32/spooler/counting_spooler_service.h"
#include "tests/win32/spooler/spooler_fixture.h"

// A record as a test failure shows it: its settings and the sizes of its device mode and data.
void PrintTo(const QueueRecord& record, std::ostream* out) {
    *out << testing::PrintToString(record.name) << " driver "
         << testing::PrintToString(record.driver) << " package "
         << testing::PrintToString(record.driverPackage) << " default " << record.isDefault
         << " settings " << testing::PrintToString(record.settings) << " device mode "
         << testing::PrintToString(record.deviceMode) << " data";
    for (const QueueDataValue& value : record.data)
        *out << " " << testing::PrintToString(value.key + L"\\" + value.name) << "=" << value.type
             << ":" << testing::PrintToString(value.bytes);
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
    ASSERT_TRUE(counting.SetDefaultPrinter(name.c_str()));
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

TEST_F(QueueRecordWineTest, IsDefaultFollowsTheDefaultPrinterWhateverItsCase) {
    const std::wstring other = unique + L" other";
    ASSERT_TRUE(spooler.AddQueue(name, driver));
    ASSERT_TRUE(spooler.AddQueue(other, driver));
    std::wstring upper = name;
    CharUpperW(upper.data());
    ASSERT_TRUE(counting.SetDefaultPrinter(upper.c_str()));
    QueueRecord record;
    ASSERT_TRUE(counting.ReadQueue(name.c_str(), record));
    EXPECT_TRUE(record.isDefault);
    ASSERT_TRUE(counting.ReadQueue(other.c_str(), record));
    EXPECT_FALSE(record.isDefault);
}

TEST_F(QueueRecordWineTest, AQueueThatCanBeMadeOnlyInPartIsDeletedAgain) {
    ASSERT_TRUE(spooler.AddSetUpQueue(name, driver));
    QueueRecord saved;
    ASSERT_TRUE(counting.ReadQueue(name.c_str(), saved));
    Delete(name);
    // A key name longer than the registry takes (255 characters): Wine refuses it.
    saved.data.push_back({std::wstring(300, L'k'), L"v", REG_DWORD, {1, 0, 0, 0}});
    EXPECT_FALSE(counting.AddQueue(saved));
    ExpectFailure(L"SetPrinterDataExW", ERROR_INVALID_PARAMETER);
    QueueState state;
    EXPECT_EQ(counting.LookUpQueue(name.c_str(), state), QueueLookup::kAbsent);
}

TEST_F(QueueRecordWineTest, AFailingCallRecordsItsNameCodeAndText) {
    ASSERT_TRUE(spooler.AddSetUpQueue(name, driver));
    QueueRecord good;
    ASSERT_TRUE(counting.ReadQueue(name.c_str(), good));
    Delete(name);
    const std::wstring absent = unique + L" absent";
    QueueRecord noDriver = good;
    noDriver.driver = unique + L" no driver";
    QueueRecord badNumber = good;
    badNumber.settings[9].second = L"1x";  // "priority"
    QueueRecord shortMode = good;
    shortMode.deviceMode.pop_back();
    QueueRecord withPackage = good;
    withPackage.driverPackage = L"C:\\Windows\\INF\\oem7.inf";

    struct Case {
        const wchar_t* what;
        bool (*act)(CCountingSpoolerService&, const std::wstring&, QueueRecord&);
        const QueueRecord* record;
        const wchar_t* call;
        DWORD code;
    } cases[] = {
        {L"read", [](auto& s, auto& n, auto& r) { return s.ReadQueue(n.c_str(), r); }, &good,
         L"OpenPrinterW", ERROR_INVALID_PRINTER_NAME},
        {L"default", [](auto& s, auto& n, auto&) { return s.SetDefaultPrinter(n.c_str()); }, &good,
         L"SetDefaultPrinterW", ERROR_INVALID_PRINTER_NAME},
        {L"add", [](auto& s, auto&, auto& r) { return s.AddQueue(r); }, &noDriver, L"AddPrinterW",
         ERROR_UNKNOWN_PRINTER_DRIVER},
        {L"number", [](auto& s, auto&, auto& r) { return s.AddQueue(r); }, &badNumber,
         L"queue record numbers", ERROR_INVALID_DATA},
        {L"mode", [](auto& s, auto&, auto& r) { return s.AddQueue(r); }, &shortMode,
         L"queue record device mode", ERROR_INVALID_DATA},
        {L"no package", [](auto& s, auto&, auto& r) { return s.InstallDriverFromPackage(r); },
         &good, L"InstallPrinterDriverFromPackageW", ERROR_INVALID_PARAMETER},
        // Wine 8 does not export the function.
        {L"package", [](auto& s, auto&, auto& r) { return s.InstallDriverFromPackage(r); },
         &withPackage, L"GetProcAddress InstallPrinterDriverFromPackageW", ERROR_PROC_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.what)));
        QueueRecord record = *c.record;
        EXPECT_FALSE(c.act(counting, absent, record));
        ExpectFailure(c.call, c.code);
        EXPECT_EQ(record, *c.record) << "the record was changed";
        QueueState state;
        EXPECT_EQ(counting.LookUpQueue(name.c_str(), state), QueueLookup::kAbsent);
    }
}

}  // namespace
