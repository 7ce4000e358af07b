// Control values: setters, numeric and text views, automation copies.
#include "vinca/model/values.h"

#include <cmath>
#include <limits>

#include "platform/base/strings.h"
#include "platform/com/dispatch.h"
#include "vinca/model/format.h"
#include "vinca/model/names.h"
#include "vinca/model/search.h"

namespace vinca {

using namespace plat;

namespace {

// A by-reference variant may point at another by-reference variant; a chain
// longer than this is refused rather than followed for ever.
constexpr int kMaxRefDepth = 8;

int32_t saturate_i32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(x);
}

// Follows by-reference variants to the value they name; null when the chain
// is broken or too long.
const VARIANT* follow(const VARIANT& v) {
    const VARIANT* p = &v;
    for (int i = 0; i < kMaxRefDepth && p->vt == (VT_VARIANT | VT_BYREF); ++i) {
        p = p->pvarVal;
        if (!p) return nullptr;
    }
    return p->vt == (VT_VARIANT | VT_BYREF) ? nullptr : p;
}

bool set_object(VARIANT& v, IUnknown* obj, const IID& iid) {
    ValueClear(v);
    if (!obj) return false;
    IDispatch* disp = nullptr;
    if (FAILED(obj->QueryInterface(iid, reinterpret_cast<void**>(&disp))) || !disp) return false;
    v.vt = VT_DISPATCH;
    v.pdispVal = disp; // the query's reference now belongs to the value
    return true;
}

ComPtr<IUnknown> get_object(const VARIANT& v, const IID& iid) {
    ComPtr<IUnknown> out;
    if (v.vt == VT_DISPATCH && v.pdispVal) v.pdispVal->QueryInterface(iid, out.put_void());
    return out;
}

} // namespace

void ValueClear(VARIANT& v) {
    VariantClear(&v);
}

bool ValueSetText(VARIANT& v, std::string_view utf8) {
    ValueClear(v);
    BSTR s = bstr_from_utf8(utf8);
    if (!s) return false;
    v.vt = VT_BSTR;
    v.bstrVal = s;
    return true;
}

bool ValueSetAnsi(VARIANT& v, std::string_view bytes) {
    ValueClear(v);
    BSTR s = SysAllocStringByteLen(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (!s) return false;
    v.vt = VT_ANSI_TEXT;
    v.bstrVal = s;
    return true;
}

bool ValueSetPicture(VARIANT& v, IUnknown* picture) {
    return set_object(v, picture, IID_IPictureDisp);
}

bool ValueSetFont(VARIANT& v, IUnknown* font) {
    return set_object(v, font, IID_IFontDisp);
}

int16_t ValueToShort(const VARIANT& v, int16_t def) {
    if (v.vt == VT_I2) return v.iVal;
    if (v.vt == VT_I4) return static_cast<int16_t>(v.lVal);
    return def;
}

int32_t ValueToInt(const VARIANT& value) {
    const VARIANT* p = follow(value);
    if (!p) return 0;
    const VARIANT& v = *p;
    if (v.vt & VT_BYREF) {
        if (!v.byref) return 0;
        switch (v.vt & VT_TYPEMASK) {
        case VT_I2:
            return *v.piVal;
        case VT_I4:
            return *v.plVal;
        case VT_R4:
            return saturate_i32(*v.pfltVal);
        case VT_R8:
        case VT_DATE:
            return saturate_i32(*v.pdblVal);
        case VT_CY:
            return saturate_i32(static_cast<double>(v.pcyVal->int64 / 10000));
        case VT_BOOL:
            return *v.pboolVal ? 1 : 0;
        case VT_UI1:
            return *v.pbVal;
        case VT_ERROR:
            return *v.pscode;
        default:
            return 0;
        }
    }
    switch (v.vt) {
    case VT_I2:
        return v.iVal;
    case VT_I4:
        return v.lVal;
    case VT_R4:
        return saturate_i32(v.fltVal);
    case VT_R8:
    case VT_DATE:
        return saturate_i32(v.dblVal);
    case VT_CY:
        return saturate_i32(static_cast<double>(v.cyVal.int64 / 10000));
    case VT_BOOL:
        return v.boolVal ? 1 : 0;
    case VT_UI1:
        return v.bVal;
    case VT_ERROR:
        return v.scode;
    default:
        return 0;
    }
}

double ValueToReal(const VARIANT& value) {
    const VARIANT* p = follow(value);
    if (!p) return 0;
    switch (p->vt) {
    case VT_R4:
        return p->fltVal;
    case VT_R8:
    case VT_DATE:
        return p->dblVal;
    case VT_CY:
        return static_cast<double>(p->cyVal.int64) * 0.0001;
    default:
        return ValueToInt(*p);
    }
}

int32_t ValueRound(const VARIANT& v) {
    switch (v.vt) {
    case VT_I2:
        return v.iVal;
    case VT_I4:
        return v.lVal;
    case VT_R4:
        return saturate_i32(std::round(static_cast<double>(v.fltVal)));
    case VT_R8:
        return saturate_i32(std::round(v.dblVal));
    case VT_CY:
        return saturate_i32(std::round(static_cast<double>(v.cyVal.int64) / 10000.0));
    default:
        return 0;
    }
}

ComPtr<IUnknown> ValuePicture(const VARIANT& v) {
    return get_object(v, IID_IVincaPicture);
}

ComPtr<IUnknown> ValueFont(const VARIANT& v) {
    return get_object(v, IID_IVincaFont);
}

bool ValueIsText(const VARIANT& v) {
    return v.vt == VT_BSTR || v.vt == VT_ANSI_TEXT;
}

std::string ValueToText(const VARIANT& v, std::string_view def) {
    if (v.vt == VT_ANSI_TEXT) return std::string(bstr_bytes(v.bstrVal));
    if (v.vt == VT_BSTR) return bstr_to_utf8(v.bstrVal);
    return std::string(def);
}

std::string ValueDisplayText(const VARIANT& v) {
    return FormatValue(v, {});
}

HRESULT CopyIn(VARIANT& dst, const VARIANT& src) {
    const VARIANT* s = follow(src);
    if (!s) {
        ValueClear(dst);
        return E_INVALIDARG;
    }
    if ((s->vt & VT_BYREF) && !s->byref) {
        ValueClear(dst);
        dst.vt = VT_I4;
        dst.lVal = 0;
        return S_OK;
    }
    HRESULT hr = (s->vt & VT_BYREF) ? VariantCopyInd(&dst, s) : VariantCopy(&dst, s);
    if (FAILED(hr)) ValueClear(dst);
    return hr;
}

HRESULT CopyOut(VARIANT& dst, const VARIANT& src) {
    if (src.vt == VT_ANSI_TEXT) {
        if (&dst == &src) {
            // In place: read the bytes before the value is cleared.
            std::string bytes(bstr_bytes(src.bstrVal));
            return ValueSetText(dst, bytes) ? S_OK : E_OUTOFMEMORY;
        }
        return ValueSetText(dst, bstr_bytes(src.bstrVal)) ? S_OK : E_OUTOFMEMORY;
    }
    if (&dst == &src) return S_OK;
    return VariantCopy(&dst, &src);
}

HRESULT ValueCopy(VARIANT& dst, const VARIANT& src) {
    if (&dst == &src) return S_OK;
    return VariantCopy(&dst, &src);
}

int16_t ParseDecimalPrefix(const char* text) {
    if (!text) return -1;
    int32_t n = 0;
    for (int i = 0; i < 5 && text[i] >= '0' && text[i] <= '9'; ++i)
        n = n * 10 + (text[i] - '0');
    return static_cast<int16_t>(n > 32767 ? 32767 : n);
}

} // namespace vinca

namespace vinca {

namespace {

bool is_numeric_for_compare(VARTYPE t) {
    return (t >= VT_I2 && t <= VT_R8) || t == VT_DISPATCH || t == VT_UNKNOWN;
}

int sign(double d) {
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

template <class T> int order(T a, T b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

int compare_text(const std::string& a, const std::string& b, int32_t flags) {
    int r = CompareTexts(a, b, flags);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

} // namespace

int ValueCompare(const VARIANT& a, const VARIANT& b, int32_t flags) {
    bool a_empty = a.vt == VT_EMPTY || a.vt == VT_NULL;
    bool b_empty = b.vt == VT_EMPTY || b.vt == VT_NULL;
    if (a_empty || b_empty) return a_empty && b_empty ? 0 : a_empty ? -1 : 1;
    // Texts of either kind go by the text rules with every flag the caller gave.
    if (ValueIsText(a) && ValueIsText(b)) return compare_text(ValueToText(a), ValueToText(b), flags);
    if (a.vt == b.vt) {
        switch (a.vt) {
        case VT_I2:
            return order(a.iVal, b.iVal);
        case VT_I4:
            return order(a.lVal, b.lVal);
        case VT_R4:
            return order(a.fltVal, b.fltVal);
        case VT_R8:
        case VT_DATE:
            return order(a.dblVal, b.dblVal);
        case VT_CY:
            return order(a.cyVal.int64, b.cyVal.int64);
        case VT_UI1:
            return order(a.bVal, b.bVal);
        case VT_BOOL:
            return (a.boolVal != 0) == (b.boolVal != 0) ? 0 : a.boolVal ? 1 : -1;
        default:
            break;
        }
    }
    if (is_numeric_for_compare(a.vt) && is_numeric_for_compare(b.vt))
        return sign(ValueToReal(a) - ValueToReal(b));
    return compare_text(ValueDisplayText(a), ValueDisplayText(b), flags);
}

} // namespace vinca

namespace vinca {

const CVincaName* ValueToName(const VARIANT& v) {
    if (!ValueIsText(v)) return nullptr;
    std::string text = ValueToText(v);
    return text.empty() ? nullptr : GlobalName(text);
}

} // namespace vinca
