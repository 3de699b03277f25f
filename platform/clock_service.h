#pragma once

#include <cstdint>

// Waiting, so that tests need not wait for real.
class IClockService {
  public:
    virtual ~IClockService() = default;

    virtual void Sleep(uint32_t milliseconds) = 0;
};
