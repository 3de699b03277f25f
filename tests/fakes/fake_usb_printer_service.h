#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/usb_printer_service.h"

// One USB printer interface as the fake machine has it.
struct FakeUsbInterface {
    std::wstring path;
    bool heldElsewhere = false;  // another process holds it: the exclusive open fails
    bool unreadable = false;     // its path cannot be had
    // The device's reply to the device ID request; none means it never answers. The fake writes
    // junk into the rest of the caller's buffer, past the bytes it reports.
    std::optional<std::string> deviceIdReply;
};

// USB printer interfaces in memory. Counts what was opened against what was closed, and records
// every handle it gave out, so that a test can tell that nothing leaked.
class CFakeUsbPrinterService : public IUsbPrinterService {
  public:
    std::vector<FakeUsbInterface> interfaces;
    bool failList = false;

    std::vector<std::wstring> openedPaths;  // in the order they were opened
    int deviceIdRequests = 0;
    int closeErrors = 0;  // closes of a handle not open

    InterfaceListHandle OpenInterfaceList() override;
    InterfacePathResult GetInterfacePath(InterfaceListHandle list, uint32_t index,
                                         std::wstring& path) override;
    void CloseInterfaceList(InterfaceListHandle list) override;
    DeviceHandle OpenDevice(const std::wstring& path) override;
    bool RequestDeviceId(DeviceHandle device, uint8_t* buffer, uint32_t size,
                         uint32_t& bytesReturned) override;
    void CloseDevice(DeviceHandle device) override;

    // Nothing is left open and nothing was closed twice.
    bool AllReleased() const {
        return m_openLists.empty() && m_openDevices.empty() && closeErrors == 0;
    }

    // A device ID reply as the USB printer class delivers it: a two-byte big-endian length, then
    // the text.
    static std::string DeviceIdReply(const std::string& text);

  private:
    const FakeUsbInterface* InterfaceOf(DeviceHandle device) const;

    std::set<InterfaceListHandle> m_openLists;
    std::set<DeviceHandle> m_openDevices;
    uintptr_t m_nextHandle = 0x1000;
};
