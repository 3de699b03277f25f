#include "install/run/time_stamp.h"

#include <cwchar>

namespace {

// Days since 1970-01-01 of a civil date, and back: the proleptic Gregorian calendar's own
// arithmetic, valid for every date a clock can show.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, LocalTime& time) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    const int64_t month = shifted < 10 ? shifted + 3 : shifted - 9;
    time.day = static_cast<uint16_t>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    time.month = static_cast<uint16_t>(month);
    time.year = static_cast<uint16_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

LocalTime UniversalTimeOf(const LocalTime& time) {
    constexpr int64_t kMinutesPerDay = 24 * 60;
    const int64_t minutes = DaysFromCivil(time.year, time.month, time.day) * kMinutesPerDay +
                            time.hour * 60 + time.minute + time.biasMinutes;
    int64_t days = minutes / kMinutesPerDay;
    int64_t inDay = minutes % kMinutesPerDay;
    if (inDay < 0) {
        inDay += kMinutesPerDay;
        --days;
    }
    LocalTime universal = time;
    CivilFromDays(days, universal);
    universal.hour = static_cast<uint16_t>(inDay / 60);
    universal.minute = static_cast<uint16_t>(inDay % 60);
    universal.biasMinutes = 0;
    return universal;
}

std::wstring FileTimeStamp(const LocalTime& time) {
    const LocalTime utc = UniversalTimeOf(time);
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%04u%02u%02u-%02u%02u%02u-%03uZ", utc.year, utc.month, utc.day,
                  utc.hour, utc.minute, utc.second, utc.milliseconds);
    return text;
}
