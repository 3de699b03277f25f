#include <cstdint>
#include <string>

#include "platform/services.h"
#include "platform/standin/standin_text_conversion_service.h"
#include "platform/standin/wide_text.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_usb_printer_service.h"
#include "tests/fuzz/fuzz_check.h"

// The input is a supported USB printer's whole reply to the device ID request. The fake service
// hands back as much of it as fits the detection's buffer and fills the rest of the buffer with
// junk. The model found must be the MDL value of the text the device returned, and the device
// must be closed again.
namespace {

constexpr size_t kReplyBytes = 1024;

// The reply's text (after its two length bytes, up to a NUL) and in it the value of "MDL:" up to
// its ";".
CString ExpectedModel(const std::string& reply) {
    const std::string returned = reply.substr(0, kReplyBytes);
    if (returned.size() <= 2)
        return CString();
    const std::string text = returned.substr(2, returned.find('\0', 2) - 2);
    const std::wstring deviceId = DecodeLatin1(text);
    const size_t key = deviceId.find(L"MDL:");
    const size_t end = key == std::wstring::npos ? key : deviceId.find(L';', key + 4);
    return end == std::wstring::npos ? CString() : deviceId.substr(key + 4, end - key - 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    CFakeUsbPrinterService usb;
    usb.interfaces.push_back(
        {L"\\\\?\\usb#vid_fff0&pid_0001#S1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", false, false,
         reply});
    CStandInTextConversionService text;
    const CScopedServices services{{nullptr, nullptr, &usb, nullptr, &text}};

    const SetupContext context;
    CString model = L"stale";
    FUZZ_CHECK(context.DetectUsbPrinterModel(model) == 1);
    FUZZ_CHECK(model == ExpectedModel(reply));
    FUZZ_CHECK(usb.deviceIdRequests == 1 && usb.AllReleased());
    return 0;
}
