#include "platform/com/oadate.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "platform/base/strings.h"

namespace plat {

namespace {

constexpr const char* kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                                   "july",    "august",   "september", "october", "november", "december"};

int month_from_word(std::string_view w) {
    if (w.size() < 3) return 0;
    for (int m = 0; m < 12; ++m) {
        std::string_view name = kMonths[m];
        if (w.size() <= name.size() && iequals(w, name.substr(0, w.size()))) return m + 1;
    }
    return 0;
}

struct Token {
    enum Kind { Number, Word, Sep } kind;
    std::string text;
};

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isdigit(c)) {
            size_t j = i;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
                ++j;
            out.push_back({Token::Number, std::string(s.substr(i, j - i))});
            i = j;
        } else if (std::isalpha(c)) {
            size_t j = i;
            while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j])))
                ++j;
            out.push_back({Token::Word, std::string(s.substr(i, j - i))});
            i = j;
        } else if (c == ' ' || c == '\t') {
            ++i;
        } else {
            out.push_back({Token::Sep, std::string(1, s[i])});
            ++i;
        }
    }
    return out;
}

} // namespace

std::optional<DATE> parse_oa_date(std::string_view text) {
    auto tokens = tokenize(text);
    if (tokens.empty()) return std::nullopt;

    CalendarTime f;
    f.year = 1899;
    f.month = 12;
    f.day = 30;
    // Time: number ':' number [':' number] [AM|PM], anywhere in the text.
    bool have_time = false;
    std::vector<Token> rest;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!have_time && tokens[i].kind == Token::Number && i + 2 < tokens.size() &&
            tokens[i + 1].text == ":" && tokens[i + 2].kind == Token::Number) {
            f.hour = std::atoi(tokens[i].text.c_str());
            f.minute = std::atoi(tokens[i + 2].text.c_str());
            i += 2;
            if (i + 2 < tokens.size() && tokens[i + 1].text == ":" && tokens[i + 2].kind == Token::Number) {
                f.second = std::atoi(tokens[i + 2].text.c_str());
                i += 2;
            }
            if (i + 1 < tokens.size() && tokens[i + 1].kind == Token::Word &&
                (iequals(tokens[i + 1].text, "AM") || iequals(tokens[i + 1].text, "PM"))) {
                const bool pm = iequals(tokens[i + 1].text, "PM");
                if (f.hour < 1 || f.hour > 12) return std::nullopt;
                f.hour = f.hour % 12 + (pm ? 12 : 0);
                ++i;
            }
            have_time = true;
            continue;
        }
        rest.push_back(tokens[i]);
    }
    // An ISO "T" between date and time.
    if (have_time && !rest.empty() && rest.back().kind == Token::Word && iequals(rest.back().text, "T"))
        rest.pop_back();

    std::vector<std::string> numbers;
    int month_word = 0;
    char sep = 0;
    for (const Token& t : rest) {
        if (t.kind == Token::Number) {
            numbers.push_back(t.text);
        } else if (t.kind == Token::Word) {
            int m = month_from_word(t.text);
            if (!m || month_word) return std::nullopt;
            month_word = m;
        } else if (t.text == "/" || t.text == "-" || t.text == ".") {
            if (sep && sep != t.text[0]) return std::nullopt;
            sep = t.text[0];
        } else if (t.text != ",") {
            return std::nullopt;
        }
    }

    auto year_of = [](const std::string& s) {
        int y = std::atoi(s.c_str());
        if (s.size() <= 2) y += y < 30 ? 2000 : 1900;
        return y;
    };
    if (numbers.size() > 3 || numbers.size() + (month_word ? 1 : 0) == 1 || (numbers.empty() && month_word) ||
        (numbers.empty() && !have_time))
        return std::nullopt;
    if (month_word) {
        if (numbers.size() != 2) return std::nullopt;
        // The number that can only be a year is the year; otherwise day then year.
        bool first_is_year = numbers[0].size() > 2 || std::atoi(numbers[0].c_str()) > 31;
        f.month = month_word;
        f.day = std::atoi(numbers[first_is_year ? 1 : 0].c_str());
        f.year = year_of(numbers[first_is_year ? 0 : 1]);
    } else if (numbers.size() == 3) {
        if (numbers[0].size() >= 3) { // year first
            f.year = year_of(numbers[0]);
            f.month = std::atoi(numbers[1].c_str());
            f.day = std::atoi(numbers[2].c_str());
        } else { // month/day/year, the pinned locale's order
            f.month = std::atoi(numbers[0].c_str());
            f.day = std::atoi(numbers[1].c_str());
            f.year = year_of(numbers[2]);
        }
    } else if (!numbers.empty()) {
        return std::nullopt; // a partial date would depend on today's date
    }
    for (const auto& n : numbers)
        if (n.size() > 4) return std::nullopt;
    OleDate d;
    if (!ole_date_from_calendar(f, d)) return std::nullopt;
    return d;
}

std::optional<std::string> format_oa_date(DATE d) {
    CalendarTime f;
    if (!calendar_from_ole_date(d, f)) return std::nullopt;
    const bool day_zero = f.year == 1899 && f.month == 12 && f.day == 30;
    const bool midnight = f.hour == 0 && f.minute == 0 && f.second == 0;
    std::string out;
    if (!day_zero || midnight) out = strprintf("%d/%d/%d", f.month, f.day, f.year);
    if (!midnight) {
        if (!out.empty()) out += ' ';
        const int h12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
        out += strprintf("%d:%02d:%02d %s", h12, f.minute, f.second, f.hour < 12 ? "AM" : "PM");
    }
    return out;
}

} // namespace plat
