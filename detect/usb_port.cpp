#include "detect/usb_port.h"

#include <memory>
#include <string>

#include "platform/services.h"

namespace {

// Indices 0 to 126 are tried at the most.
constexpr uint32_t kInterfaceLimit = 127;
// A device path must fit 260 characters with its terminator; a longer one is skipped, not cut.
constexpr size_t kPathWidth = 260;

bool IsOpen(DeviceHandle handle) {
    return handle != nullptr && handle != InvalidDeviceHandle();
}

}  // namespace

CUSBPort::CUSBPort() : deviceHandle(InvalidDeviceHandle()) {}

CUSBPort::~CUSBPort() {
    Close();
}

int CUSBPort::OpenDevice(CString& vid, CString& pid) {
    IUsbPrinterService* usb = Services().usbPrinters;
    if (usb == nullptr)
        return 0;
    InterfaceListHandle list = usb->OpenInterfaceList();
    if (list == nullptr)
        return 0;
    const auto closeList = [usb](InterfaceListHandle l) { usb->CloseInterfaceList(l); };
    const std::unique_ptr<void, decltype(closeList)> listGuard(list, closeList);

    for (uint32_t index = 0; index < kInterfaceLimit; ++index) {
        std::wstring path;
        const InterfacePathResult found = usb->GetInterfacePath(list, index, path);
        if (found == InterfacePathResult::kEnd)
            return 0;
        if (found == InterfacePathResult::kUnreadable || path.size() >= kPathWidth)
            continue;

        // The open asks for exclusive access, so a printer that another process holds fails here
        // and is passed over.
        deviceHandle = usb->OpenDevice(path);
        if (!IsOpen(deviceHandle)) {
            deviceHandle = InvalidDeviceHandle();
            continue;
        }
        if (IsSupportedDevice(path.c_str(), vid, pid) == 1)
            return 1;
        usb->CloseDevice(deviceHandle);
        deviceHandle = InvalidDeviceHandle();
    }
    return 0;
}

int CUSBPort::GetDeviceId(uint8_t* buffer, uint32_t bufferSize, uint32_t& bytesReturned) {
    IUsbPrinterService* usb = Services().usbPrinters;
    if (!IsOpen(deviceHandle) || usb == nullptr || buffer == nullptr)
        return 0;
    uint32_t returned = 0;
    if (!usb->RequestDeviceId(deviceHandle, buffer, bufferSize, returned))
        return 0;
    bytesReturned = returned;
    return 1;
}

int CUSBPort::Close() {
    if (!IsOpen(deviceHandle))
        return 0;
    if (IUsbPrinterService* usb = Services().usbPrinters)
        usb->CloseDevice(deviceHandle);
    deviceHandle = InvalidDeviceHandle();
    return 1;
}
