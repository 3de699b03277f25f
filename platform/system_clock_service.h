#pragma once

#include "platform/clock_service.h"

// Waits for real, on any platform.
class CSystemClockService : public IClockService {
  public:
    void Sleep(uint32_t milliseconds) override;
};
