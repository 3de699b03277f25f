#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "platform/log_sink.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_machine.h"

namespace {

// Keeps the level of each line written to the log.
class CLogLevels : public ILogSink {
  public:
    std::vector<LogLevel> levels;
    void Write(LogLevel level, const std::wstring&) override { levels.push_back(level); }
};

class PrintUiTest : public ::testing::Test, protected CFakeMachine {
  protected:
    PrintUiTest() {
        programPath.path = SourcePath("sample-setup/PavonisSetup.exe");
        context.Init();  // again, now that the program's path is set
    }

    void TearDown() override { EXPECT_TRUE(AllReleased()); }

    std::wstring Inf(const char* family) {
        return SourcePath(std::string("sample-setup/PrinterDriver/") + family + "/OEMPRINT.INF");
    }

    CScopedServices services{Set()};
    SetupContext context;
};

TEST_F(PrintUiTest, ACommandIsRunByRundll32AndWaitedForTwoMinutes) {
    EXPECT_EQ(context.RunPrintUi(L"PRINTUI.DLL,PrintUIEntry /?"), 1);
    ASSERT_EQ(launcher.runs.size(), 1u);
    EXPECT_EQ(launcher.runs[0].program, L"rundll32.exe");
    EXPECT_EQ(launcher.runs[0].parameters, L"PRINTUI.DLL,PrintUIEntry /?");
    EXPECT_EQ(launcher.runs[0].waitMs, 120000u);
    EXPECT_TRUE(launcher.messages.empty());
}

TEST_F(PrintUiTest, ALaunchFailureIsShownByItsErrorCode) {
    const struct {
        uint32_t error;
        const wchar_t* text;
    } cases[] = {
        {2, L"The specified file was not found."},
        {3, L"The specified path was not found."},
        {5, L"Access to the specified file is denied."},
        {8, L"There is not enough memory to perform the specified action."},
        {32, L"A sharing violation occurred."},
        {1155, L"There is no application associated with the given file name extension."},
        {1156, L"The Dynamic Data Exchange (DDE) transaction failed."},
        {1157, L"One of the library files necessary to run the application can't be found."},
        {1223,
         L"The function prompted the user for additional information, but the user "
         L"canceled the request."},
        {0, L"Other error occurred."},
        {1154, L"Other error occurred."},
    };
    launcher.failStart = true;
    for (const auto& c : cases) {
        launcher.startError = c.error;
        launcher.messages.clear();
        EXPECT_EQ(context.RunPrintUi(L"PRINTUI.DLL,PrintUIEntry /?"), 0);
        ASSERT_EQ(launcher.messages.size(), 1u);
        EXPECT_EQ(launcher.messages[0].text, c.text) << c.error;
        EXPECT_EQ(launcher.messages[0].caption, L"ERROR");
    }
}

TEST_F(PrintUiTest, OptionCommandsRunOnlyWhenChosen) {
    context.SetPrinterName(L"Korvel RV-90");
    EXPECT_EQ(context.MakeDefaultPrinter(L"Other Name"), 1);
    EXPECT_EQ(context.PrintTestPage(L"Other Name"), 1);
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_STREQ(context.printerName, L"Korvel RV-90");  // no override stored either

    context.SetMakeDefault(1);
    context.SetPrintTestPage(1);
    EXPECT_EQ(context.MakeDefaultPrinter(nullptr), 1);
    EXPECT_EQ(context.PrintTestPage(L"Korvel RV 95 (Copy 1)"), 1);
    ASSERT_EQ(launcher.runs.size(), 2u);
    EXPECT_EQ(launcher.runs[0].parameters, L"PRINTUI.DLL,PrintUIEntry /y /q /n \"Korvel RV-90\"");
    EXPECT_EQ(launcher.runs[1].parameters,
              L"PRINTUI.DLL,PrintUIEntry /k /q /n \"Korvel RV 95 (Copy 1)\"");
    EXPECT_STREQ(context.printerName, L"Korvel RV 95 (Copy 1)");
}

TEST_F(PrintUiTest, ANameWithADoubleQuoteIsNeverPutIntoACommand) {
    // The setup data gives the name a family, so that the quote, not a missing driver, stops it.
    CTempFolder folder;
    folder.Write("PrinterInfor.Inf",
                 Utf16LeFile("[PRINTER_TYPE]\nKorvel RV-90=9\nKorvel\" /ga /n \"x=9\n"));
    programPath.path = folder.WindowsPath() + L"PavonisSetup.exe";
    context.Init();
    context.SetMakeDefault(1);
    context.SetPrintTestPage(1);
    context.SetPrinterName(L"Korvel\" /ga /n \"x");
    ASSERT_EQ(context.GetPrinterType(context.printerName), 2);
    context.SetPortName(L"LPT1:");
    EXPECT_EQ(context.MakeDefaultPrinter(nullptr), 0);
    EXPECT_EQ(context.PrintTestPage(nullptr), 0);
    EXPECT_EQ(context.InstallByPrintUi(nullptr, nullptr), 0);
    EXPECT_EQ(context.InstallByPrintUi(L"Korvel RV-90", L"LPT1:\" /z"), 0);
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(PrintUiTest, TheInstallCommandNamesQueueInfPortAndModelThenLooksForTheQueue) {
    launcher.onRun = [this](const std::wstring&) {
        spooler.AddQueue(L"Korvel RV-90", L"Korvel RV-90");
    };
    context.SetPrinterName(L"Korvel RV-90");
    context.SetPortName(L"LPT1:");
    EXPECT_EQ(context.InstallByPrintUi(nullptr, nullptr), 1);
    ASSERT_EQ(launcher.runs.size(), 1u);
    EXPECT_EQ(launcher.runs[0].parameters,
              L"PRINTUI.DLL,PrintUIEntry /if /n \"Korvel RV-90\" /f \"" + Inf("9pin") +
                  L"\" /r \"LPT1:\" /m \"Korvel RV-90\" ");
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{500});
    EXPECT_EQ(std::wstring(context.driverInfPath), Inf("9pin"));
}

TEST_F(PrintUiTest, OverridesReplaceTheChoicesAndAMissingQueueIsAFailure) {
    EXPECT_EQ(context.InstallByPrintUi(L"Korvel RV-1800K", L"USB001"), 0);
    EXPECT_STREQ(context.printerName, L"Korvel RV-1800K");
    EXPECT_STREQ(context.portName, L"USB001");
    ASSERT_EQ(launcher.runs.size(), 1u);
    EXPECT_NE(launcher.runs[0].parameters.find(L"/f \"" + Inf("24pin") + L"\" /r \"USB001\""),
              std::wstring::npos);
}

TEST_F(PrintUiTest, OnlyTheNewQueueOfThatNameOnTheChosenPortConfirmsTheInstall) {
    const struct {
        std::vector<std::wstring> before;  // queues there before the command
        bool pendingDeletion;              // the first of them is marked for deletion
        bool spoolerAnswers;
        std::wstring createdOnPort;  // where the printer UI puts "Korvel RV-90"; empty: nowhere
        int32_t result;
        size_t commands;
    } cases[] = {
        {{}, false, true, L"LPT1:", 1, 1},
        {{}, false, true, L"lpt1:", 1, 1},
        {{}, false, true, L"", 0, 1},
        {{}, false, true, L"COM1:", 0, 1},
        {{L"Korvel RV-900"}, false, true, L"", 0, 1},
        {{L"Korvel RV-90 (Copy 1)"}, false, true, L"", 0, 1},
        {{L"korvel rv-90"}, false, true, L"", 0, 0},
        {{L"Korvel RV-90"}, true, true, L"", 0, 0},
        {{}, false, false, L"LPT1:", 0, 0},
    };
    for (const auto& c : cases) {
        CFakeSpoolerService fresh;
        spooler = fresh;
        launcher.runs.clear();
        for (const std::wstring& queue : c.before)
            spooler.AddQueue(queue, queue);
        if (c.pendingDeletion)
            spooler.queues[0].pendingDeletion = true;
        spooler.failList = !c.spoolerAnswers;
        launcher.onRun = [&](const std::wstring&) {
            if (!c.createdOnPort.empty())
                spooler.AddQueue(L"Korvel RV-90", L"Korvel RV-90", c.createdOnPort);
        };
        const std::wstring label = c.before.empty() ? c.createdOnPort : c.before[0];
        EXPECT_EQ(context.InstallByPrintUi(L"Korvel RV-90", L"LPT1:"), c.result) << label;
        EXPECT_EQ(launcher.runs.size(), c.commands) << label;
    }
}

TEST_F(PrintUiTest, TheConsoleLooksUntilTheQueueIsThereAndTheWizardLooksOnceAfterAPause) {
    const std::vector<uint32_t> polls{50, 100, 200, 400, 800, 450};
    const struct {
        QueueCheck check;
        size_t appearsAtLook;  // the look after the command that first finds the queue; 0: never
        const wchar_t* port;   // where the queue appears
        std::vector<uint32_t> sleeps;
        size_t looks;
        int32_t result;
        std::ptrdiff_t errors;  // error lines in the log
    } cases[] = {
        {QueueCheck::kPoll, 1, L"LPT1:", {}, 2, 1, 0},
        {QueueCheck::kPoll, 3, L"LPT1:", {50, 100}, 4, 1, 0},
        {QueueCheck::kPoll, 6, L"LPT1:", {50, 100, 200, 400, 800}, 7, 1, 0},
        {QueueCheck::kPoll, 7, L"LPT1:", polls, 7, 1, 0},
        {QueueCheck::kPoll, 0, L"LPT1:", polls, 7, 0, 1},
        {QueueCheck::kPoll, 1, L"COM1:", {}, 2, 0, 1},  // there, but on another port
        {QueueCheck::kSettleOnce, 1, L"LPT1:", {500}, 1, 1, 0},
        {QueueCheck::kSettleOnce, 2, L"LPT1:", {500}, 1, 0, 1},
    };
    CLogLevels log;
    Services().log = &log;
    for (const auto& c : cases) {
        CFakeSpoolerService fresh;
        spooler = fresh;
        clock.sleeps.clear();
        log.levels.clear();
        size_t looks = 0;
        bool commandRan = false;
        launcher.onRun = [&](const std::wstring&) { commandRan = true; };
        spooler.onCall = [&](const std::wstring& call) {
            if (commandRan && call == L"look up Korvel RV-90" && ++looks == c.appearsAtLook)
                spooler.AddQueue(L"Korvel RV-90", L"Korvel RV-90", c.port);
        };
        context.queueCheck = c.check;
        const std::wstring label =
            (c.check == QueueCheck::kPoll ? L"poll, look " : L"once, look ") +
            std::to_wstring(c.appearsAtLook) + L" " + c.port;
        EXPECT_EQ(context.InstallByPrintUi(L"Korvel RV-90", L"LPT1:"), c.result) << label;
        EXPECT_EQ(clock.sleeps, c.sleeps) << label;
        EXPECT_LE(std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0u), 2000u) << label;
        EXPECT_EQ(looks, c.looks) << label;
        EXPECT_EQ(std::count(log.levels.begin(), log.levels.end(), LogLevel::kError), c.errors)
            << label;
    }
}

TEST_F(PrintUiTest, EmptyNamesAndUnusableValuesStartNothing) {
    context.SetMakeDefault(1);
    context.SetPrintTestPage(1);
    const struct {
        const wchar_t* printer;
        const wchar_t* port;
    } installs[] = {
        {L"", L"LPT1:"},
        {L"Korvel RV-90", L""},
        {L"Korvel RV-90", L"LPT1:\\"},   // would escape the closing quote
        {L"Unknown Printer", L"LPT1:"},  // no family: the bare driver folder, ending in "\\"
    };
    for (const auto& install : installs)
        EXPECT_EQ(context.InstallByPrintUi(install.printer, install.port), 0) << install.printer;
    context.SetPrinterName(L"");
    EXPECT_EQ(context.MakeDefaultPrinter(nullptr), 0);
    EXPECT_EQ(context.PrintTestPage(nullptr), 0);
    EXPECT_EQ(context.InstallByPnp(), 0);
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_TRUE(pnp.updates.empty());
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(PrintUiTest, ACommandThatCannotStartIsNotFollowedByALook) {
    launcher.failStart = true;
    launcher.startError = 2;
    EXPECT_EQ(context.InstallByPrintUi(L"Korvel RV-90", L"LPT1:"), 0);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(launcher.messages.size(), 1u);
}

}  // namespace
