#pragma once
// Version texts as the designer writes them into INF files and the client
// compares them: both sides must read "5.0.2.13", "4, 71, 1712, 0" and a
// build "20.7" the same way.
#include <array>
#include <cstdint>
#include <string_view>

namespace kl {

// The four parts of a version text "a.b.c.d" (or with ","), each the leading
// digits of its part; a number beyond 32 bits stays at 0xFFFFFFFF, anything
// else in a part is ignored, missing parts are 0.
std::array<uint32_t, 4> VersionParts(std::string_view text);
// The same parts as one comparable number of four 16-bit parts (each part
// taken modulo 65536).
uint64_t ParseVersion(std::string_view text);
// "x.y" replaces the lower 32 bits: version 5.1 with build 20.7 is 5.1.20.7;
// a build "7" gives 5.1.7.0.
uint64_t ParseBuild(std::string_view text, uint64_t version);

} // namespace kl
