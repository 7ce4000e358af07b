#include "common/version.h"

#include "platform/base/strings.h"

namespace kl {

namespace {

// Reads leading decimal digits; missing or unreadable text counts 0.
uint64_t leading_number(std::string_view s) {
    s = plat::trim_view(s);
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
    }
    return v;
}

} // namespace

std::array<uint32_t, 4> VersionParts(std::string_view text) {
    std::array<uint32_t, 4> parts{};
    std::string_view rest = text;
    for (uint32_t& part : parts) {
        size_t end = rest.find('.');
        if (end == std::string_view::npos) end = rest.find(',');
        part =
            static_cast<uint32_t>(leading_number(end == std::string_view::npos ? rest : rest.substr(0, end)));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return parts;
}

uint64_t ParseVersion(std::string_view text) {
    const std::array<uint32_t, 4> p = VersionParts(text);
    return (uint64_t{p[0] & 0xFFFFu} << 48) | (uint64_t{p[1] & 0xFFFFu} << 32) |
           (uint64_t{p[2] & 0xFFFFu} << 16) | (p[3] & 0xFFFFu);
}

uint64_t ParseBuild(std::string_view text, uint64_t version) {
    // The designer writes the build as one number: it is then the third part.
    size_t dot = text.find('.');
    uint64_t x = leading_number(text.substr(0, dot)) & 0xFFFF;
    uint64_t y = dot == std::string_view::npos ? 0 : leading_number(text.substr(dot + 1)) & 0xFFFF;
    return (version & 0xFFFFFFFF00000000ull) | (x << 16) | y;
}

} // namespace kl
