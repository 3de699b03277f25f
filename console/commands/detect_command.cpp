#include "console/commands/detect_command.h"

#include "console/command_prerequisites.h"
#include "console/console_context.h"
#include "console/json_text.h"
#include "detect/discovered_usb_printer.h"
#include "detect/usb_port.h"
#include "platform/log_sink.h"

Outcome RunDetectCommand(CConsoleContext& context) {
    Outcome exit = Outcome::kSuccess;
    if (!UseSetupFolder(context, exit))
        return exit;
    SetupContext& setup = context.Setup();
    DetectedUsbPrinter printer;
    CString portName;
    bool connected = false;
    if (context.Cups()) {
        DiscoveredUsbPrinter discovered;
        // The discovery logs its failure, which takes the failed call's words with it.
        const CStepFailures look;
        const Discovery discovery = DiscoverUsbPrinter(setup, discovered);
        if (discovery == Discovery::kUnknown) {
            context.SayUnreachable(look.Failure());
            return Outcome::kFailed;
        }
        connected = discovery == Discovery::kFound;
        printer = discovered.printer;
        portName = discovered.uri;
    } else if ((connected = DetectUsbPrinter(printer))) {
        CUSBPort port;
        port.FindPortName(portName);
    }
    if (!connected) {
        context.Print(L"No supported USB printer is connected.",
                      JsonText().Add(L"connected", false));
        return Outcome::kSuccess;
    }
    CString series;
    const bool listed = setup.FindModelSeries(series, printer.model.c_str()) != 0;
    context.Print(
        L"VID " + (printer.vid.empty() ? L"unknown" : printer.vid) + L", PID " +
            (printer.pid.empty() ? L"unknown" : printer.pid) + L", model " + printer.model +
            (listed ? L" (in the setup data, " + series + L")" : L" (not in the setup data)") +
            L", port " + (portName.empty() ? L"unknown" : portName),
        JsonText()
            .Add(L"connected", true)
            .Add(L"vid", printer.vid)
            .Add(L"pid", printer.pid)
            .Add(L"model", printer.model)
            .Add(L"listed", listed)
            .Add(L"series", listed ? series : L"")
            .Add(L"port", portName));
    return Outcome::kSuccess;
}
