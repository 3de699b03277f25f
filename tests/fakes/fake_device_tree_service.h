#pragma once

#include <atomic>

#include "platform/device_tree_service.h"

// Counts the rescans asked for; fails as Wine's configuration manager does when told to.
class CFakeDeviceTreeService : public IDeviceTreeService {
  public:
    std::atomic<int> rescans{0};
    uint32_t locateResult = 0;

    uint32_t LocateRoot(uint32_t& node) override {
        if (locateResult != 0)
            return locateResult;
        node = 1;
        return 0;
    }
    uint32_t Reenumerate(uint32_t) override {
        ++rescans;
        return 0;
    }
};
