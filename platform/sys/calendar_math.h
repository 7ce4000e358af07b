#pragma once
// Proleptic Gregorian day arithmetic shared by file times and OLE dates.
#include <cstdint>

#include "platform/sys/file_time.h"

namespace plat::detail {

// Days since 1970-01-01 of a civil date (any year), and back.
constexpr int64_t days_from_civil(int64_t y, int32_t m, int32_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct CivilDate {
    int64_t year;
    int32_t month;
    int32_t day;
};

constexpr CivilDate civil_from_days(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int32_t d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    const int32_t m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2), m, d};
}

constexpr bool is_leap_year(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr int32_t days_in_month(int64_t y, int32_t m) {
    constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap_year(y) ? 29 : kDays[m - 1];
}

// 0 = Sunday.
constexpr int32_t weekday_from_days(int64_t z) {
    return static_cast<int32_t>(z >= -4 ? (z + 4) % 7 : (z + 5) % 7 + 6);
}

// The calendar fields of a day (days since 1970-01-01) and a second of it.
constexpr CalendarTime calendar_from_day_and_second(int64_t days, int64_t second_of_day) {
    const CivilDate d = civil_from_days(days);
    CalendarTime c;
    c.year = static_cast<int32_t>(d.year);
    c.month = d.month;
    c.day = d.day;
    c.hour = static_cast<int32_t>(second_of_day / 3600);
    c.minute = static_cast<int32_t>(second_of_day / 60 % 60);
    c.second = static_cast<int32_t>(second_of_day % 60);
    c.day_of_week = weekday_from_days(days);
    return c;
}

// Month, day and clock fields in range and the year within [min_year, max_year].
constexpr bool calendar_fields_valid(const CalendarTime& c, int32_t min_year, int32_t max_year) {
    if (c.year < min_year || c.year > max_year || c.month < 1 || c.month > 12) return false;
    if (c.day < 1 || c.day > days_in_month(c.year, c.month)) return false;
    return c.hour >= 0 && c.hour <= 23 && c.minute >= 0 && c.minute <= 59 && c.second >= 0 &&
           c.second <= 59 && c.millisecond >= 0 && c.millisecond <= 999;
}

} // namespace plat::detail
