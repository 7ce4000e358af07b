#include <gtest/gtest.h>

#include <cmath>

#include "platform/com/bstr.h"
#include "platform/com/errors.h"
#include "platform/com/guid.h"
#include "platform/com/oadate.h"
#include "platform/com/variant.h"

using namespace plat;

TEST(Bstr, LengthPrefixAndByteForms) {
    Bstr wide(u"h\u00e9llo");
    EXPECT_EQ(wide.length(), 5u);
    EXPECT_EQ(wide.byte_length(), 10u);
    EXPECT_EQ(wide.get()[5], u'\0');
    EXPECT_EQ(wide.utf8(), "h\xc3\xa9llo");

    // Single-byte text: odd byte count, still terminated.
    Bstr bytes = Bstr::from_bytes("abc");
    EXPECT_EQ(bytes.byte_length(), 3u);
    EXPECT_EQ(bytes.length(), 1u);
    EXPECT_EQ(bytes.bytes(), "abc");
    EXPECT_EQ(reinterpret_cast<const char*>(bytes.get())[3], '\0');
    Bstr copy = bytes;
    EXPECT_EQ(copy.bytes(), "abc");
    EXPECT_NE(copy.get(), bytes.get());

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
}

TEST(Variant, CopyClearAndOwnership) {
    Variant text("abc");
    Variant copy = text;
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    Variant ansi = Variant::ansi("xy");
    Variant ansi_copy = ansi;
    EXPECT_EQ(ansi_copy.vt, VT_ANSI);
    EXPECT_EQ(bstr_bytes(ansi_copy.bstrVal), "xy");

    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, 3);
    ASSERT_NE(sa, nullptr);
    static_cast<uint8_t*>(sa->pvData)[2] = 7;
    Variant arr;
    arr.vt = VT_ARRAY | VT_UI1;
    arr.parray = sa;
    Variant arr_copy = arr;
    ASSERT_NE(arr_copy.parray, sa);
    EXPECT_EQ(static_cast<uint8_t*>(arr_copy.parray->pvData)[2], 7);

    // By-reference copies read the target.
    Variant target(int32_t(42));
    Variant ref = Variant::ref(&target);
    Variant ind;
    ASSERT_EQ(VariantCopyInd(&ind, &ref), S_OK);
    EXPECT_EQ(ind.vt, VT_I4);
    EXPECT_EQ(ind.lVal, 42);
    int16_t raw = 5;
    VARIANT byref_i2{};
    byref_i2.vt = VT_BYREF | VT_I2;
    byref_i2.piVal = &raw;
    EXPECT_EQ(Variant(byref_i2).to_i4(), 5);

    VARIANT bad{};
    bad.vt = 0x0FFF;
    Variant dst("keep");
    EXPECT_EQ(VariantCopy(&dst, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(dst.vt, VT_BSTR);
}

struct Coercion {
    const char* name;
    Variant from;
    VARTYPE to;
    HRESULT hr;
    Variant expected; // checked when hr is S_OK
};

static std::vector<Coercion> coercion_cases() {
    return {
        {"text to I2", Variant(" -123 "), VT_I2, S_OK, Variant(int16_t(-123))},
        {"text with thousands to I4", Variant("1,234,567"), VT_I4, S_OK, Variant(int32_t(1234567))},
        {"text rounds half to even", Variant("2.5"), VT_I2, S_OK, Variant(int16_t(2))},
        {"text rounds 3.5 up", Variant("3.5"), VT_I4, S_OK, Variant(int32_t(4))},
        {"hex text", Variant("&HFF"), VT_I4, S_OK, Variant(int32_t(255))},
        {"text overflows I2", Variant("32768"), VT_I2, DISP_E_OVERFLOW, {}},
        {"I4 overflows I2", Variant(int32_t(-40000)), VT_I2, DISP_E_OVERFLOW, {}},
        {"text overflows I4", Variant("1e10"), VT_I4, DISP_E_OVERFLOW, {}},
        {"R8 overflows R4", Variant(1e300), VT_R4, DISP_E_OVERFLOW, {}},
        {"letters to I4", Variant("12abc"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"empty text to I4", Variant(""), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"null to I4", Variant::null(), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"empty to I4", Variant(), VT_I4, S_OK, Variant(int32_t(0))},
        {"text to R8", Variant("1.5e3"), VT_R8, S_OK, Variant(1500.0)},
        {"ANSI text to R8", Variant::ansi("-0.25"), VT_R8, S_OK, Variant(-0.25)},
        {"text True to BOOL", Variant("true"), VT_BOOL, S_OK, Variant::boolean(true)},
        {"text number to BOOL", Variant("0"), VT_BOOL, S_OK, Variant::boolean(false)},
        {"text yes to BOOL", Variant("yes"), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
        {"BOOL to I2 is -1", Variant::boolean(true), VT_I2, S_OK, Variant(int16_t(-1))},
        {"BOOL to text", Variant::boolean(false), VT_BSTR, S_OK, Variant("False")},
        {"I4 to text", Variant(int32_t(-7)), VT_BSTR, S_OK, Variant("-7")},
        {"R8 to text", Variant(0.1), VT_BSTR, S_OK, Variant("0.1")},
        {"big R8 to text", Variant(1e15), VT_BSTR, S_OK, Variant("1E+15")},
        {"R4 to text", Variant(1.1f), VT_BSTR, S_OK, Variant("1.1")},
        {"CY to text", Variant::currency(-15000), VT_BSTR, S_OK, Variant("-1.5")},
        {"CY rounds half to even", Variant::currency(25000), VT_I2, S_OK, Variant(int16_t(2))},
        {"text to CY", Variant("12.34567"), VT_CY, S_OK, Variant::currency(123457)},
        {"ISO text to DATE", Variant("2020-01-02"), VT_DATE, S_OK, Variant::from_date(43832.0)},
        {"US text to DATE", Variant("1/2/2020 6:00 PM"), VT_DATE, S_OK, Variant::from_date(43832.75)},
        {"month name to DATE", Variant("2 Jan 2020"), VT_DATE, S_OK, Variant::from_date(43832.0)},
        {"time alone to DATE", Variant("06:00:00"), VT_DATE, S_OK, Variant::from_date(0.25)},
        {"before the epoch", Variant("12/29/1899 6:00"), VT_DATE, S_OK, Variant::from_date(-1.25)},
        {"February 30", Variant("2020-02-30"), VT_DATE, DISP_E_TYPEMISMATCH, {}},
        {"DATE to text", Variant::from_date(43832.75), VT_BSTR, S_OK, Variant("1/2/2020 6:00:00 PM")},
        {"DATE midnight to text", Variant::from_date(43832.0), VT_BSTR, S_OK, Variant("1/2/2020")},
        {"DATE out of range", Variant(3e6), VT_DATE, DISP_E_OVERFLOW, {}},
        {"I4 to UI1 overflow", Variant(int32_t(256)), VT_UI1, DISP_E_OVERFLOW, {}},
        {"error to I4", Variant::error(DISP_E_PARAMNOTFOUND), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"text to ANSI", Variant("abc"), VT_ANSI, S_OK, Variant::ansi("abc")},
    };
}

// A caller's array passed by reference takes what a member wrote back: in
// place when the shape is the same (a fixed-size array keeps its identity),
// else as a new array; an array of another type is refused.
TEST(Variant, ArraysWrittenBackByReference) {
    auto filled = [](VARTYPE vt, uint32_t n, int16_t first) {
        Variant v;
        v.vt = VT_ARRAY | vt;
        v.parray = SafeArrayCreateVector(vt, 0, n);
        for (uint32_t i = 0; i < n; ++i)
            if (vt == VT_I2) static_cast<int16_t*>(v.parray->pvData)[i] = int16_t(first + i);
        return v;
    };
    SAFEARRAY* mine = SafeArrayCreateVector(VT_I2, 0, 4);
    VARIANT target{};
    target.vt = VT_BYREF | VT_ARRAY | VT_I2;
    target.pparray = &mine;
    SAFEARRAY* const before = mine;

    ASSERT_EQ(store_by_ref(target, filled(VT_I2, 4, 10)), S_OK);
    EXPECT_EQ(mine, before);
    EXPECT_EQ(static_cast<int16_t*>(mine->pvData)[3], 13);

    ASSERT_EQ(store_by_ref(target, filled(VT_I2, 6, 20)), S_OK);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->rgsabound[0].cElements, 6u);
    EXPECT_EQ(static_cast<int16_t*>(mine->pvData)[5], 25);

    EXPECT_EQ(store_by_ref(target, filled(VT_I4, 6, 0)), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(store_by_ref(target, Variant(int16_t(1))), DISP_E_TYPEMISMATCH);
    SafeArrayDestroy(mine);
}

TEST(Variant, CoercionTable) {
    for (const Coercion& c : coercion_cases()) {
        SCOPED_TRACE(c.name);
        Variant out("untouched");
        HRESULT hr = VariantChangeType(&out, &c.from, 0, c.to);
        EXPECT_EQ(hr, c.hr);
        if (FAILED(hr)) {
            EXPECT_EQ(out.vt, VT_BSTR); // a failed coercion leaves the target as it was
            continue;
        }
        ASSERT_EQ(out.vt, c.expected.vt);
        switch (out.vt) {
        case VT_BSTR:
            EXPECT_EQ(bstr_to_utf8(out.bstrVal), bstr_to_utf8(c.expected.bstrVal));
            break;
        case VT_ANSI:
            EXPECT_EQ(bstr_bytes(out.bstrVal), bstr_bytes(c.expected.bstrVal));
            break;
        case VT_R8:
        case VT_DATE:
            EXPECT_NEAR(out.dblVal, c.expected.dblVal, 1e-9);
            break;
        default:
            EXPECT_EQ(out.cyVal.int64 & (out.vt == VT_CY ? ~0ll : 0xFFFFFFFFll),
                      c.expected.cyVal.int64 & (out.vt == VT_CY ? ~0ll : 0xFFFFFFFFll));
        }
    }
}

TEST(Variant, ErrorNumbersOfCoercionFailures) {
    EXPECT_EQ(error_number_from_hresult(DISP_E_OVERFLOW), 6);
    EXPECT_EQ(error_number_from_hresult(DISP_E_TYPEMISMATCH), 13);
    EXPECT_EQ(error_number_from_hresult(control_error_hresult(380)), 380);
    EXPECT_EQ(component_error_hresult(20103), make_hresult(0x80040067u));
    EXPECT_EQ(error_number_hresult(20000), make_hresult(0x80040000u));
    EXPECT_EQ(error_number_hresult(19999), make_hresult(0x800A4E1Fu));
}

TEST(OaDate, RoundTripsThroughText) {
    for (double d : {0.0, 1.5, -1.25, 43832.75, 2958465.0, -657434.0}) {
        auto text = format_oa_date(d);
        ASSERT_TRUE(text) << d;
        auto back = parse_oa_date(*text);
        ASSERT_TRUE(back) << *text;
        EXPECT_NEAR(*back, d, 1e-6) << *text;
    }
    EXPECT_FALSE(format_oa_date(-657435.0));
    // Just before midnight of the day before the epoch rounds into the epoch day.
    EXPECT_EQ(format_oa_date(-1.9999999), "12/30/1899");
    EXPECT_FALSE(parse_oa_date("13/1/2020"));
    EXPECT_FALSE(parse_oa_date("1/2"));
    EXPECT_FALSE(parse_oa_date("25:00"));
}

TEST(Guid, TextFormsAndErrors) {
    constexpr GUID g = make_guid("{9d998150-b884-11ce-8d47-444553540000}");
    EXPECT_EQ(guid_to_string(g), "{9D998150-B884-11CE-8D47-444553540000}");
    EXPECT_EQ(guid_from_string("9D998150-B884-11CE-8D47-444553540000"), g);
    EXPECT_EQ(g.Data1, 0x9D998150u);
    EXPECT_EQ(g.Data4[0], 0x8D);
    for (const char* bad :
         {"", "{}", "{9D998150-B884-11CE-8D47-44455354000}", "{9D998150-B884-11CE-8D47-44455354000G}",
          "{9D998150B884-11CE-8D47-4445535400000}", "9D998150-B884-11CE-8D47-444553540000}"})
        EXPECT_FALSE(guid_from_string(bad)) << bad;
}
