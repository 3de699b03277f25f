#pragma once

#include <cstdint>

// A moment in local time, with how far local time lies behind universal time.
struct LocalTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
    // Universal time minus local time, in minutes (the Windows time-zone bias).
    int32_t biasMinutes = 0;
};

// Time and waiting, so that tests need not wait for real and can fix the time.
class IClockService {
  public:
    virtual ~IClockService() = default;

    virtual void Sleep(uint32_t milliseconds) = 0;

    // The local time now.
    virtual LocalTime Now() = 0;
};
