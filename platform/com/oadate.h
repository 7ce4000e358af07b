#pragma once
// Dates as values carry them (days since 1899-12-30, the time of day in the
// fraction; see platform/sys/oledate.h) read from and written to text the
// way value coercion does it, which is more lenient than the stored form.
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/variant.h"
#include "platform/sys/oledate.h"

namespace plat {

// Accepts "yyyy-mm-dd", "m/d/yyyy" (also with '-' or '.'), two-digit years
// (00-29 are 2000s), month names ("2 Jan 2020", "January 2, 2020"), each with
// an optional time "h:mm[:ss]" with optional AM/PM, or a time alone.
std::optional<DATE> parse_oa_date(std::string_view text);

// "m/d/yyyy", "h:mm:ss AM" or both, as the pinned locale writes them: the
// time is left out at midnight, the date on day 0. Empty outside the range.
std::optional<std::string> format_oa_date(DATE d);

} // namespace plat
