#include "tests/win32/registry_usb_printers.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

// What Wine 8's SetupDiGetClassDevsW(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE) needs to list a USB
// printer interface, found by writing everything below and then leaving out one piece at a time:
//   - below the class key, an entry whose `DeviceInstance` (REG_SZ) names a key below `Enum`
//     holding a `ClassGUID` string in braces (any class will do); without the value, the key or
//     the class, the interface is not listed;
//   - below the entry, a subkey whose name starts with `#`, holding a `Control` key whose `Linked`
//     DWORD is not 0; with `Linked` 0 or absent, only a list made without DIGCF_PRESENT has it.
// `SymbolicLink` and `Device Parameters` make no difference to the list: Wine makes the path
// itself, in lower case, from the instance ID and the interface GUID
// (`\\?\usb#vid_1a2b&pid_0001#serial#{28d78fad-...}`). Both are written because Windows has
// them and the detector reads `Device Parameters`.
namespace {

const wchar_t kClassKey[] =
    L"System\\CurrentControlSet\\Control\\DeviceClasses\\"
    L"{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}";
const wchar_t kInterfaceGuid[] = L"{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const wchar_t kEnumKey[] = L"System\\CurrentControlSet\\Enum";
// The setup class of USB devices, which the USB printing support device node belongs to.
const wchar_t kUsbClassGuid[] = L"{36FC9E60-C465-11CF-8056-444553540000}";
const wchar_t kTurnMutex[] = L"Local\\KorvelRegistryUsbPrinters";
// Far longer than any test holds its turn, and shorter than the time-out of a test case.

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CreateSubkey(HKEY parent, const wchar_t* name, UniqueKey& key) {
    HKEY raw = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << "creating " << testing::PrintToString(name);
    key.reset(status == ERROR_SUCCESS ? raw : nullptr);
    return status == ERROR_SUCCESS;
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    const LSTATUS status =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(status, ERROR_SUCCESS) << "writing " << testing::PrintToString(name);
    return status == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
    const LSTATUS status = RegSetValueExW(key, name, 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&value), sizeof(value));
    EXPECT_EQ(status, ERROR_SUCCESS) << "writing " << testing::PrintToString(name);
    return status == ERROR_SUCCESS;
}

}  // namespace

CRegistryUsbPrinters::CRegistryUsbPrinters() : m_turn(kTurnMutex) {}

CRegistryUsbPrinters::~CRegistryUsbPrinters() {
    for (auto it = m_written.rbegin(); it != m_written.rend(); ++it) {
        const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, it->c_str());
        EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
            << "deleting " << testing::PrintToString(*it) << ": error " << status;
    }
}

std::wstring CRegistryUsbPrinters::EntryName(const std::wstring& vid, const std::wstring& pid,
                                             const std::wstring& serial) {
    return L"##?#USB#VID_" + vid + L"&PID_" + pid + L"#" + serial + L"#" + kInterfaceGuid;
}

bool CRegistryUsbPrinters::CreateKey(const std::wstring& path, HKEY& key) {
    // RegCreateKeyExW makes every missing key on the path; the highest of them is the one to
    // delete. That may be the interface class key itself, whose absence Wine answers
    // differently (SetupDiOpenClassRegKeyExW then fails), so it must not be left behind.
    std::wstring deleteFrom = path;
    for (size_t end = path.find(L'\\'); end != std::wstring::npos;
         end = path.find(L'\\', end + 1)) {
        if (!KeyExists(path.substr(0, end))) {
            deleteFrom = path.substr(0, end);
            break;
        }
    }
    const LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << "creating " << testing::PrintToString(path);
    if (status != ERROR_SUCCESS)
        return false;
    m_written.push_back(deleteFrom);
    return true;
}

bool CRegistryUsbPrinters::Add(const std::wstring& vid, const std::wstring& pid,
                               const std::wstring& serial, Link link,
                               std::optional<DWORD> portNumber) {
    const std::wstring device = L"VID_" + vid + L"&PID_" + pid;
    const std::wstring instance = L"USB\\" + device + L"\\" + serial;

    HKEY raw = nullptr;
    if (!CreateKey(std::wstring(kEnumKey) + L"\\" + instance, raw))
        return false;
    UniqueKey deviceKey(raw);
    if (!SetString(deviceKey.get(), L"ClassGUID", kUsbClassGuid))
        return false;

    if (!CreateKey(std::wstring(kClassKey) + L"\\" + EntryName(vid, pid, serial), raw))
        return false;
    UniqueKey entry(raw);
    UniqueKey reference, control, parameters;
    const std::wstring symbolicLink =
        L"\\\\?\\USB#" + device + L"#" + serial + L"#" + kInterfaceGuid;
    if (!SetString(entry.get(), L"DeviceInstance", instance) ||
        !CreateSubkey(entry.get(), L"#", reference) ||
        !SetString(reference.get(), L"SymbolicLink", symbolicLink) ||
        !CreateSubkey(reference.get(), L"Control", control) ||
        !CreateSubkey(reference.get(), L"Device Parameters", parameters))
        return false;
    if (link != Link::kNoValue && !SetDword(control.get(), L"Linked", link == Link::kActive))
        return false;
    if (portNumber && !SetDword(parameters.get(), L"Port Number", *portNumber))
        return false;
    return SetString(parameters.get(), L"Base Name", L"USB");
}
