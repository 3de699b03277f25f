#pragma once

#include "platform/interface_registry_service.h"

// The registry below the USB printer interface class key, through SetupDi* and the registry API.
// The keys it opens are handed to the caller, who closes them with CloseKey.
class CWin32InterfaceRegistryService : public IInterfaceRegistryService {
  public:
    RegistryKey OpenClassKey() override;
    SubkeyResult EnumSubkey(RegistryKey key, uint32_t index, wchar_t* name,
                            uint32_t capacity) override;
    RegistryKey OpenSubkey(RegistryKey parent, const wchar_t* name) override;
    bool QueryValue(RegistryKey key, const wchar_t* name, uint8_t* data, uint32_t capacity,
                    uint32_t& size, uint32_t& type) override;
    void CloseKey(RegistryKey key) override;
};
