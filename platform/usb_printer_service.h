#pragma once

#include <cstdint>
#include <string>

// An opened USB printer interface, as the platform hands it out (a Windows HANDLE).
using DeviceHandle = void*;
// The value of a handle that names no device (INVALID_HANDLE_VALUE).
inline DeviceHandle InvalidDeviceHandle() {
    return reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(-1));
}

// A list of the present USB printer interfaces (a Windows HDEVINFO).
using InterfaceListHandle = void*;

// What one step of the interface enumeration gave.
enum class InterfacePathResult {
    kFound,       // the path of the interface at that index
    kUnreadable,  // the interface exists but its path could not be had; go on with the next index
    kEnd,         // no interface at that index, or the enumeration failed: the walk is over
};

// The USB printer interfaces of the machine (class GUID_DEVINTERFACE_USBPRINT) and the IEEE 1284
// device ID request.
class IUsbPrinterService {
  public:
    virtual ~IUsbPrinterService() = default;

    // Lists the present USB printer interfaces. Returns null when no list can be had.
    virtual InterfaceListHandle OpenInterfaceList() = 0;

    // The device path of the interface at `index` of `list`, into `path` (untouched unless kFound).
    virtual InterfacePathResult GetInterfacePath(InterfaceListHandle list, uint32_t index,
                                                 std::wstring& path) = 0;

    // Releases a list from OpenInterfaceList.
    virtual void CloseInterfaceList(InterfaceListHandle list) = 0;

    // Opens the interface for reading and writing, shared with nobody, for overlapped requests.
    // Returns InvalidDeviceHandle() when it cannot be opened (absent, or held by another process).
    virtual DeviceHandle OpenDevice(const std::wstring& path) = 0;

    // Asks the open device for its IEEE 1284 device ID into `buffer` (`size` bytes) and waits at
    // most 500 ms for the answer. Returns true with the bytes delivered in `bytesReturned`; false
    // when the request failed or was not answered in time. A request not answered in time is
    // cancelled and has ended before this returns, so `buffer` is no longer written to.
    virtual bool RequestDeviceId(DeviceHandle device, uint8_t* buffer, uint32_t size,
                                 uint32_t& bytesReturned) = 0;

    // Closes a handle from OpenDevice.
    virtual void CloseDevice(DeviceHandle device) = 0;
};
