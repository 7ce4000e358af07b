// Control values and cell formats.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/com/variant.h"
#include "vinca/model/format.h"
#include "vinca/model/search.h"
#include "vinca/model/values.h"

using namespace vinca;
using plat::Variant;

namespace {

// 2026-12-10 (a Thursday) 14:05:09.
const double kDate = 46366.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0;

struct FormatCase {
    const char* format;
    Variant value;
    const char* expected;
};

} // namespace

TEST(StorageFormat, SectionsNamesAndValueTypes) {
    const FormatCase cases[] = {
        // sections and their parts
        {"Total *Fixed* pcs", Variant(int32_t(7)), "Total 7 pcs"},
        {"Currency", Variant(int32_t(7)), "Currency"},
        {"*abc*", Variant(int32_t(7)), "ABC"},
        {"a/*b*fixed*", Variant(int32_t(3)), "a*b3"},
        {"*fixed*x/*", Variant(int32_t(3)), "3x*"},
        {"*fixed*;neg *fixed*;zero;empty", Variant(int32_t(-5)), "neg -5"},
        {"*fixed*;neg *fixed*;zero;empty", Variant(int32_t(0)), "zero"},
        {"*fixed*;neg *fixed*;zero;empty", Variant(0.0), "0"},
        {"*fixed*;neg *fixed*;zero;empty", Variant(), "empty"},
        {"*fixed*;neg *fixed*;zero;empty", Variant::byte(0), "zero"},
        {"*fixed*;neg*scientific*;zero;empty", Variant(-2.5), "neg-2.5"},
        {"a;b;c", Variant(), " "},
        {"a;b;c", Variant(int32_t(-1)), "b"},
        {"a;b;c;d;e", Variant(), "d"},
        {"*fixed*;none", Variant(), "none"},
        {"*fixed*;none", Variant(int32_t(5)), "5"},
        {"*fixed*;none", Variant::null(), "none"},
        // generic (empty format) for each value type
        {"", Variant(int32_t(42)), "42"},
        {"", Variant(int16_t(-3)), "-3"},
        {"", Variant::byte(200), "200"},
        {"", Variant(1.5), "1.5"},
        {"", Variant(1.5f), "1.5"},
        {"", Variant(1e20), "1E+20"},
        {"", Variant::boolean(true), "True"},
        {"", Variant::boolean(false), "False"},
        {"", Variant::currency(12345678), "$1,234.57"},
        {"", Variant::currency(-12345678), "($1,234.57)"},
        {"", Variant::from_date(kDate), "Thursday, December 10, 2026 14:05"},
        {"", Variant("abc"), "abc"},
        {"", Variant::ansi("x\xC3\xBCz"), "x\xC3\xBCz"},
        {"", Variant(), " "},
        {"", Variant::null(), " "},
        {"", Variant::error(5), " "},
        // named formats on the types they suit
        {"*currency*", Variant(int16_t(3)), "$3.00"},
        {"*Currency*", Variant(2.125), "$2.13"},
        {"*standard*", Variant(int32_t(1234)), "1234"},
        {"*percent*", Variant(0.25), "25%"},
        {"*percent*", Variant(int32_t(2)), "200%"},
        {"*scientific*", Variant(12345678.0), "1.23457E+07"},
        {"*yes/no*", Variant::boolean(true), "Yes"},
        {"*yes/no*", Variant(int32_t(0)), "No"},
        {"*on/off*", Variant(int32_t(3)), "On"},
        {"*true/false*", Variant::boolean(false), "False"},
        {"*general date*", Variant::from_date(kDate), "Thursday, December 10, 2026 14:05"},
        {"*long date*", Variant::from_date(kDate), "Thursday, December 10, 2026"},
        {"*medium date*", Variant::from_date(kDate), "10 December 26"},
        {"*short date*", Variant::from_date(kDate), "12/10/2026"},
        {"*long time*", Variant::from_date(kDate), "2:05:09 PM"},
        {"*medium time*", Variant::from_date(kDate), "2:05 PM"},
        {"*short time*", Variant::from_date(kDate), "14:05"},
        {"<*string*>", Variant("abc"), "<abc>"},
        {"<*string*>", Variant::ansi("abc"), "<abc>"},
        // pairings that do not suit fall back to the default text
        {"*string*", Variant(int32_t(7)), "7"},
        {"*fixed*", Variant("abc"), "abc"},
        {"*short date*", Variant(1.5), "1.5"},
        {"*percent*", Variant::currency(10000), "$1.00"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(FormatValue(c.value, c.format), c.expected) << "format \"" << c.format << "\"";
}

TEST(StorageFormat, ThreeSectionsGetAGenericFourth) {
    CFormatInstr f("a;b;c");
    ASSERT_EQ(f.SectionCount(), 4);
    EXPECT_EQ(f.Section(3).code, FMT_GENERIC);
    EXPECT_EQ(f.Section(0).code, FMT_LITERAL);
}

TEST(StorageFormat, DatesBeforeTheEpochRunTheirTimeForwards) {
    DateParts p;
    ASSERT_TRUE(DateToParts(-1.25, p));
    EXPECT_EQ(FormatDatePicture(p, "yyyy-MM-dd"), "1899-12-29");
    EXPECT_EQ(FormatTime(p, TIME_FORCE24 | TIME_NOTIMEMARKER), "6:00:00");
    ASSERT_TRUE(DateToParts(0.999999999, p)); // rounds into the next day
    EXPECT_EQ(FormatDatePicture(p, "d MMM yyyy ddd"), "31 Dec 1899 Sun");
    EXPECT_FALSE(DateToParts(3e6, p));
    EXPECT_FALSE(DateToParts(std::nan(""), p));
}

TEST(StorageValues, NumericViews) {
    EXPECT_EQ(ValueToInt(Variant(2.9)), 2);
    EXPECT_EQ(ValueToInt(Variant(-2.9)), -2);
    EXPECT_EQ(ValueToInt(Variant(1e30)), INT32_MAX);
    EXPECT_EQ(ValueToInt(Variant::currency(123456)), 12);
    EXPECT_EQ(ValueToInt(Variant::boolean(true)), 1);
    EXPECT_EQ(ValueToInt(Variant("12")), 0);
    EXPECT_DOUBLE_EQ(ValueToReal(Variant::currency(15000)), 1.5);
    EXPECT_DOUBLE_EQ(ValueToReal(Variant(int16_t(4))), 4.0);
    EXPECT_EQ(ValueRound(Variant(2.5)), 3);
    EXPECT_EQ(ValueRound(Variant(-2.5)), -3);
    EXPECT_EQ(ValueRound(Variant::currency(-25000)), -3);
    EXPECT_EQ(ValueRound(Variant::boolean(true)), 0);
    EXPECT_EQ(ValueToShort(Variant(int32_t(70000)), 9), int16_t(70000));
    EXPECT_EQ(ValueToShort(Variant(1.0), 9), 9);

    Variant target(int32_t(77));
    Variant ref = Variant::ref(&target);
    EXPECT_EQ(ValueToInt(ref), 77);
}

TEST(StorageValues, AnsiTextLeavesAsOrdinaryText) {
    Variant v = Variant::ansi("caf\xC3\xA9");
    EXPECT_EQ(v.vt, VT_ANSI_TEXT);
    EXPECT_EQ(ValueToText(v), "caf\xC3\xA9");

    Variant out;
    ASSERT_EQ(CopyOut(out, v), plat::S_OK);
    EXPECT_EQ(out.vt, plat::VT_BSTR);
    EXPECT_EQ(ValueToText(out), "caf\xC3\xA9");

    Variant copy;
    ASSERT_EQ(ValueCopy(copy, v), plat::S_OK);
    EXPECT_EQ(copy.vt, VT_ANSI_TEXT);

    Variant empty;
    ASSERT_TRUE(ValueSetAnsi(empty, {}));
    EXPECT_EQ(empty.vt, VT_ANSI_TEXT);
    EXPECT_EQ(ValueToText(empty, "x"), "");
    EXPECT_EQ(ValueToText(Variant(int32_t(1)), "dflt"), "dflt");
}

TEST(StorageValues, CopyInFollowsReferences) {
    Variant target(3.5);
    Variant inner = Variant::ref(&target);
    Variant outer = Variant::ref(&inner);
    Variant dst;
    ASSERT_EQ(CopyIn(dst, outer), plat::S_OK);
    EXPECT_EQ(dst.vt, plat::VT_R8);
    EXPECT_DOUBLE_EQ(dst.dblVal, 3.5);

    int32_t n = 9;
    VARIANT byref{};
    byref.vt = plat::VT_I4 | plat::VT_BYREF;
    byref.plVal = &n;
    ASSERT_EQ(CopyIn(dst, byref), plat::S_OK);
    EXPECT_EQ(dst.vt, plat::VT_I4);
    EXPECT_EQ(dst.lVal, 9);

    byref.plVal = nullptr; // a null reference arrives as 0
    ASSERT_EQ(CopyIn(dst, byref), plat::S_OK);
    EXPECT_EQ(dst.vt, plat::VT_I4);
    EXPECT_EQ(dst.lVal, 0);

    VARIANT loop{}; // a reference to itself is refused, not followed for ever
    loop.vt = plat::VT_VARIANT | plat::VT_BYREF;
    loop.pvarVal = &loop;
    EXPECT_NE(CopyIn(dst, loop), plat::S_OK);
    EXPECT_EQ(dst.vt, plat::VT_EMPTY);
}

TEST(StorageValues, DecimalPrefix) {
    EXPECT_EQ(ParseDecimalPrefix(nullptr), -1);
    EXPECT_EQ(ParseDecimalPrefix(""), 0);
    EXPECT_EQ(ParseDecimalPrefix("12ab"), 12);
    EXPECT_EQ(ParseDecimalPrefix("123456"), 12345);
    EXPECT_EQ(ParseDecimalPrefix("99999"), 32767);
}

TEST(StorageValues, CompareOrdersEmptyFirstAndMixesNumbers) {
    EXPECT_LT(ValueCompare(Variant(), Variant(int32_t(0)), 0), 0);
    EXPECT_GT(ValueCompare(Variant(int32_t(0)), Variant::null(), 0), 0);
    EXPECT_EQ(ValueCompare(Variant(), Variant::null(), 0), 0);
    EXPECT_LT(ValueCompare(Variant(int16_t(2)), Variant(2.5), 0), 0);
    EXPECT_GT(ValueCompare(Variant::boolean(true), Variant::boolean(false), 0), 0);
    EXPECT_EQ(ValueCompare(Variant("abc"), Variant::ansi("ABC"), 0x1), 0);
    EXPECT_NE(ValueCompare(Variant("abc"), Variant::ansi("ABC"), 0), 0);
    // Texts follow every text flag, not only ignore-case.
    EXPECT_GT(ValueCompare(Variant::ansi("10 apples"), Variant("9 apples"), CMP_NUMERIC_PREFIX), 0);
    EXPECT_LT(ValueCompare(Variant::ansi("10 apples"), Variant("9 apples"), 0), 0);
    EXPECT_EQ(ValueCompare(Variant("abcdef"), Variant("abc"), CMP_PREFIX), 0);
    EXPECT_LT(ValueCompare(Variant::currency(10000), Variant::currency(20000), 0), 0);
}
