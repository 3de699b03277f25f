#include "detect/discovered_usb_printer.h"

#include <algorithm>
#include <vector>

#include "detect/supported_devices.h"
#include "platform/log_sink.h"
#include "platform/name_case.h"
#include "platform/queue_setup_service.h"
#include "platform/services.h"
#include "setupdata/setup_context.h"

namespace {

// The maker's name in its printers' device IDs.
constexpr wchar_t kMaker[] = L"Korvel";

std::wstring Trimmed(const std::wstring& text) {
    const size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos)
        return std::wstring();
    return text.substr(begin, text.find_last_not_of(L" \t") + 1 - begin);
}

bool IsSupportedPair(const std::wstring& vid, const std::wstring& pid) {
    return std::any_of(supportedDevices.begin(), supportedDevices.end(),
                       [&](const SupportedDevice& d) { return vid == d.vid && pid == d.pid; });
}

// The value of one key of an IEEE 1284 device ID ("MFG:Korvel;MDL:RV-90;"), the key matched
// without regard to case and the value trimmed of blanks; empty when the ID has no such key.
std::wstring DeviceIdValue(const std::wstring& deviceId, const std::wstring& key) {
    size_t start = 0;
    while (start < deviceId.size()) {
        size_t end = deviceId.find(L';', start);
        if (end == std::wstring::npos)
            end = deviceId.size();
        const std::wstring pair = deviceId.substr(start, end - start);
        const size_t colon = pair.find(L':');
        if (colon != std::wstring::npos &&
            SameNameIgnoringCase(Trimmed(pair.substr(0, colon)), key))
            return Trimmed(pair.substr(colon + 1));
        start = end + 1;
    }
    return std::wstring();
}

// A device ID names its maker and model under a short key or a long one.
std::wstring MakerOf(const std::wstring& deviceId) {
    const std::wstring maker = DeviceIdValue(deviceId, L"MFG");
    return maker.empty() ? DeviceIdValue(deviceId, L"MANUFACTURER") : maker;
}

std::wstring ModelOf(const std::wstring& deviceId) {
    const std::wstring model = DeviceIdValue(deviceId, L"MDL");
    return model.empty() ? DeviceIdValue(deviceId, L"MODEL") : model;
}

bool IsSupported(const SetupContext& setup, const UsbPrinterDevice& device) {
    if (!device.vid.empty() || !device.pid.empty())
        return IsSupportedPair(device.vid, device.pid);
    CString series;
    const std::wstring model = ModelOf(device.deviceId);
    return SameNameIgnoringCase(MakerOf(device.deviceId), kMaker) && !model.empty() &&
           setup.FindModelSeries(series, model.c_str()) != 0;
}

}  // namespace

Discovery DiscoverUsbPrinter(const SetupContext& setup, DiscoveredUsbPrinter& found) {
    IQueueSetupService* system = Services().queueSetup;
    std::vector<UsbPrinterDevice> devices;
    if (system == nullptr || !system->ListUsbPrinters(devices)) {
        LogFailure(L"Could not ask the print system for USB printers");
        return Discovery::kUnknown;
    }
    for (const UsbPrinterDevice& device : devices) {
        if (!IsSupported(setup, device))
            continue;
        found.printer.vid = device.vid;
        found.printer.pid = device.pid;
        found.printer.model = ModelOf(device.deviceId);
        found.uri = device.uri;
        LogLine(LogLevel::kInformation, L"USB printer found: " + device.uri +
                                            L", reported model \"" + found.printer.model + L"\".");
        return Discovery::kFound;
    }
    LogLine(LogLevel::kInformation, L"No supported USB printer is connected.");
    return Discovery::kNone;
}
