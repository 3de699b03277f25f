#pragma once

#include <string>

#include "detect/usb_port.h"

struct SetupContext;

// A connected supported USB printer as the print system's own discovery reports it (CUPS), with
// the device URI a queue prints to.
struct DiscoveredUsbPrinter {
    DetectedUsbPrinter printer;  // VID and PID empty when the system could not say them
    std::wstring uri;
};

enum class Discovery {
    kFound,
    kNone,     // the discovery found no supported printer
    kUnknown,  // the print system could not be asked
};

// The first supported printer among the USB printers that Services().queueSetup discovers: by
// its VID and PID (supportedDevices) where the system gives them, as on Windows; where it gives
// none, by a device ID of our maker whose model the setup data lists. `found` is untouched
// unless kFound.
Discovery DiscoverUsbPrinter(const SetupContext& setup, DiscoveredUsbPrinter& found);
