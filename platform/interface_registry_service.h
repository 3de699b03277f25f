#pragma once

#include <cstdint>

// An open registry key (a Windows HKEY).
using RegistryKey = void*;

// Registry value types the detector tells apart.
constexpr uint32_t kRegistryString = 1;  // REG_SZ
constexpr uint32_t kRegistryDword = 4;   // REG_DWORD

enum class SubkeyResult {
    kFound,   // the name of the subkey at that index
    kNoMore,  // there is no subkey at that index
    kFailed,  // the subkey at that index could not be read (its name too long, for one)
};

// Read access to the registry below the USB printer interface class key, where the system keeps
// one entry per USB printer interface it knows.
class IInterfaceRegistryService {
  public:
    virtual ~IInterfaceRegistryService() = default;

    // Opens the interface class key of GUID_DEVINTERFACE_USBPRINT for reading. Null on failure.
    virtual RegistryKey OpenClassKey() = 0;

    // The name of the subkey at `index` of `key` into `name` (`capacity` characters, terminator
    // included).
    virtual SubkeyResult EnumSubkey(RegistryKey key, uint32_t index, wchar_t* name,
                                    uint32_t capacity) = 0;

    // Opens the subkey `name` of `parent` for reading. Null on failure.
    virtual RegistryKey OpenSubkey(RegistryKey parent, const wchar_t* name) = 0;

    // Reads the value `name` of `key` into `data` (`capacity` bytes) as the registry stores it
    // (strings in UTF-16LE), with its size in bytes and its type. False when the value is missing
    // or larger than `capacity`; the outputs are then not to be used.
    virtual bool QueryValue(RegistryKey key, const wchar_t* name, uint8_t* data, uint32_t capacity,
                            uint32_t& size, uint32_t& type) = 0;

    // Closes a key from OpenClassKey or OpenSubkey.
    virtual void CloseKey(RegistryKey key) = 0;
};
