#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <string>

#include "platform/platform_failure.h"
#include "platform/services.h"
#include "platform/win32/win32_spooler_service.h"
#include "setupdata/setup_context.h"
#include "tests/win32/spooler/counting_spooler_service.h"
#include "tests/win32/spooler/spooler_fixture.h"

// The spooler queries and the removal of a printer over the real backend, on queues made in Wine's
// spooler. Other test cases share the prefix: each names its queues and drivers after itself.
namespace {

class SpoolerWineTest : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(counting.opened, counting.closed) << "printer handles left open";
    }

    // The spooler's queues whose names begin with this test's own.
    StringList OwnQueues() {
        StringList all;
        EXPECT_TRUE(real.ListLocalPrinters(all));
        StringList own;
        std::copy_if(all.begin(), all.end(), std::back_inserter(own),
                     [&](const std::wstring& queue) { return queue.rfind(unique, 0) == 0; });
        return own;
    }

    CSpoolerFixture spooler;
    const std::wstring unique = CSpoolerFixture::UniqueName();
    const std::wstring driver = unique + L" driver";
    CWin32SpoolerService real;
    CCountingSpoolerService counting{real};
    CScopedServices services{[this] {
        PlatformServices set;
        set.spooler = &counting;
        return set;
    }()};
    SetupContext context;
};

TEST_F(SpoolerWineTest, ListPrintersTakesTheQueueOfTheNameAndItsCopies) {
    const std::wstring name = unique + L" A";
    ASSERT_TRUE(spooler.AddDriver(driver));
    for (const wchar_t* suffix : {L"", L" (Copy 1)", L"B", L"(1)", L" ("})
        ASSERT_TRUE(spooler.AddQueue(name + suffix, driver));
    ASSERT_EQ(OwnQueues().size(), 5u);

    // Appended in the spooler's order, which in Wine is that of the names.
    StringList list = {L"earlier"};
    EXPECT_EQ(context.ListPrinters(name.c_str(), list), 2);
    EXPECT_EQ(list, (StringList{L"earlier", name, name + L" (Copy 1)"}));
    EXPECT_EQ(context.FindPrinter(name.c_str()), 1);
}

TEST_F(SpoolerWineTest, FindPrinterWantsThatVeryQueueInAnyCase) {
    const std::wstring name = unique + L" A";
    ASSERT_TRUE(spooler.AddDriver(driver));
    ASSERT_TRUE(spooler.AddQueue(name + L"B", driver));

    // A queue whose name goes on after the printer's is another printer: neither found nor listed.
    EXPECT_EQ(context.FindPrinter(name.c_str()), 0);
    StringList list = {L"earlier"};
    EXPECT_EQ(context.ListPrinters(name.c_str(), list), 0);
    EXPECT_EQ(list, StringList{L"earlier"});

    // The spooler matches names without regard to case, and so does the look for the new queue.
    std::wstring upper = name + L"B";
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    EXPECT_EQ(context.FindPrinter(upper.c_str(), L"lpt1:"), 1);
    EXPECT_EQ(context.FindPrinter(upper.c_str(), L"LPT2:"), 0);
}

TEST_F(SpoolerWineTest, ListPortsAppendsWinesPortsInItsOrder) {
    // The ports of a new Wine prefix, in the order its spooler lists them.
    StringList list = {L"earlier"};
    EXPECT_EQ(context.ListPorts(list), 1);
    EXPECT_EQ(list, (StringList{L"earlier", L"COM1:", L"COM2:", L"COM3:", L"COM4:", L"FILE:",
                                L"LPT1:", L"LPT2:", L"LPT3:"}));
}

TEST_F(SpoolerWineTest, WinesSpoolerRefusesThePurgeOfAQueue) {
    const std::wstring name = unique + L" P";
    ASSERT_TRUE(spooler.AddDriver(driver));
    ASSERT_TRUE(spooler.AddQueue(name, driver));
    PrinterHandle printer = counting.OpenPrinter(name.c_str());
    ASSERT_NE(printer, nullptr);

    // ERROR_INVALID_LEVEL comes from SetPrinterW: the queue's record was read, and Wine's
    // SetPrinterW has no level 0, where the purge is asked for.
    EXPECT_FALSE(real.PurgePrinter(printer));
    const auto failure = TakePlatformFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->call, L"SetPrinterW");
    EXPECT_EQ(failure->code, static_cast<DWORD>(ERROR_INVALID_LEVEL));
    EXPECT_EQ(context.PurgePrinter(printer), 0);
    EXPECT_TRUE(counting.ClosePrinter(printer));
    EXPECT_EQ(OwnQueues(), StringList{name});
}

TEST_F(SpoolerWineTest, DeletePrinterAndDriverRemovesTheQueueButWineKeepsTheDriver) {
    const std::wstring name = unique + L" D";
    ASSERT_TRUE(spooler.AddDriver(name));
    ASSERT_TRUE(spooler.AddQueue(name, name));

    // The queue goes although the purge before it fails. The result is the driver deletion's,
    // and Wine's spooler refuses DPD_DELETE_UNUSED_FILES with ERROR_INVALID_PARAMETER, so the
    // removal reports failure and the driver stays, unused.
    EXPECT_EQ(context.DeletePrinterAndDriver(name.c_str()), 0);
    EXPECT_EQ(counting.opened, 1);
    EXPECT_TRUE(OwnQueues().empty());
    StringList list;
    EXPECT_EQ(context.ListPrinters(name.c_str(), list), 0);
    EXPECT_EQ(context.FindPrinter(name.c_str()), 0);
    EXPECT_TRUE(CSpoolerFixture::HasDriver(name));
    EXPECT_FALSE(real.DeletePrinterDriver(name.c_str()));
    const auto failure = TakePlatformFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->call, L"DeletePrinterDriverExW");
    EXPECT_EQ(failure->code, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolerWineTest, DeletePrinterAndDriverOfANameWithNothingOpensNothing) {
    const std::wstring name = unique + L" none";
    EXPECT_EQ(context.DeletePrinterAndDriver(name.c_str()), 0);
    EXPECT_EQ(counting.opened, 0);
    EXPECT_EQ(counting.closed, 0);
}

}  // namespace
