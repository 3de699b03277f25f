#include <algorithm>
#include <cstring>
#include <string>

#include "detect/usb_port.h"
#include "platform/log_sink.h"
#include "platform/services.h"
#include "platform/text_conversion_service.h"
#include "setupdata/setup_context.h"

namespace {

constexpr uint32_t kReplyBytes = 1024;
// The USB printer class puts a two-byte big-endian length in front of the device ID text.
constexpr uint32_t kLengthBytes = 2;

// The device ID text: from the third byte up to the first NUL, never past the bytes the device
// returned or the buffer's end.
std::string DeviceIdText(const uint8_t* reply, uint32_t bytesReturned) {
    const uint32_t end = std::min(bytesReturned, kReplyBytes);
    if (end <= kLengthBytes)
        return std::string();
    const auto* begin = reinterpret_cast<const char*>(reply + kLengthBytes);
    const auto* stop = reinterpret_cast<const char*>(reply + end);
    return std::string(begin, std::find(begin, stop, '\0'));
}

// The value of the "MDL:" key up to its ";", unchanged; empty when there is no key or no ";".
CString ModelOf(const std::wstring& deviceId) {
    const size_t key = deviceId.find(L"MDL:");
    if (key == std::wstring::npos)
        return CString();
    const size_t start = key + 4;
    const size_t end = deviceId.find(L';', start);
    if (end == std::wstring::npos)
        return CString();
    return deviceId.substr(start, end - start);
}

}  // namespace

bool DetectUsbPrinter(DetectedUsbPrinter& printer) {
    CUSBPort port;
    DetectedUsbPrinter found;
    const int opened = port.OpenDevice(found.vid, found.pid);

    // A failed or unanswered request leaves the reply zero-filled, and so the model empty.
    uint8_t reply[kReplyBytes] = {};
    uint32_t bytesReturned = 0;
    port.GetDeviceId(reply, kReplyBytes, bytesReturned);
    // The device was opened for this program alone, so no other program (the spooler among them)
    // can reach it while it is open: it is closed as soon as its reply is in, before the model is
    // worked out.
    port.Close();
    if (opened != 1) {
        LogLine(LogLevel::kInformation, L"No supported USB printer is connected.");
        return false;
    }
    const std::string text = DeviceIdText(reply, bytesReturned);
    ITextConversionService* conversion = Services().textConversion;
    found.model =
        conversion != nullptr && !text.empty() ? ModelOf(conversion->AnsiToWide(text)) : CString();
    LogLine(LogLevel::kInformation, L"USB printer found: VID_" + found.vid + L" PID_" + found.pid +
                                        L", reported model \"" + found.model + L"\".");
    printer = found;
    return true;
}

int32_t SetupContext::DetectUsbPrinterModel(CString& model) const {
    DetectedUsbPrinter printer;
    const bool found = DetectUsbPrinter(printer);
    model = printer.model;
    return found ? 1 : 0;
}
