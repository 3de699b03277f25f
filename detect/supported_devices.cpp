#include "detect/supported_devices.h"

// The maker's configuration. These are placeholders until the maker's USB product list is at hand:
// the real pairs are the vendor and product identifiers that the printers report in their USB
// device descriptors, which the maker assigns (the vendor identifier comes from the USB-IF).
const std::array<SupportedDevice, 8> supportedDevices = {{
    {L"FFF0", L"0001"},
    {L"FFF0", L"0002"},
    {L"FFF0", L"0003"},
    {L"FFF0", L"0004"},
    {L"FFF0", L"0010"},
    {L"FFF0", L"0011"},
    {L"FFF1", L"0001"},
    {L"FFF1", L"0024"},
}};
