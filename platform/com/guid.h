#pragma once
// Class and interface identities: a 16-byte value with the usual text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

struct GUID {
    uint32_t Data1{0};
    uint16_t Data2{0};
    uint16_t Data3{0};
    uint8_t Data4[8]{};

    friend bool operator==(const GUID& a, const GUID& b) {
        return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
               std::memcmp(a.Data4, b.Data4, 8) == 0;
    }
    friend bool operator<(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
    bool is_null() const { return *this == GUID{}; }
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

constexpr GUID GUID_NULL{};

namespace detail {
constexpr int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
// Parses the 36-character body (no braces). Answers false on any bad digit or dash.
constexpr bool parse_guid_body(std::string_view s, GUID& g) {
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
    uint8_t bytes[16]{};
    size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (s[pos] == '-') ++pos;
        int hi = hex_digit(s[pos]);
        int lo = hex_digit(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
        pos += 2;
    }
    g.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = bytes[8 + i];
    return true;
}
} // namespace detail

// Text form with or without braces, any letter case. Empty when malformed.
constexpr std::optional<GUID> guid_from_string(std::string_view s) {
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    GUID g;
    if (!detail::parse_guid_body(s, g)) return std::nullopt;
    return g;
}

// For identities written in the source: a bad literal fails to compile when
// used in a constant expression.
consteval GUID make_guid(std::string_view s) {
    auto g = guid_from_string(s);
    if (!g) throw "malformed class or interface identity";
    return *g;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as the registry keys hold it.
std::string guid_to_string(const GUID& g);

} // namespace plat
