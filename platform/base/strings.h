#pragma once
// Text helpers. Internal text is UTF-8 std::string; automation text is UTF-16.
// Case folding is done with a pinned C.UTF-8 locale so results never depend on
// the user's locale.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

std::u16string utf8_to_utf16(std::string_view s);
std::string utf16_to_utf8(std::u16string_view s);
std::u32string utf8_to_utf32(std::string_view s);
std::string utf32_to_utf8(std::u32string_view s);

// Case-insensitive comparison: <0, 0, >0 like strcmp.
int icompare(std::string_view a, std::string_view b);
int icompare(std::u16string_view a, std::u16string_view b);
bool iequals(std::string_view a, std::string_view b);
bool iequals(std::u16string_view a, std::u16string_view b);
// A hash that agrees with icompare: texts that compare equal hash alike.
uint64_t ihash(std::string_view s);
bool istarts_with(std::string_view s, std::string_view prefix);
bool iends_with(std::string_view s, std::string_view suffix);
// Position of `needle` in `hay` ignoring case, or npos.
size_t ifind(std::string_view hay, std::string_view needle, size_t from = 0);

std::string to_upper(std::string_view s);
std::string to_lower(std::string_view s);
std::u16string to_upper(std::u16string_view s);
std::u16string to_lower(std::u16string_view s);
char32_t fold_char(char32_t c); // lower-case form of one code point

// Blanks are space and tab (and CR/LF for trim_ws).
std::string trim(std::string_view s);
std::string_view trim_view(std::string_view s);
std::vector<std::string> split(std::string_view s, char sep);

// printf into a std::string.
std::string strprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vstrprintf(const char* fmt, va_list ap);

// Leading integer like the platform reads it: optional blanks and sign, then
// digits; `ok` is false when there were no digits.
int32_t parse_leading_int(std::string_view s, bool* ok = nullptr);

// Simple wildcard match (* and ?), case-insensitive, as folder listings use.
bool wildcard_match(std::string_view pattern, std::string_view name);

} // namespace plat
