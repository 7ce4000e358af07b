#include "platform/base/strings.h"

#include <cstdio>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace plat {

namespace {

// Decodes one sequence of two or more bytes (or an invalid byte).
char32_t decode_utf8_long(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t min_for_len[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < min_for_len[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += len;
    return cp;
}

// Decodes one UTF-8 sequence; invalid bytes decode as U+FFFD, one byte each.
inline char32_t decode_utf8(std::string_view s, size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    return decode_utf8_long(s, i);
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

locale_t pinned_locale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return loc;
}

char32_t upper_char(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), pinned_locale()));
}

// fold_char with the ASCII case worked out here: names and keys are
// nearly always ASCII, and compares and hashes fold every character.
inline char32_t fold_fast(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return fold_char(c);
}

template <typename Str, typename Next>
int icompare_impl(const Str& a, const Str& b, Next next) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t ca = fold_fast(next(a, i));
        char32_t cb = fold_fast(next(b, j));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

char32_t next8(std::string_view s, size_t& i) { return decode_utf8(s, i); }

char32_t next16(std::u16string_view s, size_t& i) {
    char16_t c = s[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
        char32_t lo = s[i++];
        return 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
    }
    return c;
}

void append_utf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

} // namespace

char32_t fold_char(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), pinned_locale()));
}

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();)
        append_utf16(out, decode_utf8(s, i));
    return out;
}

std::string utf16_to_utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t c = next16(s, i);
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD; // lone surrogate
        append_utf8(out, c);
    }
    return out;
}

std::u32string utf8_to_utf32(std::string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();)
        out += decode_utf8(s, i);
    return out;
}

std::string utf32_to_utf8(std::u32string_view s) {
    std::string out;
    for (char32_t c : s)
        append_utf8(out, c);
    return out;
}

int icompare(std::string_view a, std::string_view b) { return icompare_impl(a, b, next8); }
int icompare(std::u16string_view a, std::u16string_view b) { return icompare_impl(a, b, next16); }
bool iequals(std::string_view a, std::string_view b) { return icompare(a, b) == 0; }
bool iequals(std::u16string_view a, std::u16string_view b) { return icompare(a, b) == 0; }

uint64_t ihash(std::string_view s) {
    // FNV-1a over the folded code points, so that it sees what icompare sees.
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < s.size();) {
        h ^= fold_fast(decode_utf8(s, i));
        h *= 1099511628211ull;
    }
    return h;
}

bool istarts_with(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

bool iends_with(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && iequals(s.substr(s.size() - suffix.size()), suffix);
}

size_t ifind(std::string_view hay, std::string_view needle, size_t from) {
    if (needle.empty())
        return from <= hay.size() ? from : std::string_view::npos;
    std::string h = to_lower(hay), n = to_lower(needle);
    // Folding can change byte lengths only outside ASCII; fall back to a
    // character walk there so that the position refers to `hay`.
    if (h.size() == hay.size() && n.size() == needle.size())
        return h.find(n, from);
    for (size_t i = from; i < hay.size(); ++i)
        if (istarts_with(hay.substr(i), needle))
            return i;
    return std::string_view::npos;
}

std::string to_upper(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();)
        append_utf8(out, upper_char(decode_utf8(s, i)));
    return out;
}

std::string to_lower(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();)
        append_utf8(out, fold_char(decode_utf8(s, i)));
    return out;
}

std::u16string to_upper(std::u16string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();)
        append_utf16(out, upper_char(next16(s, i)));
    return out;
}

std::u16string to_lower(std::u16string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();)
        append_utf16(out, fold_char(next16(s, i)));
    return out;
}

std::string_view trim_view(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string trim(std::string_view s) { return std::string(trim_view(s)); }

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        out.emplace_back(s.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
        if (p == std::string_view::npos)
            break;
        start = p + 1;
    }
    return out;
}

std::string vstrprintf(const char* fmt, va_list ap) {
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap2);
    va_end(ap2);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, fmt, ap);
    return out;
}

std::string strprintf(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = vstrprintf(fmt, ap);
    va_end(ap);
    return s;
}

int32_t parse_leading_int(std::string_view s, bool* ok) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        neg = s[i] == '-';
        ++i;
    }
    int64_t v = 0;
    bool any = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        any = true;
        v = v * 10 + (s[i] - '0');
        if (v > 0xFFFFFFFFll)
            v = 0xFFFFFFFFll; // saturate; wraps like a 32-bit read below
        ++i;
    }
    if (ok)
        *ok = any;
    if (neg)
        v = -v;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(v)));
}

bool wildcard_match(std::string_view p, std::string_view n) {
    // Iterative matcher with back-tracking on the last '*'.
    size_t pi = 0, ni = 0, star = std::string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || fold_char(static_cast<unsigned char>(p[pi])) ==
                                                   fold_char(static_cast<unsigned char>(n[ni])))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace plat
