#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "detect/usb_port.h"
#include "platform/services.h"
#include "platform/win32/win32_interface_registry_service.h"
#include "platform/win32/win32_text_conversion_service.h"
#include "platform/win32/win32_usb_printer_service.h"
#include "setupdata/setup_context.h"
#include "tests/fakes/counting_services.h"
#include "tests/win32/registry_usb_printers.h"

// The detector over the real backends, on USB printer interfaces written into Wine's registry.
// Wine has no device behind such an interface, so the opening of the device is the one part that
// cannot be real here.
namespace {

using Link = CRegistryUsbPrinters::Link;

// A detector whose device opening reports a printer of the given identifiers as open, without a
// handle, so that the registry walk runs for real.
class CPretendOpenUsbPort : public CUSBPort {
  public:
    CPretendOpenUsbPort(std::wstring vid, std::wstring pid)
        : m_vid(std::move(vid)), m_pid(std::move(pid)) {}

    int OpenDevice(CString& vid, CString& pid) override {
        vid = m_vid;
        pid = m_pid;
        return 1;
    }

  private:
    std::wstring m_vid;
    std::wstring m_pid;
};

class UsbPortWineTest : public ::testing::Test {
  protected:
    CWin32UsbPrinterService usb;
    CWin32InterfaceRegistryService registry;
    CWin32TextConversionService text;
    CScopedServices services{{nullptr, nullptr, &usb, &registry, &text}};
};

TEST_F(UsbPortWineTest, TheRegistryWalkFindsThePortOfTheActiveEntry) {
    CRegistryUsbPrinters printers;
    ASSERT_TRUE(printers.Add(L"1B01", L"0001", L"OLD", Link::kInactive, 5));
    ASSERT_TRUE(printers.Add(L"1B01", L"0002", L"OTHER", Link::kActive, 6));
    ASSERT_TRUE(printers.Add(L"1B01", L"0001", L"NOW", Link::kActive, 12));

    CPretendOpenUsbPort port(L"1B01", L"0001");
    CString portName = L"none";
    EXPECT_EQ(port.FindPortName(portName), 1);
    EXPECT_EQ(portName, L"USB012");

    CPretendOpenUsbPort absent(L"1B01", L"0003");
    portName = L"none";
    EXPECT_EQ(absent.FindPortName(portName), 0);
    EXPECT_EQ(portName, L"none");
}

TEST_F(UsbPortWineTest, APrinterThatCannotBeOpenedIsNotFound) {
    CRegistryUsbPrinters printers;
    ASSERT_TRUE(printers.Add(L"FFF0", L"0001", L"LISTED", Link::kActive, 1));

    // The interface is listed, but Wine has no device behind it to open.
    std::wstring path;
    InterfaceListHandle list = usb.OpenInterfaceList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(usb.GetInterfacePath(list, 0, path), InterfacePathResult::kFound);
    usb.CloseInterfaceList(list);

    CUSBPort port;
    CString vid;
    CString pid;
    EXPECT_EQ(port.OpenDevice(vid, pid), 0);
    EXPECT_EQ(port.deviceHandle, InvalidDeviceHandle());

    SetupContext context;
    CString model = L"stale";
    EXPECT_EQ(context.DetectUsbPrinterModel(model), 0);
    EXPECT_EQ(model, L"");
    CString portName = L"none";
    EXPECT_EQ(port.FindPortName(portName), 0);
    EXPECT_EQ(portName, L"none");
}

}  // namespace
