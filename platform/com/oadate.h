#pragma once
// Dates as values carry them (days since 1899-12-30, the time of day in the
// fraction) read from and written to text the way value coercion does it.
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/variant.h"

namespace plat {

// 0100-01-01 and 9999-12-31.
constexpr DATE kOaDateMin = -657434.0;
constexpr DATE kOaDateMax = 2958465.0;

// Accepts "yyyy-mm-dd", "m/d/yyyy" (also with '-' or '.'), two-digit years
// (00-29 are 2000s), month names ("2 Jan 2020", "January 2, 2020"), each with
// an optional time "h:mm[:ss]" with optional AM/PM, or a time alone.
std::optional<DATE> parse_oa_date(std::string_view text);

// "m/d/yyyy", "h:mm:ss AM" or both, as the pinned locale writes them: the
// time is left out at midnight, the date on day 0. Empty outside the range.
std::optional<std::string> format_oa_date(DATE d);

// Calendar fields of a date, rounded to the second. False outside the range.
struct OaFields {
    int32_t year, month, day, hour, minute, second;
};
bool oa_date_fields(DATE d, OaFields& out);
std::optional<DATE> oa_date_from_fields(const OaFields& f);

} // namespace plat
