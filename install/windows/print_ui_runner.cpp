#include <string>

#include "install/windows/print_ui_commands.h"
#include "platform/launcher_service.h"
#include "platform/log_sink.h"
#include "platform/services.h"
#include "setupdata/setup_context.h"

namespace {

constexpr wchar_t kHost[] = L"rundll32.exe";
constexpr wchar_t kErrorCaption[] = L"ERROR";

}  // namespace

int32_t SetupContext::RunPrintUi(const wchar_t* commandLine) const {
    ILauncherService* launcher = Services().launcher;
    if (launcher == nullptr || commandLine == nullptr)
        return 0;
    // The printer UI is told to be quiet and its exit code is not read: started is all that
    // success means here. A command still running at the wait limit is left to run on.
    LogLine(LogLevel::kInformation, std::wstring(L"Starting rundll32.exe ") + commandLine);
    uint32_t error = 0;
    switch (launcher->RunSystemProgram(kHost, commandLine, PrintUiCommands::kWaitLimitMs, error)) {
        case LaunchResult::kFinished:
            LogLine(LogLevel::kInformation, L"The command finished.");
            return 1;
        case LaunchResult::kTimedOut:
            LogLine(LogLevel::kWarning, L"The command was still running when the wait of " +
                                            std::to_wstring(PrintUiCommands::kWaitLimitMs) +
                                            L" ms ended.");
            return 1;
        case LaunchResult::kEnded:
            // Nothing of ours may go on working behind the caller: the command counts as failed,
            // and there is nothing the user has to be shown.
            LogLine(LogLevel::kError, L"The command was still running when the wait of " +
                                          std::to_wstring(PrintUiCommands::kWaitLimitMs) +
                                          L" ms ended, and was ended with every process it had "
                                          L"started.");
            return 0;
        case LaunchResult::kNotStarted:
            break;
    }
    LogFailure(L"The command could not be started");
    launcher->ShowError(PrintUiCommands::LaunchErrorText(error), kErrorCaption);
    return 0;
}

int32_t SetupContext::MakeDefaultPrinter(const wchar_t* printerNameOverride) {
    if (makeDefault == 0)
        return 1;
    if (printerNameOverride != nullptr)
        SetPrinterName(printerNameOverride);
    if (!PrintUiCommands::IsQuotable(printerName))
        return 0;
    return RunPrintUi(PrintUiCommands::MakeDefault(printerName).c_str());
}

int32_t SetupContext::PrintTestPage(const wchar_t* printerNameOverride) {
    if (printTestPage == 0)
        return 1;
    if (printerNameOverride != nullptr)
        SetPrinterName(printerNameOverride);
    if (!PrintUiCommands::IsQuotable(printerName))
        return 0;
    return RunPrintUi(PrintUiCommands::TestPage(printerName).c_str());
}
