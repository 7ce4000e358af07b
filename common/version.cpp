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

uint64_t ParseVersion(std::string_view text) {
    uint64_t parts[4] = {0, 0, 0, 0};
    std::string_view rest = text;
    for (int i = 0; i < 4; ++i) {
        size_t end = rest.find('.');
        if (end == std::string_view::npos) end = rest.find(',');
        std::string_view part = end == std::string_view::npos ? rest : rest.substr(0, end);
        parts[i] = leading_number(part);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return ((parts[0] & 0xFFFF) << 48) | ((parts[1] & 0xFFFF) << 32) | ((parts[2] & 0xFFFF) << 16) |
           (parts[3] & 0xFFFF);
}

uint64_t ParseBuild(std::string_view text, uint64_t version) {
    // The designer writes the build as one number: it is then the third part.
    size_t dot = text.find('.');
    uint64_t x = leading_number(text.substr(0, dot)) & 0xFFFF;
    uint64_t y = dot == std::string_view::npos ? 0 : leading_number(text.substr(dot + 1)) & 0xFFFF;
    return (version & 0xFFFFFFFF00000000ull) | (x << 16) | y;
}

} // namespace kl
