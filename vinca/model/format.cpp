// Cell formats and the pinned locale's date, time and currency texts.
#include "vinca/model/format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/base/strings.h"

namespace vinca {

using namespace plat;

// ---- named formats -------------------------------------------------------

namespace {

constexpr NamedFormat kNamedFormats[] = {
    {"GENERIC", "%s", FMT_GENERIC},
    {"", "", FMT_LITERAL},
    {"CURRENCY", "%s", FMT_CURRENCY},
    {"FIXED", "%01d", FMT_FIXED},
    {"STANDARD", "%d", FMT_STANDARD},
    {"PERCENT", "%G%%", FMT_PERCENT},
    {"SCIENTIFIC", "%G", FMT_SCIENTIFIC},
    {"YES/NO", "%s", FMT_YES_NO},
    {"TRUE/FALSE", "%s", FMT_TRUE_FALSE},
    {"ON/OFF", "%s", FMT_ON_OFF},
    {"GENERAL DATE", "%#c", FMT_GENERAL_DATE},
    {"LONG DATE", "%#x", FMT_LONG_DATE},
    {"MEDIUM DATE", "%d-%B-%y", FMT_MEDIUM_DATE},
    {"SHORT DATE", "%m/%d/%y", FMT_SHORT_DATE},
    {"LONG TIME", "%X", FMT_LONG_TIME},
    {"MEDIUM TIME", "%I:%M %p", FMT_MEDIUM_TIME},
    {"SHORT TIME", "%I:%M", FMT_SHORT_TIME},
    {"STRING", "%s", FMT_STRING},
};

constexpr std::string_view kFixedTexts[] = {" ",  "Yes", "No", "True", "False",
                                            "On", "Off", "%d", "%G",   "%#c"};

const NamedFormat& generic_format() {
    return kNamedFormats[0];
}

// "%G" without the process locale: the decimal point is always '.'.
std::string real_text(double x) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 6);
    std::string s(buf, r.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

bool is_empty(const VARIANT& v) {
    return v.vt == VT_EMPTY || v.vt == VT_NULL;
}

bool is_integer_type(VARTYPE t) {
    return t == VT_I2 || t == VT_I4 || t == VT_UI1;
}

bool is_nonzero(const VARIANT& v) {
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) return v.punkVal != nullptr;
    return ValueToReal(v) != 0.0;
}

bool suits(VARTYPE t, FormatCode code) {
    if (code == FMT_GENERIC || code == FMT_LITERAL) return true;
    switch (t) {
    case VT_I2:
    case VT_I4:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_UI1:
        return code == FMT_CURRENCY || code == FMT_FIXED || code == FMT_STANDARD || code == FMT_PERCENT ||
               code == FMT_YES_NO || code == FMT_TRUE_FALSE || code == FMT_ON_OFF;
    case VT_R4:
    case VT_R8:
        return code == FMT_CURRENCY || code == FMT_PERCENT || code == FMT_SCIENTIFIC;
    case VT_CY:
        return code == FMT_CURRENCY;
    case VT_DATE:
        return code >= FMT_GENERAL_DATE && code <= FMT_SHORT_TIME;
    case VT_BSTR:
    case VT_ANSI_TEXT:
        return code == FMT_STRING;
    case VT_BOOL:
        return code == FMT_YES_NO || code == FMT_TRUE_FALSE || code == FMT_ON_OFF;
    default:
        return false;
    }
}

// The value in currency units; false when it does not fit.
bool to_currency_units(const VARIANT& v, int64_t& units) {
    if (v.vt == VT_CY) {
        units = v.cyVal.int64;
        return true;
    }
    double x = ValueToReal(v) * 10000.0;
    if (!(std::fabs(x) < 9.2e18)) return false;
    units = std::llround(x);
    return true;
}

std::string currency_text(const VARIANT& v) {
    int64_t units = 0;
    return to_currency_units(v, units) ? FormatCurrency(units) : std::string(" ");
}

std::string general_date_text(const VARIANT& v) {
    DateParts p;
    if (!DateToParts(v.date, p)) return " ";
    return FormatDate(p, DATE_LONG) + " " + FormatTime(p, TIME_NOSECONDS | TIME_FORCE24);
}

std::string default_text(const VARIANT& v) {
    switch (v.vt) {
    case VT_I2:
    case VT_I4:
    case VT_UI1:
        return std::to_string(ValueToInt(v));
    case VT_R4:
    case VT_R8:
        return real_text(ValueToReal(v));
    case VT_CY:
        return currency_text(v);
    case VT_DATE:
        return general_date_text(v);
    case VT_BSTR:
    case VT_ANSI_TEXT:
        return ValueToText(v);
    case VT_BOOL:
        return v.boolVal ? "True" : "False";
    default:
        return " ";
    }
}

std::string date_text(const VARIANT& v, FormatCode code) {
    DateParts p;
    if (!DateToParts(v.date, p)) return " ";
    switch (code) {
    case FMT_GENERAL_DATE:
        return general_date_text(v);
    case FMT_LONG_DATE:
        return FormatDate(p, DATE_LONG);
    case FMT_MEDIUM_DATE:
        return FormatDatePicture(p, "dd' 'MMMM' 'yy");
    case FMT_SHORT_DATE:
        return FormatDate(p, DATE_SHORT);
    case FMT_LONG_TIME:
        return FormatTime(p, 0);
    case FMT_MEDIUM_TIME:
        return FormatTime(p, TIME_NOSECONDS);
    default:
        return FormatTime(p, TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24);
    }
}

std::string format_section(const VARIANT& v, const FormatSection& s) {
    if (!suits(v.vt, s.code)) return default_text(v);
    switch (s.code) {
    case FMT_GENERIC:
        return default_text(v);
    case FMT_CURRENCY:
        return currency_text(v);
    // Only the patterns of the constant table reach printf.
    case FMT_FIXED:
    case FMT_STANDARD:
        return strprintf(s.code == FMT_FIXED ? "%01d" : "%d", ValueToInt(v));
    case FMT_PERCENT:
        return real_text(ValueToReal(v) * 100.0) + "%";
    case FMT_SCIENTIFIC:
        return real_text(ValueToReal(v));
    case FMT_YES_NO:
        return std::string(CNamedFormats::FixedText(is_nonzero(v) ? 1 : 2));
    case FMT_TRUE_FALSE:
        return std::string(CNamedFormats::FixedText(is_nonzero(v) ? 3 : 4));
    case FMT_ON_OFF:
        return std::string(CNamedFormats::FixedText(is_nonzero(v) ? 5 : 6));
    case FMT_STRING:
        return ValueToText(v);
    case FMT_LITERAL:
        return s.name;
    default:
        return date_text(v, s.code);
    }
}

FormatSection parse_section(std::string_view text) {
    std::string parts[3];
    int part = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            parts[part] += '*';
            ++i;
        } else if (c == '*' && part < 2) {
            ++part;
        } else {
            parts[part] += c;
        }
    }
    FormatSection s;
    s.prefix = std::move(parts[0]);
    s.suffix = std::move(parts[2]);
    std::string name = to_upper(parts[1]);
    const NamedFormat* nf =
        (s.prefix.empty() && name.empty()) ? &generic_format() : CNamedFormats::Find(name);
    if (nf) {
        s.name = std::string(nf->pattern);
        s.code = nf->code;
    } else {
        s.name = std::move(name);
        s.code = FMT_LITERAL;
    }
    return s;
}

} // namespace

const NamedFormat* CNamedFormats::Find(std::string_view upper_name) {
    for (const NamedFormat& nf : kNamedFormats)
        if (nf.name == upper_name) return &nf;
    return nullptr;
}

std::string_view CNamedFormats::FixedText(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kFixedTexts))) return {};
    return kFixedTexts[index];
}

// ---- compiled formats ----------------------------------------------------

CFormatInstr::CFormatInstr(std::string_view format_text) {
    size_t start = 0;
    while (m_count < 4) {
        size_t end = format_text.find(';', start);
        m_sections[static_cast<size_t>(m_count++)] = parse_section(format_text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (m_count == 3) m_sections[static_cast<size_t>(m_count++)] = parse_section({});
}

int CFormatInstr::ChooseSection(const VARIANT& value) const {
    const VARIANT& v = deref(value);
    if (m_count == 2) return is_empty(v) ? 1 : 0;
    if (m_count == 4) {
        if (is_empty(v)) return 3;
        switch (v.vt) {
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
            if (ValueToReal(v) < 0) return 1;
            break;
        default:
            break;
        }
        if (is_integer_type(v.vt) && ValueToInt(v) == 0) return 2;
    }
    return 0;
}

std::string CFormatInstr::Format(const VARIANT& value) const {
    const VARIANT& v = value.vt == (VT_VARIANT | VT_BYREF) && value.pvarVal ? *value.pvarVal : value;
    const FormatSection& s = Section(ChooseSection(v));
    return s.prefix + format_section(v, s) + s.suffix;
}

std::string FormatValue(const VARIANT& v, std::string_view format_text) {
    return CFormatInstr(format_text).Format(v);
}

// ---- pinned locale -------------------------------------------------------

namespace {

constexpr std::string_view kMonthNames[] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
constexpr std::string_view kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
constexpr int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

constexpr int64_t kOleEpoch = days_from_civil(1899, 12, 30);

std::string two_digits(int n) {
    return strprintf("%02d", n);
}

} // namespace

bool DateToParts(DATE d, DateParts& out) {
    if (std::isnan(d) || d < -657434.0 || d >= 2958466.0) return false;
    double whole = std::trunc(d);
    int64_t days = static_cast<int64_t>(whole);
    int64_t secs = std::llround(std::fabs(d - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        ++days;
    }
    civil_from_days(days + kOleEpoch, out.year, out.month, out.day);
    if (out.year > 9999) return false;
    out.hour = static_cast<int>(secs / 3600);
    out.minute = static_cast<int>(secs / 60 % 60);
    out.second = static_cast<int>(secs % 60);
    out.day_of_week = static_cast<int>(((days % 7) + 7 + 6) % 7); // 1899-12-30 was a Saturday
    return true;
}

std::string FormatDatePicture(const DateParts& p, std::string_view picture) {
    std::string out;
    for (size_t i = 0; i < picture.size();) {
        char c = picture[i];
        if (c == '\'') {
            size_t end = picture.find('\'', i + 1);
            if (end == std::string_view::npos) end = picture.size();
            out.append(picture.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        size_t n = 1;
        while (i + n < picture.size() && picture[i + n] == c)
            ++n;
        if (c == 'd') {
            if (n == 1)
                out += std::to_string(p.day);
            else if (n == 2)
                out += two_digits(p.day);
            else if (n == 3)
                out += kDayNames[p.day_of_week].substr(0, 3);
            else
                out += kDayNames[p.day_of_week];
        } else if (c == 'M') {
            if (n == 1)
                out += std::to_string(p.month);
            else if (n == 2)
                out += two_digits(p.month);
            else if (n == 3)
                out += kMonthNames[p.month - 1].substr(0, 3);
            else
                out += kMonthNames[p.month - 1];
        } else if (c == 'y') {
            if (n == 1)
                out += std::to_string(p.year % 100);
            else if (n == 2)
                out += two_digits(p.year % 100);
            else
                out += std::to_string(p.year);
        } else {
            out.append(n, c);
        }
        i += n;
    }
    return out;
}

std::string FormatDate(const DateParts& p, DateStyle style) {
    return FormatDatePicture(p, style == DATE_LONG ? "dddd, MMMM dd, yyyy" : "M/d/yyyy");
}

std::string FormatTime(const DateParts& p, uint32_t flags) {
    int hour = p.hour;
    if (!(flags & TIME_FORCE24)) {
        hour %= 12;
        if (hour == 0) hour = 12;
    }
    // Appended piece by piece: the optimiser warns wrongly about a literal
    // joined to a temporary text.
    std::string out = std::to_string(hour);
    out += ':';
    out += two_digits(p.minute);
    if (!(flags & TIME_NOSECONDS)) {
        out += ':';
        out += two_digits(p.second);
    }
    // A 24-hour time carries no AM/PM marker.
    if (!(flags & (TIME_NOTIMEMARKER | TIME_FORCE24))) out += p.hour < 12 ? " AM" : " PM";
    return out;
}

std::string FormatCurrency(int64_t units) {
    bool negative = units < 0;
    uint64_t mag = negative ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
    uint64_t cents = (mag + 50) / 100; // two places, half away from zero
    std::string digits = std::to_string(cents / 100);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    std::string text = "$" + grouped + "." + two_digits(static_cast<int>(cents % 100));
    return negative && cents ? "(" + text + ")" : text;
}

} // namespace vinca
