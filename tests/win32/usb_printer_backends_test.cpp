#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_interface_registry_service.h"
#include "platform/win32/win32_text_conversion_service.h"
#include "platform/win32/win32_usb_printer_service.h"
#include "tests/win32/registry_usb_printers.h"

// The Windows backends of the USB printer detection against Wine's real registry and SetupDi*
// enumeration, with printers written by CRegistryUsbPrinters. Other test cases share the prefix,
// so each uses a VID of its own and looks only at its own entries.
namespace {

using Link = CRegistryUsbPrinters::Link;

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

// The paths of the listed interfaces that hold `part` (in lower case: Wine hands the paths out in
// lower case), lowered.
std::vector<std::wstring> ListedPaths(IUsbPrinterService& service, const std::wstring& part) {
    std::vector<std::wstring> paths;
    InterfaceListHandle list = service.OpenInterfaceList();
    EXPECT_NE(list, nullptr);
    if (list == nullptr)
        return paths;
    std::wstring path;
    for (uint32_t index = 0; index < 1000; ++index) {
        const InterfacePathResult result = service.GetInterfacePath(list, index, path);
        if (result == InterfacePathResult::kEnd)
            break;
        EXPECT_EQ(result, InterfacePathResult::kFound) << "at index " << index;
        if (result == InterfacePathResult::kFound && Lower(path).find(part) != std::wstring::npos)
            paths.push_back(Lower(path));
    }
    service.CloseInterfaceList(list);
    return paths;
}

// Closes a key of the service under test at the end of its scope, failed assertions included.
class CScopedKey {
  public:
    CScopedKey(IInterfaceRegistryService& service, RegistryKey key)
        : m_service(service), m_key(key) {}
    ~CScopedKey() {
        if (m_key != nullptr)
            m_service.CloseKey(m_key);
    }
    CScopedKey(const CScopedKey&) = delete;
    CScopedKey& operator=(const CScopedKey&) = delete;
    RegistryKey get() const { return m_key; }

  private:
    IInterfaceRegistryService& m_service;
    RegistryKey m_key;
};

// A string as the registry stores it: UTF-16LE with its terminator.
std::vector<uint8_t> Utf16Bytes(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    for (wchar_t c : text + L'\0') {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return bytes;
}

TEST(UsbPrinterServiceTest, ListsTheActiveInterfacesWrittenToTheRegistry) {
    CWin32UsbPrinterService service;
    {
        CRegistryUsbPrinters printers;
        ASSERT_TRUE(printers.Add(L"1A01", L"0001", L"SN-A", Link::kActive, 1));
        ASSERT_TRUE(printers.Add(L"1A01", L"0002", L"SN-B"));
        ASSERT_TRUE(printers.Add(L"1A01", L"0003", L"SN-C", Link::kInactive));
        ASSERT_TRUE(printers.Add(L"1A01", L"0004", L"SN-D", Link::kNoValue));

        std::vector<std::wstring> paths = ListedPaths(service, L"vid_1a01&");
        std::sort(paths.begin(), paths.end());
        const std::wstring guid = L"{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
        EXPECT_EQ(paths, (std::vector<std::wstring>{
                             L"\\\\?\\usb#vid_1a01&pid_0001#sn-a#" + guid,
                             L"\\\\?\\usb#vid_1a01&pid_0002#sn-b#" + guid,
                         }));

        // Past the last interface the walk ends, and the path is left alone.
        InterfaceListHandle list = service.OpenInterfaceList();
        ASSERT_NE(list, nullptr);
        std::wstring path;
        uint32_t end = 0;
        while (end < 1000 && service.GetInterfacePath(list, end, path) != InterfacePathResult::kEnd)
            ++end;
        EXPECT_GE(end, 2u);
        path = L"untouched";
        EXPECT_EQ(service.GetInterfacePath(list, end, path), InterfacePathResult::kEnd);
        EXPECT_EQ(service.GetInterfacePath(list, end + 100, path), InterfacePathResult::kEnd);
        EXPECT_EQ(path, L"untouched");
        service.CloseInterfaceList(list);
    }
    EXPECT_TRUE(ListedPaths(service, L"vid_1a01&").empty());
}

TEST(UsbPrinterServiceTest, NothingAnswersLikeAPrinterUnderWine) {
    CWin32UsbPrinterService service;
    CRegistryUsbPrinters printers;
    ASSERT_TRUE(printers.Add(L"1A02", L"0001", L"SN-E"));
    const std::vector<std::wstring> paths = ListedPaths(service, L"vid_1a02&");
    ASSERT_EQ(paths.size(), 1u);

    // No device stands behind a listed path.
    EXPECT_EQ(service.OpenDevice(paths[0]), InvalidDeviceHandle());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A handle that is no printer refuses the request at once; the outputs stay as they were.
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameW(folder, L"kv", 0, file), 0u);
    HANDLE raw = CreateFileW(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    const std::unique_ptr<void, decltype(&CloseHandle)> handle(raw, &CloseHandle);
    uint8_t buffer[64] = {0xA5};
    uint32_t returned = 77;
    EXPECT_FALSE(service.RequestDeviceId(handle.get(), buffer, sizeof(buffer), returned));
    EXPECT_EQ(buffer[0], 0xA5);
    EXPECT_EQ(returned, 77u);
}

TEST(UsbInterfaceRegistryServiceTest, ReadsTheEntriesBelowTheClassKey) {
    CRegistryUsbPrinters printers;
    ASSERT_TRUE(printers.Add(L"1A03", L"0001", L"SN-F", Link::kActive, 7));
    ASSERT_TRUE(printers.Add(L"1A03", L"0002", L"SN-G"));
    const std::wstring withPort = CRegistryUsbPrinters::EntryName(L"1A03", L"0001", L"SN-F");
    const std::wstring withoutPort = CRegistryUsbPrinters::EntryName(L"1A03", L"0002", L"SN-G");

    CWin32InterfaceRegistryService service;
    const CScopedKey classKey(service, service.OpenClassKey());
    ASSERT_NE(classKey.get(), nullptr);

    std::vector<std::wstring> names;
    wchar_t name[256];
    uint32_t index = 0;
    for (; index < 1000; ++index) {
        const SubkeyResult result = service.EnumSubkey(classKey.get(), index, name, 256);
        if (result != SubkeyResult::kFound) {
            EXPECT_EQ(result, SubkeyResult::kNoMore);
            break;
        }
        names.push_back(name);
    }
    EXPECT_EQ(std::count(names.begin(), names.end(), withPort), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), withoutPort), 1);
    EXPECT_EQ(service.EnumSubkey(classKey.get(), index, name, 256), SubkeyResult::kNoMore);
    // Every entry name is longer than 8 characters.
    EXPECT_EQ(service.EnumSubkey(classKey.get(), 0, name, 8), SubkeyResult::kFailed);

    const CScopedKey entry(service, service.OpenSubkey(classKey.get(), withPort.c_str()));
    ASSERT_NE(entry.get(), nullptr);
    uint8_t data[512];
    uint32_t size = 0;
    uint32_t type = 0;
    ASSERT_TRUE(service.QueryValue(entry.get(), L"DeviceInstance", data, sizeof(data), size, type));
    EXPECT_EQ(type, kRegistryString);
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), Utf16Bytes(L"USB\\VID_1A03&PID_0001\\SN-F"));
    EXPECT_FALSE(service.QueryValue(entry.get(), L"DeviceInstance", data, 8, size, type));
    EXPECT_FALSE(service.QueryValue(entry.get(), L"No Such Value", data, sizeof(data), size, type));

    const CScopedKey parameters(service, service.OpenSubkey(entry.get(), L"#\\Device Parameters"));
    ASSERT_NE(parameters.get(), nullptr);
    ASSERT_TRUE(
        service.QueryValue(parameters.get(), L"Port Number", data, sizeof(data), size, type));
    EXPECT_EQ(type, kRegistryDword);
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), (std::vector<uint8_t>{7, 0, 0, 0}));

    const CScopedKey other(service, service.OpenSubkey(classKey.get(), withoutPort.c_str()));
    ASSERT_NE(other.get(), nullptr);
    const CScopedKey otherParameters(service,
                                     service.OpenSubkey(other.get(), L"#\\Device Parameters"));
    ASSERT_NE(otherParameters.get(), nullptr);
    EXPECT_FALSE(
        service.QueryValue(otherParameters.get(), L"Port Number", data, sizeof(data), size, type));

    const CScopedKey missing(service,
                             service.OpenSubkey(classKey.get(), L"##?#USB#VID_1A03&PID_FFFF#NONE"));
    EXPECT_EQ(missing.get(), nullptr);
}

TEST(TextConversionServiceTest, ConvertsAsciiAndEmptyText) {
    CWin32TextConversionService service;
    EXPECT_EQ(service.AnsiToWide("MFG:Korvel;MDL:Pavonis 24;CLS:PRINTER;"),
              L"MFG:Korvel;MDL:Pavonis 24;CLS:PRINTER;");
    EXPECT_EQ(service.AnsiToWide(""), L"");
}

}  // namespace
