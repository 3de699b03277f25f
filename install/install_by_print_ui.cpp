#include "install/print_ui_commands.h"
#include "platform/clock_service.h"
#include "platform/services.h"
#include "setupdata/setup_context.h"

namespace {

// The pause between the end of the install command and the look for its queue.
constexpr uint32_t kSettleMs = 500;

}  // namespace

int32_t SetupContext::InstallByPrintUi(const wchar_t* printerNameOverride,
                                       const wchar_t* portNameOverride) {
    if (printerNameOverride != nullptr)
        SetPrinterName(printerNameOverride);
    if (portNameOverride != nullptr)
        SetPortName(portNameOverride);
    ResolveDriverInfPath();
    if (!PrintUiCommands::IsQuotable(printerName) || !PrintUiCommands::IsQuotable(portName) ||
        !PrintUiCommands::IsQuotable(driverInfPath)) {
        return 0;
    }
    const std::wstring command = PrintUiCommands::Install(printerName, driverInfPath, portName);
    if (command.size() >= PrintUiCommands::kCommandWidth)
        return 0;
    if (RunPrintUi(command.c_str()) == 0)
        return 0;

    if (IClockService* clock = Services().clock)
        clock->Sleep(kSettleMs);
    // One look, no retry: the runner has already waited for the printer UI to end.
    return FindPrinter(printerName) != 0 ? 1 : 0;
}
