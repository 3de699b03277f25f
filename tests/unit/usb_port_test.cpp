#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "detect/supported_devices.h"
#include "detect/usb_port.h"
#include "platform/services.h"
#include "platform/standin/standin_text_conversion_service.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/fake_interface_registry_service.h"
#include "tests/fakes/fake_usb_printer_service.h"

namespace {

using Registry = CFakeInterfaceRegistryService;

// A device interface path as the system forms it.
std::wstring PathOf(const std::wstring& vid, const std::wstring& pid, const std::wstring& serial) {
    return L"\\\\?\\usb#vid_" + vid + L"&pid_" + pid + L"#" + serial +
           L"#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
}

// The registry entry name and device instance of an interface.
std::wstring EntryOf(const std::wstring& vid, const std::wstring& pid, const std::wstring& serial) {
    return L"##?#USB#VID_" + vid + L"&PID_" + pid + L"#" + serial +
           L"#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
}
std::wstring InstanceOf(const std::wstring& vid, const std::wstring& pid,
                        const std::wstring& serial) {
    return L"USB\\VID_" + vid + L"&PID_" + pid + L"\\" + serial;
}

// Notes whether the USB printer device was still open when the detection converted its reply.
class CDeviceWatchingConversion : public CStandInTextConversionService {
  public:
    explicit CDeviceWatchingConversion(const CFakeUsbPrinterService& usb) : m_usb(usb) {}

    std::wstring AnsiToWide(const std::string& text) override {
        deviceOpen = !m_usb.AllReleased();
        return CStandInTextConversionService::AnsiToWide(text);
    }

    std::optional<bool> deviceOpen;  // none until a conversion

  private:
    const CFakeUsbPrinterService& m_usb;
};

class UsbPortTest : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_TRUE(usb.AllReleased());
        EXPECT_TRUE(registry.AllReleased());
    }

    // A supported printer (the first pair of the table) reporting `deviceId`.
    void AddSupportedPrinter(const std::string& deviceId, const std::wstring& serial = L"S1") {
        usb.interfaces.push_back({PathOf(L"fff0", L"0001", serial), false, false,
                                  CFakeUsbPrinterService::DeviceIdReply(deviceId)});
    }

    CFakeUsbPrinterService usb;
    Registry registry;
    CStandInTextConversionService text;
    CScopedServices services{{nullptr, nullptr, &usb, &registry, &text}};
    CUSBPort port;
};

TEST_F(UsbPortTest, ParseVidPidUpperCasesAndFindsBothKeysAnywhere) {
    CString vid = L"old";
    CString pid = L"old";
    EXPECT_EQ(port.ParseVidPid(L"usb\\vid_04b8&pid_0e1f\\x", vid, pid), 1);
    EXPECT_EQ(vid, L"04B8");
    EXPECT_EQ(pid, L"0E1F");
    EXPECT_EQ(port.ParseVidPid(L"PID_1234&VID_ABCD", vid, pid), 1);
    EXPECT_EQ(vid, L"ABCD");
    EXPECT_EQ(pid, L"1234");
    EXPECT_EQ(port.ParseVidPid(L"PID_0001&VID_FF", vid, pid), 1);  // the text ends early
    EXPECT_EQ(vid, L"FF");

    vid = pid = L"kept";
    EXPECT_EQ(port.ParseVidPid(L"USB\\VID_FFF0\\x", vid, pid), 0);
    EXPECT_EQ(port.ParseVidPid(L"USB\\PID_0001\\x", vid, pid), 0);
    // A text too long for the working copy is refused, not cut.
    EXPECT_EQ(port.ParseVidPid((L"VID_FFF0&PID_0001" + std::wstring(243, L'x')).c_str(), vid, pid),
              0);
    EXPECT_EQ(vid, L"kept");
    EXPECT_EQ(pid, L"kept");
    EXPECT_EQ(port.ParseVidPid((L"VID_FFF0&PID_0001" + std::wstring(242, L'x')).c_str(), vid, pid),
              1);
}

TEST_F(UsbPortTest, OnlyTheTablesPairsAreSupported) {
    CString vid;
    CString pid;
    for (const SupportedDevice& device : supportedDevices) {
        EXPECT_EQ(port.IsSupportedDevice(PathOf(device.vid, device.pid, L"S").c_str(), vid, pid), 1)
            << vid << L" " << pid;
    }
    EXPECT_EQ(port.IsSupportedDevice(PathOf(L"fff0", L"0001", L"s").c_str(), vid, pid), 1);
    // FFF0 is listed, and so is 0024, but not together; the identifiers are still handed back.
    EXPECT_EQ(port.IsSupportedDevice(PathOf(L"FFF0", L"0024", L"S").c_str(), vid, pid), 0);
    EXPECT_EQ(vid, L"FFF0");
    EXPECT_EQ(pid, L"0024");
    EXPECT_EQ(port.IsSupportedDevice(PathOf(L"FFF", L"0001", L"S").c_str(), vid, pid), 0);
}

TEST_F(UsbPortTest, NoPrinterOrNoListFindsNothing) {
    SetupContext context;
    CString model = L"stale";
    EXPECT_EQ(context.DetectUsbPrinterModel(model), 0);
    EXPECT_EQ(model, L"");

    usb.failList = true;
    AddSupportedPrinter("MDL:RV-90;");
    CString vid;
    CString pid;
    EXPECT_EQ(port.OpenDevice(vid, pid), 0);
    EXPECT_EQ(port.deviceHandle, InvalidDeviceHandle());
}

TEST_F(UsbPortTest, TheFirstSupportedInterfaceThatOpensWins) {
    usb.interfaces = {
        {PathOf(L"FFF0", L"0002", L"UNREADABLE"), false, true, std::nullopt},
        {PathOf(L"1234", L"5678", L"OTHER"), false, false, std::nullopt},
        {PathOf(L"FFF0", L"0002", L"HELD"), true, false, std::nullopt},
        {PathOf(L"FFF0", L"0002", L"LONG" + std::wstring(200, L'x')), false, false, std::nullopt},
        {PathOf(L"FFF1", L"0024", L"FIRST"), false, false, std::nullopt},
        {PathOf(L"FFF0", L"0001", L"SECOND"), false, false, std::nullopt},
    };
    CString vid;
    CString pid;
    ASSERT_EQ(port.OpenDevice(vid, pid), 1);
    EXPECT_EQ(vid, L"FFF1");
    EXPECT_EQ(pid, L"0024");
    // The unsupported printer was opened and closed again; the held one and the one whose path
    // does not fit 260 characters were never opened.
    EXPECT_EQ(usb.openedPaths,
              (std::vector<std::wstring>{usb.interfaces[1].path, usb.interfaces[4].path}));
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Close(), 0);
}

TEST_F(UsbPortTest, TheWalkStopsAfter127Interfaces) {
    for (int i = 0; i < 200; ++i) {
        usb.interfaces.push_back(
            {PathOf(L"1234", L"5678", std::to_wstring(i)), false, false, std::nullopt});
    }
    usb.interfaces.back().path = PathOf(L"FFF0", L"0001", L"LAST");
    CString vid;
    CString pid;
    EXPECT_EQ(port.OpenDevice(vid, pid), 0);
    EXPECT_EQ(usb.openedPaths.size(), 127u);
}

TEST_F(UsbPortTest, TheModelIsTheMdlValueUpToItsSemicolon) {
    const struct {
        std::string deviceId;
        std::wstring model;
    } cases[] = {
        {"MFG:KORVEL;CMD:ESC/P;MDL:RV 1800 K;CLS:PRINTER;", L"RV 1800 K"},  // inner blanks kept
        {"MDL:RV-90;", L"RV-90"},  // shorter than 256 bytes: the first length byte is 0
        {"MFG:KORVEL;CMD:ESC/P;" + std::string(600, 'X') + ";MDL:RV-2400K;", L"RV-2400K"},
        {"MFG:KORVEL;MDL:RV-95", L""},     // the last field, with no ";" after it
        {"MFG:KORVEL;mdl:RV-95;", L""},    // the key in another case
        {"MFG:KORVEL;MODEL:RV-95;", L""},  // no key at all
        {"MDL: RV-95 ;", L" RV-95 "},      // used unchanged
        // the key with its colon, not "MDL" inside another field
        {"MFG:X;DES:MDL2 compatible;MDL:RV-90;", L"RV-90"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.deviceId);
        usb.interfaces.clear();
        AddSupportedPrinter(c.deviceId);
        SetupContext context;
        CString model = L"stale";
        EXPECT_EQ(context.DetectUsbPrinterModel(model), 1);
        EXPECT_EQ(model, c.model);
    }
}

TEST_F(UsbPortTest, ASilentPrinterIsFoundWithoutAModel) {
    usb.interfaces.push_back({PathOf(L"FFF0", L"0001", L"S"), false, false, std::nullopt});
    SetupContext context;
    CString model = L"stale";
    EXPECT_EQ(context.DetectUsbPrinterModel(model), 1);
    EXPECT_EQ(model, L"");
    EXPECT_EQ(usb.deviceIdRequests, 1);
}

TEST_F(UsbPortTest, TheDeviceIdIsReadNoFurtherThanTheBytesReturned) {
    // The reply holds "MDL:RV-90;" but the device reports only the bytes up to "RV-9".
    std::string reply = CFakeUsbPrinterService::DeviceIdReply("MDL:RV-90;");
    AddSupportedPrinter("");
    usb.interfaces.back().deviceIdReply = reply.substr(0, 10);
    SetupContext context;
    CString model;
    EXPECT_EQ(context.DetectUsbPrinterModel(model), 1);
    EXPECT_EQ(model, L"");
}

TEST_F(UsbPortTest, TheDeviceIsClosedBeforeItsReplyIsConverted) {
    // The detection's own port still lives then, so a missing Close shows here although the
    // port's destructor would close the device by the time the detection returns.
    AddSupportedPrinter("MDL:RV-90;");
    CDeviceWatchingConversion conversion(usb);
    const CScopedServices watched{{nullptr, nullptr, &usb, &registry, &conversion}};
    SetupContext context;
    CString model;
    EXPECT_EQ(context.DetectUsbPrinterModel(model), 1);
    EXPECT_EQ(model, L"RV-90");
    EXPECT_EQ(conversion.deviceOpen, false);
}

TEST_F(UsbPortTest, WithNoDeviceOpenNothingIsAskedOfTheSystem) {
    uint8_t buffer[16] = {};
    uint32_t returned = 7;
    EXPECT_EQ(port.GetDeviceId(buffer, sizeof buffer, returned), 0);
    EXPECT_EQ(returned, 7u);
    EXPECT_EQ(port.Close(), 0);
    port.deviceHandle = nullptr;
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(usb.deviceIdRequests, 0);
}

class UsbPortLookupTest : public UsbPortTest {
  protected:
    // An entry of the supported printer of AddSupportedPrinter.
    void AddEntry(const std::wstring& serial, const std::optional<Registry::Value>& linked,
                  const std::optional<Registry::Value>& portNumber) {
        registry.AddEntry(EntryOf(L"FFF0", L"0001", serial), InstanceOf(L"FFF0", L"0001", serial),
                          linked, portNumber);
    }
};

TEST_F(UsbPortLookupTest, ThePortNumberOfTheActiveEntryGivesThePortName) {
    const struct {
        Registry::Value number;
        std::wstring port;
    } cases[] = {
        {Registry::Dword(1), L"USB001"},       {Registry::Dword(12), L"USB012"},
        {Registry::Dword(1234), L"USB1234"},   {Registry::String(L"7 ports"), L"USB007"},
        {Registry::String(L"abc"), L"USB000"},
    };
    AddSupportedPrinter("MDL:RV-90;");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.port);
        registry.classKey.subkeys.clear();
        AddEntry(L"S1", Registry::Dword(1), c.number);
        CString portName = L"none";
        EXPECT_EQ(port.FindPortName(portName), 1);
        EXPECT_EQ(portName, c.port);
        EXPECT_EQ(port.deviceHandle, InvalidDeviceHandle());
    }
}

TEST_F(UsbPortLookupTest, InactiveForeignAndUnreadableEntriesArePassedOver) {
    AddSupportedPrinter("MDL:RV-90;");
    AddEntry(L"INACTIVE", Registry::Dword(0), Registry::Dword(5));
    AddEntry(L"UNLINKED", std::nullopt, Registry::Dword(6));
    AddEntry(L"TEXT", Registry::String(L"1"), Registry::Dword(7));    // "1" as text is active too
    registry.classKey.subkeys.back().name = std::wstring(244, L'n');  // but its name is too long
    registry.AddEntry(L"NOPID", L"USB\\VID_FFF0&XID_0001\\S", Registry::Dword(1),
                      Registry::Dword(8));
    registry.AddEntry(EntryOf(L"FFF0", L"0002", L"S"), InstanceOf(L"FFF0", L"0002", L"S"),
                      Registry::Dword(1), Registry::Dword(9));
    AddEntry(L"ACTIVE", Registry::Dword(1), Registry::Dword(3));
    AddEntry(L"LATER", Registry::Dword(1), Registry::Dword(4));

    CString portName;
    EXPECT_EQ(port.FindPortName(portName), 1);
    EXPECT_EQ(portName, L"USB003");
}

TEST_F(UsbPortLookupTest, AnEntryNameOf243CharactersIsStillRead) {
    AddSupportedPrinter("MDL:RV-90;");
    AddEntry(L"S", Registry::Dword(1), Registry::Dword(2));
    registry.classKey.subkeys.back().name = L"##?#USB#VID_FFF0&PID_0001#" + std::wstring(217, L'n');
    CString portName;
    EXPECT_EQ(port.FindPortName(portName), 1);
    EXPECT_EQ(portName, L"USB002");
}

TEST_F(UsbPortLookupTest, TheChosenEntryDecidesEvenWithoutAPortNumber) {
    AddSupportedPrinter("MDL:RV-90;");
    AddEntry(L"FIRST", Registry::Dword(1), std::nullopt);
    AddEntry(L"SECOND", Registry::Dword(1), Registry::Dword(2));
    CString portName = L"untouched";
    EXPECT_EQ(port.FindPortName(portName), 0);
    EXPECT_EQ(portName, L"untouched");
}

TEST_F(UsbPortLookupTest, WithoutAPrinterOrAClassKeyThereIsNoPort) {
    AddEntry(L"S1", Registry::Dword(1), Registry::Dword(1));
    CString portName = L"untouched";
    EXPECT_EQ(port.FindPortName(portName), 0);
    EXPECT_EQ(portName, L"untouched");
    EXPECT_EQ(registry.classKeyOpens, 0);

    // A class key that cannot be opened ends the walk at once instead of asking for ever.
    AddSupportedPrinter("MDL:RV-90;");
    registry.failClassKey = true;
    EXPECT_EQ(port.FindPortName(portName), 0);
    EXPECT_EQ(portName, L"untouched");
    EXPECT_EQ(registry.classKeyOpens, 1);
    EXPECT_EQ(port.deviceHandle, InvalidDeviceHandle());
}

TEST_F(UsbPortLookupTest, ValuesAreReadAsTextWithinTheirCapacity) {
    registry.AddEntry(L"E", L"USB\\VID_FFF0&PID_0001\\S", Registry::Dword(0xFFFFFFFF),
                      Registry::String(L"123456789"));
    Registry::Value bare = Registry::String(L"12");
    bare.data.resize(4);  // stored without its terminator
    registry.classKey.subkeys[0].Subkey(L"#").values[L"SymbolicLink"] = bare;

    wchar_t out[10];
    std::fill(std::begin(out), std::end(out), L'#');
    int noMore = 5;
    EXPECT_EQ(port.ReadInterfaceValue(InterfaceValue::Linked, 0, out, 10, noMore), 1);
    EXPECT_STREQ(out, L"-1");
    EXPECT_EQ(noMore, 0);
    EXPECT_EQ(port.ReadInterfaceValue(InterfaceValue::SymbolicLink, 0, out, 10, noMore), 1);
    EXPECT_STREQ(out, L"12");
    // Ten characters with the terminator need 20 bytes: they fit 10, one more does not.
    EXPECT_EQ(port.ReadInterfaceValue(InterfaceValue::PortNumber, 0, out, 10, noMore), 1);
    EXPECT_STREQ(out, L"123456789");
    EXPECT_EQ(port.ReadInterfaceValue(InterfaceValue::PortNumber, 0, out, 9, noMore), 0);
    EXPECT_EQ(port.ReadInterfaceValue(InterfaceValue::PortDescription, 0, out, 10, noMore), 0);
    EXPECT_EQ(noMore, 0);
    EXPECT_EQ(port.ReadInterfaceValue(InterfaceValue::DeviceInstance, 1, out, 10, noMore), 0);
    EXPECT_EQ(noMore, 1);
}

}  // namespace
