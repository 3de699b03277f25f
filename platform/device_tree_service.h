#pragma once

#include <cstdint>

// The device tree of the configuration manager. Results are its CONFIGRET codes, 0 for success.
class IDeviceTreeService {
  public:
    virtual ~IDeviceTreeService() = default;

    // The root of the device tree into `node`.
    virtual uint32_t LocateRoot(uint32_t& node) = 0;
    // Asks the system to enumerate the devices below `node` again.
    virtual uint32_t Reenumerate(uint32_t node) = 0;
};
