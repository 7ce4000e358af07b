#pragma once
// File times and calendar values. A file time counts 100-nanosecond steps
// since 1601-01-01 00:00:00 UTC, the unit stored dates and remote file
// times use; calendar values are broken-down dates in UTC or local time.
#include <compare>
#include <cstdint>
#include <ctime>

namespace plat {

struct FileTime {
    uint64_t ticks = 0;
    auto operator<=>(const FileTime&) const = default;
};

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kFileTimeUnixOffsetSeconds = 11644473600;
constexpr uint64_t kFileTimeTicksPerSecond = 10000000;

FileTime file_time_from_timespec(const timespec& ts);
timespec timespec_from_file_time(FileTime ft);
FileTime file_time_now();

// A broken-down date and time. Months and days count from 1; day_of_week is
// 0 for Sunday and is filled on output only.
struct CalendarTime {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t millisecond = 0;
    int32_t day_of_week = 0;
    bool operator==(const CalendarTime&) const = default;
};

// True when the fields form a real date and time (1601 ≤ year ≤ 30827,
// month 1-12, day within the month, hour 0-23, minute and second 0-59,
// millisecond 0-999).
bool is_valid_calendar(const CalendarTime& c);

// Calendar value → file time. `is_local` takes the fields as the machine's
// local time (the TZ rules) and converts them to UTC. False for an invalid
// calendar value.
bool file_time_from_calendar(const CalendarTime& c, bool is_local, FileTime& out);
// File time → calendar value, in local time when `to_local`.
bool calendar_from_file_time(FileTime ft, bool to_local, CalendarTime& out);

} // namespace plat
