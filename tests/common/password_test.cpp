#include "common/password.h"

#include <gtest/gtest.h>

namespace {

TEST(StretchString, CutsRepeatsAndReverses) {
    struct Case {
        const char* text;
        int length;
        const char* expected;
    } cases[] = {
        {"abcdef", 3, "def"},  // longer: keeps the tail
        {"abc", 3, "cba"},     // exactly long enough: reversed
        {"abc", 7, "cbaabcc"}, // reversed, forward, reversed ... cut
        {"x", 4, "xxxx"},      {"", 5, ""}, {"abc", 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kl::StretchString(c.text, c.length), c.expected) << c.text << " " << c.length;
}

// The designer writes archives with this password and the client opens them
// with it: any change to the derivation breaks every update already published.
TEST(EncodePassword, StableAcrossReleases) {
    EXPECT_EQ(kl::EncodePassword("_0001"),
              "A571E1C734A571E1C734A571E1C734A571E1C734A571E1C734A571E1C734A571");
    EXPECT_EQ(kl::EncodePassword("_0123"),
              "8561E1C6148561E1C6148561E1C6148561E1C6148561E1C6148561E1C6148561");
}

TEST(EncodePassword, IgnoresCaseAndSurroundingBlanks) {
    EXPECT_EQ(kl::EncodePassword("  _0001a "), kl::EncodePassword("_0001A"));
    EXPECT_NE(kl::EncodePassword("_0001"), kl::EncodePassword("_0002"));
    EXPECT_EQ(kl::EncodePassword(""), "");
    EXPECT_EQ(kl::EncodePassword("   "), "");
    const std::string long_name(100, 'Q');
    EXPECT_EQ(kl::EncodePassword(long_name).size(), 64u);
}

} // namespace
