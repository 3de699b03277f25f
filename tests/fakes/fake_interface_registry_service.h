#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/interface_registry_service.h"

// The registry below the USB printer interface class key, in memory. Counts the keys it opened
// against those closed, and can fail the opening of the class key.
class CFakeInterfaceRegistryService : public IInterfaceRegistryService {
  public:
    struct Value {
        uint32_t type;
        std::vector<uint8_t> data;
    };
    struct Key {
        std::wstring name;
        std::vector<Key> subkeys;  // in enumeration order
        std::map<std::wstring, Value> values;

        Key& Subkey(const std::wstring& subkeyName);  // found or made
    };

    static Value String(const std::wstring& text);  // REG_SZ with its terminator
    static Value Dword(uint32_t number);

    // One entry of the interface class as the system writes it. Values left out are absent.
    Key& AddEntry(const std::wstring& name, const std::optional<std::wstring>& deviceInstance,
                  const std::optional<Value>& linked, const std::optional<Value>& portNumber);

    Key classKey;
    bool failClassKey = false;
    int classKeyOpens = 0;

    RegistryKey OpenClassKey() override;
    SubkeyResult EnumSubkey(RegistryKey key, uint32_t index, wchar_t* name,
                            uint32_t capacity) override;
    RegistryKey OpenSubkey(RegistryKey parent, const wchar_t* name) override;
    bool QueryValue(RegistryKey key, const wchar_t* name, uint8_t* data, uint32_t capacity,
                    uint32_t& size, uint32_t& type) override;
    void CloseKey(RegistryKey key) override;

    bool AllReleased() const { return m_open.empty() && closeErrors == 0; }
    int closeErrors = 0;

  private:
    Key* KeyOf(RegistryKey key) const;

    std::map<RegistryKey, Key*> m_open;
    uintptr_t m_nextHandle = 0x2000;
};
