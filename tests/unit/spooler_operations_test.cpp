#include <gtest/gtest.h>

#include "platform/name_case.h"
#include "platform/services.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_spooler_service.h"

namespace {

class SpoolerOperationsTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(spooler.AllReleased()); }

    CFakeSpoolerService spooler;
    CScopedServices services{[this] {
        PlatformServices set;
        set.spooler = &spooler;
        return set;
    }()};
    SetupContext context;
};

TEST_F(SpoolerOperationsTest, AQueueBelongsByItsNameInAnyCaseOrAsACopy) {
    for (const wchar_t* name : {L"printer a", L"Printer AB", L"PRINTER A (Copy 1)", L"Printer A(1)",
                                L"Printer A (", L"Printer B", L"Printer A9(Office)", L"P(rinter",
                                L"Printer A (Copy 2)", L"ПРИНТЕР Ä (Copy 1)"}) {
        spooler.AddQueue(name, L"Driver");
    }
    StringList list{L"kept"};
    EXPECT_EQ(context.ListPrinters(L"Printer A", list), 3);
    EXPECT_EQ(list,
              (StringList{L"kept", L"printer a", L"PRINTER A (Copy 1)", L"Printer A (Copy 2)"}));
    EXPECT_EQ(context.ListPrinters(L"принтер ä", list), 1);
    EXPECT_EQ(list.back(), L"ПРИНТЕР Ä (Copy 1)");
    EXPECT_EQ(context.ListPrinters(L"Printer C", list), 0);
    EXPECT_EQ(list.size(), 5u);
}

// The spooler folds the case of Cyrillic letters of both blocks: А–Я (U+0410–U+042F) and
// Ѐ–Џ (U+0400–U+040F), whose small letters lie 0x50 above them. A letter with a mark stays
// another letter.
TEST(NameCaseTest, NamesDifferingOnlyInCaseAreTheSameName) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"Korvel RV-90", L"kORVEL rv-90", true},
        {L"ПРИНТЕР Ä", L"принтер ä", true},
        {L"ЀЁЂЃЄЅІЇЈЉЊЋЌЍЎЏ", L"ѐёђѓєѕіїјљњћќѝўџ", true},
        {L"Ѐ", L"Е", false},
        {L"÷", L"×", false},
        {L"Korvel", L"Korvel ", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameNameIgnoringCase(c.a, c.b), c.same) << c.a << L" " << c.b;
        EXPECT_EQ(SameNameIgnoringCase(c.b, c.a), c.same) << c.b << L" " << c.a;
    }
}

TEST_F(SpoolerOperationsTest, FindPrinterWantsThatVeryQueueUnmarkedOnItsPort) {
    spooler.AddQueue(L"Printer AB", L"Driver", L"COM1:");
    EXPECT_EQ(context.FindPrinter(L"Printer A"), 0);
    EXPECT_EQ(context.FindPrinter(L"Printer AB"), 1);
    EXPECT_EQ(context.FindPrinter(L"printer ab", L"com1:"), 1);
    EXPECT_EQ(context.FindPrinter(L"Printer AB", L"LPT1:"), 0);
    spooler.queues[0].pendingDeletion = true;
    EXPECT_EQ(context.FindPrinter(L"Printer AB"), 0);
}

TEST_F(SpoolerOperationsTest, AnEmptyNameIsRefusedWithoutAskingTheSpooler) {
    spooler.AddQueue(L"P(rinter", L"Driver");
    StringList list;
    EXPECT_EQ(context.FindPrinter(L""), 0);
    EXPECT_EQ(context.ListPrinters(L"", list), -1);
    EXPECT_EQ(context.DeletePrinterAndDriver(L""), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(spooler.calls.empty());
    EXPECT_TRUE(spooler.HasQueue(L"P(rinter"));
}

TEST_F(SpoolerOperationsTest, AFailedEnumerationIsToldApartAndAppendsNothing) {
    spooler.AddQueue(L"Printer A", L"Driver");
    spooler.failList = true;
    spooler.failPorts = true;
    StringList list{L"kept"};
    EXPECT_EQ(context.ListPrinters(L"Printer A", list), -1);
    EXPECT_EQ(context.FindPrinter(L"Printer A"), 0);
    EXPECT_EQ(context.ListPorts(list), 0);
    EXPECT_EQ(list, StringList{L"kept"});

    spooler.failPorts = false;
    EXPECT_EQ(context.ListPorts(list), 1);
    EXPECT_EQ(list, (StringList{L"kept", L"LPT1:", L"COM1:", L"USB001"}));
}

TEST_F(SpoolerOperationsTest, RemovalPurgesDeletesClosesThenDeletesTheDriver) {
    spooler.AddQueue(L"Korvel RV-90", L"Korvel RV-90");
    EXPECT_EQ(context.DeletePrinterAndDriver(L"Korvel RV-90"), 1);
    EXPECT_EQ(spooler.calls, (std::vector<std::wstring>{L"open Korvel RV-90", L"purge", L"delete",
                                                        L"close", L"delete driver Korvel RV-90"}));
    EXPECT_FALSE(spooler.HasQueue(L"Korvel RV-90"));
    EXPECT_EQ(spooler.drivers.count(L"Korvel RV-90"), 0u);
}

TEST_F(SpoolerOperationsTest, FailuresOnTheWayChangeNeitherTheStepsNorTheResult) {
    spooler.AddQueue(L"Korvel RV-90", L"Korvel RV-90");
    spooler.failPurge = true;
    spooler.failDelete = true;
    spooler.failClose = true;
    // The queue stays, so its driver is still in use and cannot go.
    EXPECT_EQ(context.DeletePrinterAndDriver(L"Korvel RV-90"), 0);
    EXPECT_EQ(spooler.calls.size(), 5u);
    EXPECT_EQ(spooler.calls.back(), L"delete driver Korvel RV-90");
}

TEST_F(SpoolerOperationsTest, ADriverSharedOrAbsentStays) {
    spooler.AddQueue(L"Korvel RV-90", L"Shared");
    spooler.AddQueue(L"Other", L"Shared");
    EXPECT_EQ(context.DeletePrinterAndDriver(L"Korvel RV-90"), 0);
    EXPECT_FALSE(spooler.HasQueue(L"Korvel RV-90"));

    spooler.calls.clear();
    EXPECT_EQ(context.DeletePrinterAndDriver(L"Nothing"), 0);
    EXPECT_EQ(spooler.calls,
              (std::vector<std::wstring>{L"open Nothing", L"delete driver Nothing"}));
}

}  // namespace
