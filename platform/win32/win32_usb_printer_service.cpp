#include "platform/win32/win32_usb_printer_service.h"

#include <windows.h>
#include <winioctl.h>
#include <setupapi.h>
// This is the one file that defines GUID_DEVINTERFACE_USBPRINT; the others that name it include
// <usbprint.h> without <initguid.h> and link against this definition.
#include <initguid.h>
#include <usbprint.h>

#include <cstddef>
#include <cwchar>
#include <memory>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace {

// How long a printer gets to answer the device ID request. A printer that is busy or switched
// off may never answer, and the wizard must not hang on it.
constexpr DWORD kDeviceIdTimeoutMs = 500;

}  // namespace

InterfaceListHandle CWin32UsbPrinterService::OpenInterfaceList() {
    HDEVINFO list = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return list == INVALID_HANDLE_VALUE ? nullptr : list;
}

InterfacePathResult CWin32UsbPrinterService::GetInterfacePath(InterfaceListHandle list,
                                                              uint32_t index, std::wstring& path) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInterfaces(list, nullptr, &GUID_DEVINTERFACE_USBPRINT, index, &data))
        return InterfacePathResult::kEnd;

    DWORD required = 0;
    if (!SetupDiGetDeviceInterfaceDetailW(list, &data, nullptr, 0, &required, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return InterfacePathResult::kUnreadable;
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        required = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);

    // DWORD cells keep the record aligned as its cbSize member needs.
    std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(list, &data, detail, required, nullptr, nullptr))
        return InterfacePathResult::kUnreadable;

    const size_t capacity =
        (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
    path.assign(detail->DevicePath, wcsnlen(detail->DevicePath, capacity));
    return InterfacePathResult::kFound;
}

void CWin32UsbPrinterService::CloseInterfaceList(InterfaceListHandle list) {
    SetupDiDestroyDeviceInfoList(list);
}

DeviceHandle CWin32UsbPrinterService::OpenDevice(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

bool CWin32UsbPrinterService::RequestDeviceId(DeviceHandle device, uint8_t* buffer, uint32_t size,
                                              uint32_t& bytesReturned) {
    UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event)
        return false;

    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    DWORD returned = 0;
    if (DeviceIoControl(device, IOCTL_USBPRINT_GET_1284_ID, nullptr, 0, buffer, size, &returned,
                        &overlapped)) {
        bytesReturned = returned;
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING)
        return false;

    if (WaitForSingleObject(event.get(), kDeviceIdTimeoutMs) != WAIT_OBJECT_0) {
        // The driver still holds the buffer, the OVERLAPPED and the event: wait until the
        // cancelled request has really ended before any of them goes away.
        CancelIoEx(device, &overlapped);
        GetOverlappedResult(device, &overlapped, &returned, TRUE);
        return false;
    }
    if (!GetOverlappedResult(device, &overlapped, &returned, TRUE))
        return false;
    bytesReturned = returned;
    return true;
}

void CWin32UsbPrinterService::CloseDevice(DeviceHandle device) {
    CloseHandle(device);
}
