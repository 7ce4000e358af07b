// Value coercion with the automation rules the system's callers expect:
// numbers round half to even, True is -1, a value out of the target's range
// is an overflow (error 6) and a value that cannot be read as the target is
// a type mismatch (error 13). Text is read and written in the pinned locale.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/base/strings.h"
#include "platform/com/dispatch.h"
#include "platform/com/errors.h"
#include "platform/com/oadate.h"
#include "platform/com/variant.h"

namespace plat {

namespace {

// ---- text to number ----

// Reads a number as the platform does: blanks around it, an optional sign,
// digits with optional thousands commas, a fraction and an exponent; "&H"
// and "&O" prefixes give hexadecimal and octal integers.
std::optional<double> parse_number(std::string_view text) {
    std::string_view s = trim_view(text);
    if (s.empty()) return std::nullopt;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        uint64_t v = 0;
        for (char c : s.substr(2)) {
            int d = detail::hex_digit(c);
            if (d < 0 || d >= base) return std::nullopt;
            v = v * base + d;
            if (v > 0xFFFFFFFFull) return std::nullopt;
        }
        return static_cast<double>(v);
    }
    std::string clean;
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') clean += s[i++];
    bool digits = false;
    for (; i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || (s[i] == ',' && digits)); ++i) {
        if (s[i] != ',') clean += s[i], digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        clean += s[i++];
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
            clean += s[i], digits = true;
    }
    if (!digits) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        clean += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
        bool exp_digits = false;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
            clean += s[i], exp_digits = true;
        if (!exp_digits) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    errno = 0;
    double v = std::strtod(clean.c_str(), nullptr);
    if (std::isinf(v)) return std::numeric_limits<double>::infinity(); // overflows whatever the target
    return v;
}

std::string format_real(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    std::string s = buf;
    if (s == "-0") s = "0";
    return s;
}

std::string format_currency(int64_t units) {
    const bool neg = units < 0;
    const uint64_t mag = neg ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
    std::string s = std::to_string(mag / 10000);
    uint64_t frac = mag % 10000;
    if (frac) {
        std::string f = strprintf("%04u", static_cast<unsigned>(frac));
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        s += "." + f;
    }
    return neg ? "-" + s : s;
}

// ---- the value as a real number (or why it is not one) ----

HRESULT text_as_real(BSTR s, bool single_byte, double& out) {
    std::string text = single_byte ? std::string(bstr_bytes(s)) : bstr_to_utf8(s);
    auto v = parse_number(text);
    if (!v) return DISP_E_TYPEMISMATCH;
    out = *v;
    return S_OK;
}

HRESULT as_real(const VARIANT& v, double& out) {
    switch (v.vt) {
    case VT_EMPTY:
        out = 0;
        return S_OK;
    case VT_I2:
        out = v.iVal;
        return S_OK;
    case VT_I4:
        out = v.lVal;
        return S_OK;
    case VT_R4:
        out = v.fltVal;
        return S_OK;
    case VT_R8:
        out = v.dblVal;
        return S_OK;
    case VT_DATE:
        out = v.date;
        return S_OK;
    case VT_CY:
        out = static_cast<double>(v.cyVal.int64) / 10000.0;
        return S_OK;
    case VT_BOOL:
        out = v.boolVal ? -1 : 0;
        return S_OK;
    case VT_UI1:
        out = v.bVal;
        return S_OK;
    case VT_BSTR:
        return text_as_real(v.bstrVal, false, out);
    case VT_ANSI:
        return text_as_real(v.bstrVal, true, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT round_to_int(double x, double lo, double hi, int64_t& out) {
    if (std::isnan(x)) return DISP_E_OVERFLOW;
    const double r = std::nearbyint(x); // the default rounding: half to even
    if (r < lo || r > hi) return DISP_E_OVERFLOW;
    out = static_cast<int64_t>(r);
    return S_OK;
}

HRESULT to_integer(const VARIANT& v, double lo, double hi, int64_t& out) {
    if (v.vt == VT_CY) {
        // Divide exactly, then round the remainder half to even.
        int64_t q = v.cyVal.int64 / 10000, r = v.cyVal.int64 % 10000;
        if (r > 5000 || (r == 5000 && (q & 1)))
            ++q;
        else if (r < -5000 || (r == -5000 && (q & 1)))
            --q;
        if (q < lo || q > hi) return DISP_E_OVERFLOW;
        out = q;
        return S_OK;
    }
    double x;
    HRESULT hr = as_real(v, x);
    if (FAILED(hr)) return hr;
    return round_to_int(x, lo, hi, out);
}

HRESULT to_text(const VARIANT& v, std::string& out) {
    switch (v.vt) {
    case VT_EMPTY:
        out.clear();
        return S_OK;
    case VT_I2:
        out = std::to_string(v.iVal);
        return S_OK;
    case VT_I4:
        out = std::to_string(v.lVal);
        return S_OK;
    case VT_UI1:
        out = std::to_string(v.bVal);
        return S_OK;
    case VT_R4:
        out = format_real(v.fltVal, 7);
        return S_OK;
    case VT_R8:
        out = format_real(v.dblVal, 15);
        return S_OK;
    case VT_CY:
        out = format_currency(v.cyVal.int64);
        return S_OK;
    case VT_BOOL:
        out = v.boolVal ? "True" : "False";
        return S_OK;
    case VT_DATE: {
        auto text = format_oa_date(v.date);
        if (!text) return DISP_E_OVERFLOW;
        out = *text;
        return S_OK;
    }
    case VT_BSTR:
        out = bstr_to_utf8(v.bstrVal);
        return S_OK;
    case VT_ANSI:
        out = std::string(bstr_bytes(v.bstrVal));
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT to_bool(const VARIANT& v, VARIANT_BOOL& out) {
    if (v.vt == VT_BSTR || v.vt == VT_ANSI) {
        std::string text = v.vt == VT_ANSI ? std::string(bstr_bytes(v.bstrVal)) : bstr_to_utf8(v.bstrVal);
        std::string_view t = trim_view(text);
        if (iequals(t, "True") || iequals(t, "#TRUE#")) {
            out = VARIANT_TRUE;
            return S_OK;
        }
        if (iequals(t, "False") || iequals(t, "#FALSE#")) {
            out = VARIANT_FALSE;
            return S_OK;
        }
    }
    if (v.vt == VT_CY) {
        out = v.cyVal.int64 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    double x;
    HRESULT hr = as_real(v, x);
    if (FAILED(hr)) return hr;
    out = x != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// A number is a date when it names a day from 0100-01-01 to 9999-12-31.
HRESULT in_date_range(double x, DATE& out) {
    CalendarTime unused;
    if (!calendar_from_ole_date(x, unused)) return DISP_E_OVERFLOW;
    out = x;
    return S_OK;
}

HRESULT to_date(const VARIANT& v, DATE& out) {
    if (v.vt == VT_BSTR || v.vt == VT_ANSI) {
        std::string text = v.vt == VT_ANSI ? std::string(bstr_bytes(v.bstrVal)) : bstr_to_utf8(v.bstrVal);
        if (auto d = parse_oa_date(text)) {
            out = *d;
            return S_OK;
        }
        auto n = parse_number(text);
        if (!n) return DISP_E_TYPEMISMATCH;
        return in_date_range(*n, out);
    }
    double x;
    HRESULT hr = as_real(v, x);
    if (FAILED(hr)) return hr;
    return in_date_range(x, out);
}

// The default value of an object: its DISPID_VALUE property.
HRESULT object_value(IDispatch* disp, VARIANT& out) {
    if (!disp) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantInit(&out);
    HRESULT hr =
        disp->Invoke(DISPID_VALUE, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr);
    if (FAILED(hr)) {
        VariantClear(&out);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT convert(VARIANT& dst, const VARIANT& src, uint16_t flags, VARTYPE to) {
    VariantInit(&dst);
    if (to == VT_VARIANT || to == src.vt) return VariantCopy(&dst, &src);
    if (src.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
    if ((src.vt & VT_ARRAY) || (to & (VT_ARRAY | VT_BYREF))) return DISP_E_TYPEMISMATCH;

    if (src.vt == VT_DISPATCH && to != VT_UNKNOWN) {
        if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
        Variant value;
        HRESULT hr = object_value(src.pdispVal, value);
        if (FAILED(hr)) return hr;
        if (value.vt == VT_DISPATCH)
            return DISP_E_TYPEMISMATCH; // no second hop: an object whose value is an object
        return convert(dst, value, flags, to);
    }

    HRESULT hr = S_OK;
    int64_t i = 0;
    switch (to) {
    case VT_EMPTY:
        return src.vt == VT_EMPTY ? S_OK : DISP_E_TYPEMISMATCH;
    case VT_NULL:
        return DISP_E_TYPEMISMATCH;
    case VT_I2:
        if (SUCCEEDED(hr = to_integer(src, INT16_MIN, INT16_MAX, i))) dst.iVal = static_cast<int16_t>(i);
        break;
    case VT_I4:
        if (SUCCEEDED(hr = to_integer(src, INT32_MIN, INT32_MAX, i))) dst.lVal = static_cast<int32_t>(i);
        break;
    case VT_UI1:
        if (SUCCEEDED(hr = to_integer(src, 0, 255, i))) dst.bVal = static_cast<uint8_t>(i);
        break;
    case VT_R4: {
        double x;
        if (SUCCEEDED(hr = as_real(src, x))) {
            if (std::isnan(x) || std::fabs(x) > FLT_MAX)
                hr = DISP_E_OVERFLOW;
            else
                dst.fltVal = static_cast<float>(x);
        }
        break;
    }
    case VT_R8: {
        double x;
        if (SUCCEEDED(hr = as_real(src, x))) {
            if (std::isinf(x))
                hr = DISP_E_OVERFLOW;
            else
                dst.dblVal = x;
        }
        break;
    }
    case VT_CY: {
        double x;
        if (SUCCEEDED(hr = as_real(src, x))) {
            // 922337203685477.5807 is the largest currency value.
            if (SUCCEEDED(hr = round_to_int(x * 10000.0, -9.2233720368547758e18, 9.2233720368547748e18, i)))
                dst.cyVal.int64 = i;
        }
        break;
    }
    case VT_DATE:
        hr = to_date(src, dst.date);
        break;
    case VT_BOOL:
        hr = to_bool(src, dst.boolVal);
        break;
    case VT_BSTR:
    case VT_ANSI: {
        std::string text;
        if (SUCCEEDED(hr = to_text(src, text))) {
            dst.bstrVal = to == VT_BSTR
                              ? bstr_from_utf8(text)
                              : SysAllocStringByteLen(text.data(), static_cast<uint32_t>(text.size()));
            if (!dst.bstrVal) hr = E_OUTOFMEMORY;
        }
        break;
    }
    case VT_ERROR:
        return DISP_E_TYPEMISMATCH;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* unk = src.vt == VT_UNKNOWN    ? src.punkVal
                        : src.vt == VT_DISPATCH ? static_cast<IUnknown*>(src.pdispVal)
                                                : nullptr;
        if (!unk) return DISP_E_TYPEMISMATCH;
        void* p = nullptr;
        if (FAILED(unk->QueryInterface(to == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p)))
            return DISP_E_TYPEMISMATCH;
        dst.byref = p;
        break;
    }
    default:
        return DISP_E_BADVARTYPE;
    }
    if (FAILED(hr)) {
        VariantInit(&dst);
        return hr;
    }
    dst.vt = to;
    return S_OK;
}

} // namespace

HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, uint16_t flags, VARTYPE vt) {
    if (!dst || !src) return E_INVALIDARG;
    const VARIANT* from = &deref(*src);
    Variant target; // the value a by-reference source points at
    if (from->vt & VT_BYREF) {
        HRESULT hr = VariantCopyInd(&target, from);
        if (FAILED(hr)) return hr;
        from = &target;
    }
    VARIANT out;
    HRESULT hr = convert(out, *from, flags, vt);
    if (FAILED(hr)) return hr;
    // dst (which may be src) is overwritten whole.
    if (variant_owns_payload(*dst)) VariantClear(dst);
    *dst = out;
    return S_OK;
}

} // namespace plat
