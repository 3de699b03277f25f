#pragma once

#include <string>

#include "platform/clock_service.h"

// "20261207-221501-123Z": a time as part of a file name, in universal time, so that names sort as
// their times do whatever the clock's zone or daylight saving time did in between (local names
// sort an hour wrong after the clocks go back).
std::wstring FileTimeStamp(const LocalTime& time);

// The same moment in universal time (biasMinutes 0).
LocalTime UniversalTimeOf(const LocalTime& time);
