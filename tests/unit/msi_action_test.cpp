#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "msi_action/printer_action.h"

namespace {

// msiexec and the machine as the package's actions see them: the data given, the runs asked
// for with the exit code each gets, and what was asked back.
class CFakeActionHost : public IActionHost {
  public:
    std::wstring data;
    bool starts = true;
    uint32_t exitCode = 0;
    std::vector<std::wstring> commandLines;
    bool restartAsked = false;
    std::optional<RememberedPrinter> remembered;
    bool forgotten = false;

    std::wstring Data() override { return data; }
    bool Run(const std::wstring&, const std::wstring& commandLine, uint32_t& code,
             uint32_t& error) override {
        commandLines.push_back(commandLine);
        code = exitCode;
        error = 2;
        return starts;
    }
    void RestartAtEnd() override { restartAsked = true; }
    void Log(const std::wstring&) override {}
    bool Remember(const RememberedPrinter& printer) override {
        remembered = printer;
        return true;
    }
    bool Forget() override { return forgotten = true; }
};

constexpr wchar_t kProgram[] = L"\"C:\\Program Files\\Korvel\\Printer Setup\\pavonis.exe\" ";

// pavonis's exit code and what msiexec must hear of it. Only 3010 besides 0 is a success, and it
// alone asks for a restart; every other code fails the package, whose files are then rolled back.
TEST(MsiActionTest, EachExitCodeOfPavonisReachesMsiexecAsItsResult) {
    struct Case {
        uint32_t exitCode;
        bool starts;
        uint32_t result;
        bool restart;
    } cases[] = {
        {0, true, 0, false},       {3010, true, 0, true},   {1603, true, 1603, false},
        {1618, true, 1603, false}, {87, true, 1603, false}, {1641, true, 1603, false},
        {0, false, 1603, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.exitCode << (c.starts ? "" : " (not started)"));
        CFakeActionHost host;
        host.data = L"C:\\Program Files\\Korvel\\Printer Setup\\||RV-630K|LPT2:";
        host.exitCode = c.exitCode;
        host.starts = c.starts;
        EXPECT_EQ(CPrinterAction(host).Install(), c.result);
        EXPECT_EQ(host.restartAsked, c.restart);
        // Only a printer that is there is remembered, for its repair and its removal.
        EXPECT_EQ(host.remembered.has_value(), c.result == 0);
    }
}

// The command lines the data makes. The printer is never made SYSTEM's default, an empty port
// adds no --port, a port with blanks and quotes arrives whole, and data without a model runs
// nothing.
TEST(MsiActionTest, TheDataMakesTheCommandLine) {
    struct Case {
        bool install;
        std::wstring data;
        std::wstring commandLine;  // empty: nothing is run, and the action fails
    } cases[] = {
        {true, L"C:\\Program Files\\Korvel\\Printer Setup\\||RV-630K|LPT2:",
         L"install --model RV-630K --no-default --port LPT2: --wait 300"},
        {true, L"C:\\Program Files\\Korvel\\Printer Setup\\|1|RV-90|",
         L"install --model RV-90 --no-default --test-page --wait 300"},
        {true, L"C:\\Program Files\\Korvel\\Printer Setup\\||RV 90|a \"b\\\" c|d\\",
         L"install --model \"RV 90\" --no-default --port \"a \\\"b\\\\\\\" c|d\\\\\" --wait 300"},
        {true, L"C:\\Program Files\\Korvel\\Printer Setup\\|||LPT1:", L""},
        {true, L"C:\\Program Files\\Korvel\\Printer Setup\\", L""},
        {false, L"C:\\Program Files\\Korvel\\Printer Setup\\|RV-630K",
         L"remove --model RV-630K --wait 300"},
        {false, L"C:\\Program Files\\Korvel\\Printer Setup\\|", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.data.begin(), c.data.end()));
        CFakeActionHost host;
        host.data = c.data;
        CPrinterAction action(host);
        const uint32_t result = c.install ? action.Install() : action.Remove();
        if (c.commandLine.empty()) {
            EXPECT_EQ(result, CPrinterAction::kFailure);
            EXPECT_TRUE(host.commandLines.empty());
            continue;
        }
        EXPECT_EQ(result, CPrinterAction::kSuccess);
        ASSERT_EQ(host.commandLines.size(), 1u);
        EXPECT_EQ(host.commandLines[0], kProgram + c.commandLine);
        EXPECT_EQ(host.forgotten, !c.install);
    }
}

}  // namespace
