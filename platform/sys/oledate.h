#pragma once
// OLE dates: days since 1899-12-30 00:00 as a double, the time of day in the
// fraction. Negative values count whole days backwards while the fraction
// still runs forwards (-1.25 is 1899-12-29 06:00). They carry no zone: the
// system stores local time in them.
#include <optional>
#include <string>
#include <string_view>

#include "platform/sys/file_time.h"

namespace plat {

using OleDate = double;

// Range the conversions accept: 0100-01-01 to 9999-12-31 23:59:59.
constexpr OleDate kOleDateMin = -657434.0;
constexpr OleDate kOleDateMax = 2958465.99999;

// Calendar fields → OLE date. Milliseconds are rounded into the fraction.
// False for an invalid calendar value or one outside the range.
bool ole_date_from_calendar(const CalendarTime& c, OleDate& out);
// OLE date → calendar fields, rounded to the nearest second (the resolution
// of every stored form). False outside the range or for NaN.
bool calendar_from_ole_date(OleDate d, CalendarTime& out);

// "MM/DD/YYYY hh:nn:ss" (24-hour clock, two-digit fields, four-digit year).
// Empty text for a date outside the range.
std::string format_ole_date(OleDate d);

// The text form above read back (one or two digits per field, up to four for
// the year). The date alone means midnight, the time alone that time on day
// 0. Blanks around the text are allowed; the separators must be exactly "/",
// one blank and ":". Anything else — missing or
// extra fields, letters, month 13, February 30, hour 24 — gives nullopt and,
// when `error` is given, a one-line reason.
std::optional<OleDate> parse_ole_date(std::string_view text, std::string* error = nullptr);

// File time (UTC) → OLE date in local time, and back. False outside the range.
bool ole_date_from_file_time(FileTime ft, OleDate& out);
bool file_time_from_ole_date(OleDate d, FileTime& out);

// The current local time as an OLE date.
OleDate ole_date_now();

} // namespace plat
