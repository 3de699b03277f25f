#pragma once

#include <string>

#include "platform/clock_service.h"

// "20261207-231501-123": a time as part of a file name, so that names sort as their times do.
std::wstring FileTimeStamp(const LocalTime& time);
