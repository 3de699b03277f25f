#include <algorithm>
#include <string>

#include "detect/supported_devices.h"
#include "detect/usb_port.h"

namespace {

// The working copy of a device text holds 260 characters with its terminator; a longer text is
// refused rather than cut, since a cut path could lose the identifiers it is searched for.
constexpr size_t kTextWidth = 260;
constexpr size_t kIdLength = 4;

wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? c - 0x20 : c;
}

}  // namespace

int CUSBPort::ParseVidPid(const wchar_t* text, CString& vid, CString& pid) {
    if (text == nullptr)
        return 0;
    std::wstring upper(text);
    if (upper.size() >= kTextWidth)
        return 0;
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);

    const size_t vidAt = upper.find(L"VID_");
    if (vidAt == std::wstring::npos)
        return 0;
    // The product key is searched from the start, so it may stand before the vendor key.
    const size_t pidAt = upper.find(L"PID_");
    if (pidAt == std::wstring::npos)
        return 0;
    vid = upper.substr(vidAt + 4, kIdLength);
    pid = upper.substr(pidAt + 4, kIdLength);
    return 1;
}

int CUSBPort::IsSupportedDevice(const wchar_t* path, CString& vid, CString& pid) {
    if (ParseVidPid(path, vid, pid) == 0)
        return 0;
    for (const SupportedDevice& device : supportedDevices) {
        if (vid == device.vid && pid == device.pid)
            return 1;
    }
    return 0;
}
