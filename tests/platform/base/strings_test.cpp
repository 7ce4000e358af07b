#include "platform/base/strings.h"

#include <gtest/gtest.h>

using namespace plat;

TEST(Strings, Utf8Utf16RoundTripIncludingSurrogatesAndBadBytes) {
    std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z"; // a é € 😀 z
    std::u16string w = utf8_to_utf16(s);
    EXPECT_EQ(w, u"a\u00e9\u20ac\U0001F600z");
    EXPECT_EQ(utf16_to_utf8(w), s);
    // Invalid and overlong sequences become U+FFFD one byte at a time.
    EXPECT_EQ(utf8_to_utf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf16("x\xE2\x82"), u"x\uFFFD\uFFFD");
    EXPECT_EQ(utf16_to_utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Strings, CaseInsensitiveComparison) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"Common", "COMMON", 0}, {"abc", "ABD", -1}, {"abcd", "ABC", 1}, {"", "", 0},
        {"\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", 0}, // Été / éTÉ
        {"a", "B", -1},
        {"[", "A", -1},                  // folded: '[' sorts before 'a'
        {"z", "\xC3\x89", -1},           // ASCII against a wide character
        {"x\xC3\xA9y", "X\xC3\x89Y", 0}, // ASCII and wide characters mixed
        {"a\xFF", "A\xFE", 0},           // bad bytes both read as U+FFFD
        {"a\xFF", "A\xEF\xBF\xBD", 0},
    };
    for (const auto& c : cases) {
        int r = icompare(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
        // The hash sees what the comparison sees.
        EXPECT_EQ(ihash(c.a) == ihash(c.b), c.sign == 0) << c.a << " vs " << c.b;
    }
    EXPECT_TRUE(iequals(std::u16string_view(u"Stra\u00dfe"), std::u16string_view(u"STRA\u00dfE")));
    EXPECT_EQ(to_upper("hello w\xC3\xB6rld"), "HELLO W\xC3\x96RLD");
    EXPECT_EQ(ifind("Program Files", "FILES"), 8u);
    EXPECT_EQ(ifind("abc", "x"), std::string::npos);
}

TEST(Strings, LeadingIntegersAndTrimming) {
    struct Case {
        const char* text;
        int32_t value;
        bool ok;
    } cases[] = {{"42", 42, true}, {"  -7x", -7, true}, {"12abc", 12, true}, {"abc", 0, false},
                 {"", 0, false},   {"+3", 3, true},     {"4294967295", -1, true}};
    for (const auto& c : cases) {
        bool ok = false;
        EXPECT_EQ(parse_leading_int(c.text, &ok), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    EXPECT_EQ(trim("  \t x y \r\n"), "x y");
    EXPECT_EQ(split("a,,b", ','), (std::vector<std::string>{"a", "", "b"}));
}

TEST(Strings, WildcardMasks) {
    EXPECT_TRUE(wildcard_match("*.KL_", "_0001.kl_"));
    EXPECT_TRUE(wildcard_match("_????.Z*", "_0001.Z02"));
    EXPECT_TRUE(wildcard_match("*", ""));
    EXPECT_FALSE(wildcard_match("?", ""));
    EXPECT_FALSE(wildcard_match("*.zip", "a.zipx"));
    EXPECT_TRUE(wildcard_match("a*b*c", "aXXbYbZc"));
}
