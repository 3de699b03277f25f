#include "platform/win32/win32_interface_registry_service.h"

#include <windows.h>
#include <setupapi.h>
// GUID_DEVINTERFACE_USBPRINT is defined once, in win32_usb_printer_service.cpp.
#include <usbprint.h>

RegistryKey CWin32InterfaceRegistryService::OpenClassKey() {
    HKEY key = SetupDiOpenClassRegKeyExW(&GUID_DEVINTERFACE_USBPRINT, KEY_READ, DIOCR_INTERFACE,
                                         nullptr, nullptr);
    return key == INVALID_HANDLE_VALUE ? nullptr : key;
}

SubkeyResult CWin32InterfaceRegistryService::EnumSubkey(RegistryKey key, uint32_t index,
                                                        wchar_t* name, uint32_t capacity) {
    DWORD length = capacity;
    const LSTATUS status = RegEnumKeyExW(static_cast<HKEY>(key), index, name, &length, nullptr,
                                         nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS)
        return SubkeyResult::kFound;
    return status == ERROR_NO_MORE_ITEMS ? SubkeyResult::kNoMore : SubkeyResult::kFailed;
}

RegistryKey CWin32InterfaceRegistryService::OpenSubkey(RegistryKey parent, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(static_cast<HKEY>(parent), name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool CWin32InterfaceRegistryService::QueryValue(RegistryKey key, const wchar_t* name, uint8_t* data,
                                                uint32_t capacity, uint32_t& size, uint32_t& type) {
    DWORD valueType = 0;
    DWORD valueSize = capacity;
    if (RegQueryValueExW(static_cast<HKEY>(key), name, nullptr, &valueType, data, &valueSize) !=
        ERROR_SUCCESS)
        return false;
    size = valueSize;
    type = valueType;
    return true;
}

void CWin32InterfaceRegistryService::CloseKey(RegistryKey key) {
    RegCloseKey(static_cast<HKEY>(key));
}
