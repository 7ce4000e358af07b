#pragma once
// The few conversions of the designer's original runtime that its stored
// texts and messages rely on: numeric value of a text, whole part of a
// number, the fixed date pattern and blank-only trimming.
#include <cstdint>
#include <string>
#include <string_view>

namespace kld::vb {

// The leading number of a text: blanks before it skipped, an optional sign,
// digits with one decimal point and an optional exponent; reading stops at
// the first character that cannot continue the number. No number gives 0.
double Val(std::string_view text);

// The whole part, rounded down (Int(-1.5) is -2).
double Int(double value);

// A number rounded to the nearest whole one, halves to even, and kept inside
// the 32-bit range (the original runtime's conversion to Long).
int32_t CLng(double value);

// "MM/DD/YYYY hh:nn:ss" of a date; the zero date is 12/30/1899 00:00:00.
std::string FormatDate(double date);

// Leading and trailing blanks (spaces only) removed.
std::string Trim(std::string_view text);
bool IsBlank(std::string_view text);

} // namespace kld::vb
