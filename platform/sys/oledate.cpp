#include "platform/sys/oledate.h"

#include <cmath>

#include "platform/base/strings.h"
#include "platform/sys/calendar_math.h"

namespace plat {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
const int64_t kOleEpochDays = detail::days_from_civil(1899, 12, 30);

// Reads 1 to `max_digits` decimal digits at `pos`.
bool read_number(std::string_view s, size_t& pos, size_t max_digits, int32_t& out) {
    size_t start = pos;
    int32_t v = 0;
    while (pos < s.size() && pos - start < max_digits && s[pos] >= '0' && s[pos] <= '9')
        v = v * 10 + (s[pos++] - '0');
    if (pos == start || (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')) return false;
    out = v;
    return true;
}

bool expect(std::string_view s, size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c) return false;
    ++pos;
    return true;
}

bool read_date_part(std::string_view s, size_t& pos, CalendarTime& c) {
    return read_number(s, pos, 2, c.month) && expect(s, pos, '/') && read_number(s, pos, 2, c.day) &&
           expect(s, pos, '/') && read_number(s, pos, 4, c.year);
}

bool read_time_part(std::string_view s, size_t& pos, CalendarTime& c) {
    return read_number(s, pos, 2, c.hour) && expect(s, pos, ':') && read_number(s, pos, 2, c.minute) &&
           expect(s, pos, ':') && read_number(s, pos, 2, c.second);
}

} // namespace

bool ole_date_from_calendar(const CalendarTime& c, OleDate& out) {
    if (!detail::calendar_fields_valid(c, 100, 9999)) return false;
    const int64_t days = detail::days_from_civil(c.year, c.month, c.day) - kOleEpochDays;
    const double fraction =
        (static_cast<double>(c.hour * 3600 + c.minute * 60 + c.second) + c.millisecond / 1000.0) /
        kSecondsPerDay;
    // Before the epoch the whole days count backwards but the time of day
    // still counts forwards, so it is subtracted from the negative day.
    out = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return true;
}

bool calendar_from_ole_date(OleDate d, CalendarTime& out) {
    // Before the epoch the time of day is subtracted from the day, so the
    // first day's times lie just below kOleDateMin, down to one day less.
    if (std::isnan(d) || d <= kOleDateMin - 1.0 || d >= kOleDateMax + 0.00001) return false;
    int64_t days = static_cast<int64_t>(std::trunc(d));
    int64_t secs = std::llround(std::fabs(d - static_cast<double>(days)) * kSecondsPerDay);
    if (secs >= kSecondsPerDay) {
        // 23:59:59.6 and later round into the next day, whichever way the
        // whole days count.
        ++days;
        secs -= kSecondsPerDay;
    }
    CalendarTime c = detail::calendar_from_day_and_second(days + kOleEpochDays, secs);
    if (c.year < 100 || c.year > 9999) return false;
    out = c;
    return true;
}

std::string format_ole_date(OleDate d) {
    CalendarTime c;
    if (!calendar_from_ole_date(d, c)) return {};
    return strprintf("%02d/%02d/%04d %02d:%02d:%02d", c.month, c.day, c.year, c.hour, c.minute, c.second);
}

std::optional<OleDate> parse_ole_date(std::string_view text, std::string* error) {
    auto fail = [&](const char* why) -> std::optional<OleDate> {
        if (error)
            *error = strprintf("\"%.*s\" is not a date of the form MM/DD/YYYY hh:nn:ss: %s",
                               static_cast<int>(text.size()), text.data(), why);
        return std::nullopt;
    };
    std::string_view s = trim_view(text);
    if (s.empty()) return fail("the text is empty");
    CalendarTime c;
    c.year = 1899;
    c.month = 12;
    c.day = 30;
    size_t pos = 0;
    // The date alone stands for midnight, the time alone for a time of day on
    // day 0, as stored dates of the original platform do.
    const bool has_date = s.find('/') != std::string_view::npos;
    const bool has_time = s.find(':') != std::string_view::npos;
    if (!has_date && !has_time) return fail("neither a date nor a time");
    if (has_date && !read_date_part(s, pos, c)) return fail("the date is not MM/DD/YYYY");
    if (has_date && has_time) {
        if (pos >= s.size() || s[pos] != ' ') return fail("date and time must be separated by one blank");
        ++pos;
    }
    if (has_time && !read_time_part(s, pos, c)) return fail("the time is not hh:nn:ss");
    if (pos != s.size()) return fail("unexpected characters after the date");
    OleDate d = 0;
    if (!ole_date_from_calendar(c, d)) return fail("no such date or time");
    return d;
}

bool ole_date_from_file_time(FileTime ft, OleDate& out) {
    CalendarTime c;
    return calendar_from_file_time(ft, true, c) && ole_date_from_calendar(c, out);
}

bool file_time_from_ole_date(OleDate d, FileTime& out) {
    CalendarTime c;
    return calendar_from_ole_date(d, c) && file_time_from_calendar(c, true, out);
}

OleDate ole_date_now() {
    OleDate d = 0;
    ole_date_from_file_time(file_time_now(), d);
    return d;
}

} // namespace plat
