#include "platform/sys/file_time.h"

#include "platform/sys/calendar_math.h"

namespace plat {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t unix_seconds_of(const CalendarTime& c) {
    return detail::days_from_civil(c.year, c.month, c.day) * kSecondsPerDay + c.hour * 3600 + c.minute * 60 +
           c.second;
}

// The offset of local time from UTC at a given UTC instant, by the TZ rules.
int64_t local_offset_at(int64_t utc_seconds) {
    time_t t = static_cast<time_t>(utc_seconds);
    tm local{};
    if (!localtime_r(&t, &local)) return 0;
    return local.tm_gmtoff;
}

} // namespace

FileTime file_time_from_timespec(const timespec& ts) {
    int64_t secs = static_cast<int64_t>(ts.tv_sec) + kFileTimeUnixOffsetSeconds;
    if (secs < 0) return {};
    return {static_cast<uint64_t>(secs) * kFileTimeTicksPerSecond + static_cast<uint64_t>(ts.tv_nsec) / 100};
}

timespec timespec_from_file_time(FileTime ft) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(ft.ticks / kFileTimeTicksPerSecond) -
                                    kFileTimeUnixOffsetSeconds);
    ts.tv_nsec = static_cast<long>((ft.ticks % kFileTimeTicksPerSecond) * 100);
    return ts;
}

FileTime file_time_now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return file_time_from_timespec(ts);
}

bool is_valid_calendar(const CalendarTime& c) {
    return detail::calendar_fields_valid(c, 1601, 30827);
}

bool file_time_from_calendar(const CalendarTime& c, bool is_local, FileTime& out) {
    if (!is_valid_calendar(c)) return false;
    int64_t secs = unix_seconds_of(c);
    if (is_local) {
        // Local wall time → UTC: take the offset at the guessed instant, then
        // check it once more at the corrected one (the offset may differ
        // across a daylight-saving change).
        int64_t guess = secs - local_offset_at(secs);
        secs -= local_offset_at(guess);
    }
    secs += kFileTimeUnixOffsetSeconds;
    if (secs < 0) return false;
    out.ticks =
        static_cast<uint64_t>(secs) * kFileTimeTicksPerSecond + static_cast<uint64_t>(c.millisecond) * 10000;
    return true;
}

bool calendar_from_file_time(FileTime ft, bool to_local, CalendarTime& out) {
    int64_t secs = static_cast<int64_t>(ft.ticks / kFileTimeTicksPerSecond) - kFileTimeUnixOffsetSeconds;
    if (to_local) secs += local_offset_at(secs);
    int64_t days = secs >= 0 ? secs / kSecondsPerDay : (secs - kSecondsPerDay + 1) / kSecondsPerDay;
    int64_t rest = secs - days * kSecondsPerDay;
    CalendarTime c = detail::calendar_from_day_and_second(days, rest);
    c.millisecond = static_cast<int32_t>(ft.ticks % kFileTimeTicksPerSecond / 10000);
    if (c.year < 1601 || c.year > 30827) return false;
    out = c;
    return true;
}

} // namespace plat
