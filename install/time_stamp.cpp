#include "install/time_stamp.h"

#include <cwchar>

std::wstring FileTimeStamp(const LocalTime& time) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%04u%02u%02u-%02u%02u%02u-%03u", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.milliseconds);
    return text;
}
