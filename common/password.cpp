#include "common/password.h"

#include <algorithm>

#include "platform/base/strings.h"

namespace kl {

namespace {

// Built from codes rather than written as a literal, so that the key does not
// stand in the binary as one readable string.
std::string PasswordKey() {
    const unsigned char codes[] = {0x4B, 0x6C, 0x37, 0x23, 0x71};
    return std::string(reinterpret_cast<const char*>(codes), sizeof codes);
}

} // namespace

std::string StretchString(std::string_view text, int length) {
    if (text.empty() || length < 1) return {};
    const size_t n = static_cast<size_t>(length);
    if (text.size() > n) return std::string(text.substr(text.size() - n));
    std::string reversed(text.rbegin(), text.rend());
    std::string out;
    out.reserve(n + text.size());
    for (size_t part = 1; out.size() < n; ++part)
        out += (part % 2 == 1) ? reversed : std::string(text);
    out.resize(n);
    return out;
}

std::string EncodePassword(std::string_view text) {
    const std::string s0 = plat::trim(plat::to_upper(text));
    if (s0.empty()) return {};
    std::string s = StretchString(s0, 64);
    const std::string key = PasswordKey();
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char>(static_cast<unsigned char>(s[i]) ^
                                 static_cast<unsigned char>(key[i % key.size()]));
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned code = static_cast<unsigned char>(s[i]);
        // Position i counts from 0 here: odd positions of the one-based count
        // take the last hexadecimal digit, even ones the first.
        if (i % 2 == 0)
            out += digits[code & 0xF];
        else
            out += digits[code < 16 ? code : code >> 4];
    }
    return out;
}

} // namespace kl
