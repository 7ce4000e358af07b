#pragma once
// Cell formats: a format text of up to four sections ";"-separated, each
// "prefix*NAME*suffix", turns a value into display text. NAME is one of the
// named formats below (any case); an unknown name is shown as its own
// upper-cased text. "/*" stands for a literal "*".
//
// Sections: one serves every value; with two the second is for empty
// values; with four the second is for negative numbers, the third for
// integer zero and the fourth for empty values (three get a Generic fourth).
//
// Dates, times and currency follow the control's locale conventions, which
// are pinned (below) so that the same value always gives the same text.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "vinca/model/values.h"

namespace vinca {

enum FormatCode : uint8_t {
    FMT_GENERIC = 0,
    FMT_CURRENCY = 1,
    FMT_FIXED = 2,
    FMT_STANDARD = 3,
    FMT_PERCENT = 4,
    FMT_SCIENTIFIC = 5,
    FMT_YES_NO = 6,
    FMT_TRUE_FALSE = 7,
    FMT_ON_OFF = 8,
    FMT_GENERAL_DATE = 9,
    FMT_LONG_DATE = 10,
    FMT_MEDIUM_DATE = 11,
    FMT_SHORT_DATE = 12,
    FMT_LONG_TIME = 13,
    FMT_MEDIUM_TIME = 14,
    FMT_SHORT_TIME = 15,
    FMT_STRING = 16,
    FMT_LITERAL = 255, // not a known name: the name is literal text
};

struct NamedFormat {
    std::string_view name;    // upper case
    std::string_view pattern; // canonical pattern
    FormatCode code;
};

// The named formats. The table is constant, so any thread may read it.
class CNamedFormats {
  public:
    // Looks an already upper-cased name up; null when unknown.
    static const NamedFormat* Find(std::string_view upper_name);
    // Fixed texts by number: 0 " ", 1 "Yes", 2 "No", 3 "True", 4 "False",
    // 5 "On", 6 "Off", 7 "%d", 8 "%G", 9 "%#c"; empty out of range.
    static std::string_view FixedText(int index);
};

struct FormatSection {
    std::string prefix;
    std::string name; // canonical pattern for a known name, else the upper-cased text
    std::string suffix;
    FormatCode code{FMT_GENERIC};
};

// A compiled format text.
class CFormatInstr {
  public:
    explicit CFormatInstr(std::string_view format_text);

    int SectionCount() const { return m_count; }
    const FormatSection& Section(int i) const { return m_sections[static_cast<size_t>(i)]; }

    // The section that serves a value (index into Section()).
    int ChooseSection(const VARIANT& v) const;
    // prefix + formatted value + suffix.
    std::string Format(const VARIANT& v) const;

  private:
    std::array<FormatSection, 4> m_sections;
    int m_count{0};
};

// Formats a value with a format text (an empty text is Generic).
std::string FormatValue(const VARIANT& v, std::string_view format_text);

// ---- pinned locale conventions -------------------------------------------
// English (United States): long date "dddd, MMMM dd, yyyy", short date
// "M/d/yyyy", time "h:mm:ss tt", currency "$#,##0.00" with negatives in
// parentheses.

struct DateParts {
    int year{1899}, month{12}, day{30};
    int hour{0}, minute{0}, second{0};
    int day_of_week{6}; // 0 = Sunday
};

// OLE date (days since 1899-12-30, time of day in the fraction, which runs
// forwards even for negative dates) to calendar fields, rounded to the
// second. False for NaN or a date outside years 100 to 9999.
bool DateToParts(plat::DATE d, DateParts& out);

enum DateStyle { DATE_LONG, DATE_SHORT };
enum TimeFlags : uint32_t {
    TIME_NOSECONDS = 0x2,
    TIME_NOTIMEMARKER = 0x4,
    TIME_FORCE24 = 0x8,
};
// A date picture in the platform's letters (d dd ddd dddd M MM MMM MMMM y yy
// yyyy, quoted literals with ').
std::string FormatDatePicture(const DateParts& p, std::string_view picture);
std::string FormatDate(const DateParts& p, DateStyle style);
std::string FormatTime(const DateParts& p, uint32_t flags);
// Currency text of a number in units of 1/10000, rounded to two places.
std::string FormatCurrency(int64_t units);

} // namespace vinca
