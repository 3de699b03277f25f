#pragma once

#include "platform/clock_service.h"

// Waits and tells the time for real, on any platform.
class CSystemClockService : public IClockService {
  public:
    void Sleep(uint32_t milliseconds) override;
    LocalTime Now() override;
};
