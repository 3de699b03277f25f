#pragma once

#include "platform/usb_printer_service.h"

// The USB printer interfaces through SetupDi* and the usbprint driver's device ID request.
class CWin32UsbPrinterService : public IUsbPrinterService {
  public:
    InterfaceListHandle OpenInterfaceList() override;
    InterfacePathResult GetInterfacePath(InterfaceListHandle list, uint32_t index,
                                         std::wstring& path) override;
    void CloseInterfaceList(InterfaceListHandle list) override;
    DeviceHandle OpenDevice(const std::wstring& path) override;
    bool RequestDeviceId(DeviceHandle device, uint8_t* buffer, uint32_t size,
                         uint32_t& bytesReturned) override;
    void CloseDevice(DeviceHandle device) override;
};
