#include "console/install_checks.h"

#include "console/console_context.h"
#include "detect/discovered_usb_printer.h"
#include "platform/device_uri.h"
#include "platform/name_case.h"
#include "platform/queue_setup_service.h"
#include "platform/services.h"
#include "platform/uri_passwords.h"
#include "setupdata/setup_context.h"

bool CheckInstallPort(CConsoleContext& context, const std::wstring& port, Outcome& exit) {
    const bool force = context.Call().Has(L"--force");
    IConsoleHost& host = context.Host();
    exit = Outcome::kBadArguments;
    if (context.Cups()) {
        const std::wstring scheme = UriScheme(port);
        if (scheme.empty()) {
            host.Err(UriWithoutPassword(port) +
                     L" is no device URI (scheme:…, such as socket://host:9100); pavonis ports "
                     L"lists the printers' URIs.");
            return false;
        }
        IQueueSetupService* queueSetup = Services().queueSetup;
        if (force || queueSetup == nullptr || queueSetup->HasBackend(scheme))
            return true;
        host.Err(L"The print system has no backend for " + scheme + L": URIs (" +
                 UriWithoutPassword(port) +
                 L"), so no queue could print to it; --force makes the queue all the same.");
        return false;
    }
    StringList ports;
    // A spooler that cannot be asked fails the run itself, which says why.
    if (force || context.Setup().ListPorts(ports) == 0)
        return true;
    for (const std::wstring& known : ports) {
        if (SameNameIgnoringCase(known, port))
            return true;
    }
    host.Err(L"The spooler has no port " + port +
             L" (pavonis ports lists them); --force installs on it all the same.");
    return false;
}

bool CheckConnectedModel(CConsoleContext& context, Outcome& exit) {
    if (context.Call().Has(L"--force"))
        return true;
    const SetupContext& setup = context.Setup();
    CString connected;
    if (context.Cups()) {
        DiscoveredUsbPrinter discovered;
        if (DiscoverUsbPrinter(setup, discovered) == Discovery::kFound)
            connected = discovered.printer.model;
    } else if (setup.DetectUsbPrinterModel(connected) == 0) {
        connected.clear();
    }
    const std::wstring asked = context.Call().Value(L"--model");
    CString series;
    if (connected.empty() || SameNameIgnoringCase(connected, asked) ||
        setup.FindModelSeries(series, connected.c_str()) == 0)
        return true;
    context.Host().Err(L"The connected printer is an " + connected + L", not the " + asked +
                       L" asked for: name the port of the " + asked +
                       L" with --port, or install it on the connected printer's port all the "
                       L"same with --force.");
    exit = Outcome::kBadArguments;
    return false;
}
