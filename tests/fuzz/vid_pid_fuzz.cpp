#include <algorithm>
#include <cstdint>
#include <string>

#include "detect/supported_devices.h"
#include "detect/usb_port.h"
#include "platform/standin/wide_text.h"
#include "tests/fuzz/fuzz_check.h"

// The input is a device path or device instance ID, read as UTF-8. The identifiers found must be
// the (at most) four characters after the first "VID_" and "PID_" of the text with its ASCII
// letters upper-cased; a text of 260 characters or more, or one without both keys, must leave
// them as they were. Only a pair of the table is supported.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring input = DecodeUtf8(std::string(reinterpret_cast<const char*>(data), size));
    const std::wstring text = input.substr(0, input.find(L'\0'));
    std::wstring upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - 0x20 : c; });
    const size_t vidAt = upper.find(L"VID_");
    const size_t pidAt = upper.find(L"PID_");
    const bool parses =
        text.size() < 260 && vidAt != std::wstring::npos && pidAt != std::wstring::npos;

    CUSBPort port;
    CString vid = L"kept";
    CString pid = L"kept";
    FUZZ_CHECK(port.ParseVidPid(input.c_str(), vid, pid) == (parses ? 1 : 0));
    if (parses) {
        FUZZ_CHECK(vid == upper.substr(vidAt + 4, 4) && pid == upper.substr(pidAt + 4, 4));
    } else {
        FUZZ_CHECK(vid == L"kept" && pid == L"kept");
    }

    const bool listed = parses && std::any_of(supportedDevices.begin(), supportedDevices.end(),
                                              [&](const SupportedDevice& d) {
                                                  return vid == d.vid && pid == d.pid;
                                              });
    FUZZ_CHECK(port.IsSupportedDevice(input.c_str(), vid, pid) == (listed ? 1 : 0));
    return 0;
}
