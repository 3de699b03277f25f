#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

#include "detect/usb_port.h"
#include "platform/services.h"

namespace {

constexpr int kValueCapacity = 256;
constexpr uint32_t kEntryNameCapacity = 256;
// Longer entry names are passed over: with the subkeys appended they would not fit the paths the
// system itself builds from them.
constexpr size_t kLongestEntryName = 243;
constexpr uint32_t kValueBytes = 520;

const wchar_t* ValueName(InterfaceValue selector) {
    switch (selector) {
        case InterfaceValue::DeviceInstance:
            return L"DeviceInstance";
        case InterfaceValue::SymbolicLink:
            return L"SymbolicLink";
        case InterfaceValue::Linked:
            return L"Linked";
        case InterfaceValue::PortDescription:
            return L"Port Description";
        case InterfaceValue::PortNumber:
            return L"Port Number";
    }
    return L"";
}

// The entry's name and the subkeys that hold the selector's value, each ended by a NUL, the list
// by one more.
std::wstring SubkeyList(const wchar_t* entry, InterfaceValue selector) {
    std::wstring list = std::wstring(entry) + L'\0';
    switch (selector) {
        case InterfaceValue::DeviceInstance:
            break;
        case InterfaceValue::SymbolicLink:
            list += std::wstring(L"#") + L'\0';
            break;
        case InterfaceValue::Linked:
            list += std::wstring(L"#") + L'\0' + L"Control" + L'\0';
            break;
        case InterfaceValue::PortDescription:
        case InterfaceValue::PortNumber:
            list += std::wstring(L"#") + L'\0' + L"Device Parameters" + L'\0';
            break;
    }
    return list + L'\0';
}

// Leading blanks, a sign and the leading digits, as a C runtime reads an int; no digits give 0,
// and a number beyond the range of int is held at its end.
int LeadingNumber(const wchar_t* text) {
    while (*text == L' ' || (*text >= L'\t' && *text <= L'\r'))
        ++text;
    const bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+')
        ++text;
    const long long limit = negative ? -static_cast<long long>(std::numeric_limits<int>::min())
                                     : std::numeric_limits<int>::max();
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = std::min(value * 10 + (*text - L'0'), limit);
    }
    return static_cast<int>(negative ? -value : value);
}

CString PortNameOf(int number) {
    wchar_t name[32];
    std::swprintf(name, 32, L"USB%03d", number);
    return name;
}

}  // namespace

int CUSBPort::FindPortName(CString& portName) {
    CString vid;
    CString pid;
    wchar_t value[kValueCapacity] = {};
    if (OpenDevice(vid, pid) == 0) {
        Close();
        return 0;
    }

    int result = 0;
    int noMore = 0;
    for (int n = 0; noMore == 0; ++n) {
        if (ReadInterfaceValue(InterfaceValue::Linked, n, value, kValueCapacity, noMore) != 1 ||
            std::wcscmp(value, L"1") != 0) {
            continue;
        }
        if (ReadInterfaceValue(InterfaceValue::DeviceInstance, n, value, kValueCapacity, noMore) !=
            1) {
            continue;
        }
        CString entryVid;
        CString entryPid;
        if (ParseVidPid(value, entryVid, entryPid) != 1 || entryVid != vid || entryPid != pid) {
            continue;
        }
        // The first active entry of the device decides, whether or not it has a port number.
        if (ReadInterfaceValue(InterfaceValue::PortNumber, n, value, kValueCapacity, noMore) == 1) {
            portName = PortNameOf(LeadingNumber(value));
            result = 1;
        }
        break;
    }
    Close();
    return result;
}

int CUSBPort::ReadInterfaceValue(InterfaceValue selector, int index, wchar_t* out, int capacity,
                                 int& noMore) {
    noMore = 0;
    IInterfaceRegistryService* registry = Services().interfaceRegistry;
    RegistryKey classKey = registry != nullptr ? registry->OpenClassKey() : nullptr;
    if (classKey == nullptr || index < 0) {
        // Without the class key no entry can be read at any index: saying so ends the caller's
        // walk instead of letting it ask for ever.
        noMore = 1;
        return 0;
    }

    int result = 0;
    wchar_t name[kEntryNameCapacity] = {};
    switch (
        registry->EnumSubkey(classKey, static_cast<uint32_t>(index), name, kEntryNameCapacity)) {
        case SubkeyResult::kNoMore:
            noMore = 1;
            break;
        case SubkeyResult::kFailed:
            break;
        case SubkeyResult::kFound:
            if (std::wcslen(name) <= kLongestEntryName) {
                const std::wstring subkeys = SubkeyList(name, selector);
                if (RegistryKey key = OpenKeyPath(classKey, subkeys.c_str())) {
                    result = QueryValue(key, selector, out, capacity);
                    registry->CloseKey(key);
                }
            }
            break;
    }
    registry->CloseKey(classKey);
    return result;
}

RegistryKey CUSBPort::OpenKeyPath(RegistryKey parent, const wchar_t* subkeys) {
    IInterfaceRegistryService* registry = Services().interfaceRegistry;
    if (registry == nullptr || parent == nullptr || subkeys == nullptr)
        return nullptr;
    RegistryKey current = parent;
    for (const wchar_t* name = subkeys; *name != L'\0'; name += std::wcslen(name) + 1) {
        RegistryKey next = registry->OpenSubkey(current, name);
        // The parent belongs to the caller and is never closed here.
        if (current != parent)
            registry->CloseKey(current);
        if (next == nullptr)
            return nullptr;
        current = next;
    }
    return current != parent ? current : nullptr;
}

int CUSBPort::QueryValue(RegistryKey key, InterfaceValue selector, wchar_t* out, int capacity) {
    IInterfaceRegistryService* registry = Services().interfaceRegistry;
    if (registry == nullptr || out == nullptr || capacity <= 0)
        return 0;
    uint8_t data[kValueBytes];
    uint32_t size = 0;
    uint32_t type = 0;
    if (!registry->QueryValue(key, ValueName(selector), data, kValueBytes, size, type))
        return 0;
    if (size > 2u * static_cast<uint32_t>(capacity))
        return 0;

    if (type == kRegistryDword) {
        if (size < sizeof(int32_t))
            return 0;
        int32_t number = 0;
        std::memcpy(&number, data, sizeof number);
        return std::swprintf(out, static_cast<size_t>(capacity), L"%d", number) > 0 ? 1 : 0;
    }
    // Other values are copied as stored: UTF-16 units, one character each. A text stored without
    // its terminator gets one, so that nothing of an earlier, longer value shows through.
    const uint32_t units = size / 2;
    for (uint32_t i = 0; i < units; ++i) {
        out[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    if (units == 0 || out[units - 1] != L'\0') {
        if (units >= static_cast<uint32_t>(capacity))
            return 0;
        out[units] = L'\0';
    }
    return 1;
}
