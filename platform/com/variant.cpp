#include "platform/com/variant.h"

#include <cstring>
#include <utility>

#include "platform/com/dispatch.h"
#include "platform/com/errors.h"

namespace plat {

namespace {

bool is_known_scalar(VARTYPE t) {
    return variant_plain_type(t) || t == VT_BSTR || t == VT_ANSI || t == VT_DISPATCH || t == VT_UNKNOWN;
}

bool is_valid_type(VARTYPE vt) {
    if (vt & VT_BYREF)
        return is_known_scalar(vt & ~(VT_BYREF | VT_ARRAY)) || (vt & ~VT_BYREF) == VT_VARIANT ||
               (vt & VT_ARRAY);
    if (vt & VT_ARRAY) return true;
    return is_known_scalar(vt);
}

} // namespace

void VariantInit(VARIANT* v) {
    if (!v) return;
    std::memset(v, 0, sizeof(VARIANT));
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    const VARTYPE vt = v->vt;
    if (!(vt & VT_BYREF)) {
        if (vt & VT_ARRAY) {
            HRESULT hr = SafeArrayDestroy(v->parray);
            if (FAILED(hr)) return hr;
        } else {
            switch (vt) {
            case VT_BSTR:
            case VT_ANSI:
                SysFreeString(v->bstrVal);
                break;
            case VT_DISPATCH:
                if (v->pdispVal) v->pdispVal->Release();
                break;
            case VT_UNKNOWN:
                if (v->punkVal) v->punkVal->Release();
                break;
            default:
                break;
            }
        }
    }
    std::memset(v, 0, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
    if (!dst || !src) return E_INVALIDARG;
    if (dst == src) return S_OK;
    if (!is_valid_type(src->vt)) return DISP_E_BADVARTYPE;
    VARIANT tmp = *src;
    const VARTYPE vt = src->vt;
    if (!(vt & VT_BYREF)) {
        if (vt & VT_ARRAY) {
            HRESULT hr = SafeArrayCopy(src->parray, &tmp.parray);
            if (FAILED(hr)) return hr;
        } else if (vt == VT_BSTR || vt == VT_ANSI) {
            tmp.bstrVal = bstr_copy(src->bstrVal);
            if (src->bstrVal && !tmp.bstrVal) return E_OUTOFMEMORY;
        } else if (vt == VT_DISPATCH && tmp.pdispVal) {
            tmp.pdispVal->AddRef();
        } else if (vt == VT_UNKNOWN && tmp.punkVal) {
            tmp.punkVal->AddRef();
        }
    }
    // dst is overwritten whole: only what it owns needs clearing first.
    if (variant_owns_payload(*dst)) VariantClear(dst);
    *dst = tmp;
    return S_OK;
}

const VARIANT& deref(const VARIANT& v) {
    if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return *v.pvarVal;
    return v;
}

HRESULT VariantCopyInd(VARIANT* dst, const VARIANT* src) {
    if (!dst || !src) return E_INVALIDARG;
    if (!(src->vt & VT_BYREF)) return VariantCopy(dst, src);
    if (!src->byref) return E_INVALIDARG;
    if (src->vt == (VT_BYREF | VT_VARIANT)) return VariantCopyInd(dst, src->pvarVal);
    VARIANT value;
    VariantInit(&value);
    value.vt = src->vt & ~VT_BYREF;
    if (value.vt & VT_ARRAY) {
        value.parray = *src->pparray;
    } else {
        switch (value.vt) {
        case VT_I2:
            value.iVal = *src->piVal;
            break;
        case VT_I4:
            value.lVal = *src->plVal;
            break;
        case VT_R4:
            value.fltVal = *src->pfltVal;
            break;
        case VT_R8:
            value.dblVal = *src->pdblVal;
            break;
        case VT_CY:
            value.cyVal = *src->pcyVal;
            break;
        case VT_DATE:
            value.date = *src->pdate;
            break;
        case VT_BSTR:
        case VT_ANSI:
            value.bstrVal = *src->pbstrVal;
            break;
        case VT_DISPATCH:
            value.pdispVal = *src->ppdispVal;
            break;
        case VT_ERROR:
            value.scode = *src->pscode;
            break;
        case VT_BOOL:
            value.boolVal = *src->pboolVal;
            break;
        case VT_UNKNOWN:
            value.punkVal = *src->ppunkVal;
            break;
        case VT_UI1:
            value.bVal = *src->pbVal;
            break;
        default:
            return DISP_E_BADVARTYPE;
        }
    }
    // `value` borrows the target's payload; VariantCopy duplicates it.
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantCopy(&out, &value);
    if (FAILED(hr)) return hr;
    if (dst == src)
        VariantInit(dst);
    else
        VariantClear(dst);
    *dst = out;
    return S_OK;
}

namespace {

// An array goes back into the caller's own array when it has the same shape
// and plain elements (a fixed-size array cannot be replaced); otherwise the
// caller's array is replaced by a copy.
HRESULT store_array_by_ref(SAFEARRAY** target, const VARIANT& value, VARTYPE to) {
    if (value.vt != to || !value.parray) return DISP_E_TYPEMISMATCH;
    SAFEARRAY* mine = *target;
    const VARTYPE element = to & ~VT_ARRAY;
    const bool plain = element == VT_UI1 || element == VT_I2 || element == VT_I4 || element == VT_R4 ||
                       element == VT_R8;
    if (mine == value.parray) return S_OK;
    if (mine && plain && mine->vt == value.parray->vt && mine->cDims == value.parray->cDims &&
        mine->cbElements == value.parray->cbElements &&
        mine->rgsabound[0].cElements == value.parray->rgsabound[0].cElements) {
        if (mine->pvData && value.parray->pvData)
            std::memcpy(mine->pvData, value.parray->pvData,
                        size_t(mine->cbElements) * mine->rgsabound[0].cElements);
        return S_OK;
    }
    SAFEARRAY* copy = nullptr;
    HRESULT hr = SafeArrayCopy(value.parray, &copy);
    if (FAILED(hr)) return hr;
    if (mine) SafeArrayDestroy(mine);
    *target = copy;
    return S_OK;
}

} // namespace

HRESULT store_by_ref(VARIANT& target, const VARIANT& value) {
    if (!(target.vt & VT_BYREF) || !target.byref) return S_OK;
    if (target.vt == (VT_BYREF | VT_VARIANT)) return VariantCopy(target.pvarVal, &value);
    const VARTYPE to = target.vt & ~VT_BYREF;
    if (to & VT_ARRAY) return store_array_by_ref(target.pparray, value, to);
    Variant v;
    HRESULT hr = VariantChangeType(&v, &value, 0, to);
    if (FAILED(hr)) return hr;
    switch (to) {
    case VT_I2:
        *target.piVal = v.iVal;
        break;
    case VT_I4:
        *target.plVal = v.lVal;
        break;
    case VT_R4:
        *target.pfltVal = v.fltVal;
        break;
    case VT_R8:
        *target.pdblVal = v.dblVal;
        break;
    case VT_CY:
        *target.pcyVal = v.cyVal;
        break;
    case VT_DATE:
        *target.pdate = v.date;
        break;
    case VT_BOOL:
        *target.pboolVal = v.boolVal;
        break;
    case VT_UI1:
        *target.pbVal = v.bVal;
        break;
    case VT_ERROR:
        *target.pscode = v.scode;
        break;
    case VT_BSTR:
        SysFreeString(*target.pbstrVal);
        *target.pbstrVal = std::exchange(v.bstrVal, nullptr);
        v.vt = VT_EMPTY;
        break;
    case VT_DISPATCH:
        if (*target.ppdispVal) (*target.ppdispVal)->Release();
        *target.ppdispVal = std::exchange(v.pdispVal, nullptr);
        v.vt = VT_EMPTY;
        break;
    case VT_UNKNOWN:
        if (*target.ppunkVal) (*target.ppunkVal)->Release();
        *target.ppunkVal = std::exchange(v.punkVal, nullptr);
        v.vt = VT_EMPTY;
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

// ---- Variant ----

Variant::Variant(const Variant& o) : Variant() {
    VariantCopy(this, &o);
}
Variant::Variant(const VARIANT& o) : Variant() {
    VariantCopy(this, &o);
}

Variant& Variant::operator=(const Variant& o) {
    VariantCopy(this, &o);
    return *this;
}
Variant& Variant::operator=(const VARIANT& o) {
    VariantCopy(this, &o);
    return *this;
}

Variant::Variant(int16_t v) : Variant() {
    vt = VT_I2, iVal = v;
}
Variant::Variant(int32_t v) : Variant() {
    vt = VT_I4, lVal = v;
}
Variant::Variant(float v) : Variant() {
    vt = VT_R4, fltVal = v;
}
Variant::Variant(double v) : Variant() {
    vt = VT_R8, dblVal = v;
}
Variant::Variant(std::string_view utf8) : Variant() {
    vt = VT_BSTR, bstrVal = bstr_from_utf8(utf8);
}
Variant::Variant(std::u16string_view utf16) : Variant() {
    vt = VT_BSTR, bstrVal = bstr_from_utf16(utf16);
}
Variant::Variant(IDispatch* p) : Variant() {
    vt = VT_DISPATCH, pdispVal = p;
    if (p) p->AddRef();
}
Variant::Variant(IUnknown* p) : Variant() {
    vt = VT_UNKNOWN, punkVal = p;
    if (p) p->AddRef();
}

Variant Variant::boolean(bool b) {
    Variant v;
    v.vt = VT_BOOL, v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
Variant Variant::from_date(DATE d) {
    Variant v;
    v.vt = VT_DATE, v.date = d;
    return v;
}
Variant Variant::currency(int64_t units) {
    Variant v;
    v.vt = VT_CY, v.cyVal.int64 = units;
    return v;
}
Variant Variant::byte(uint8_t b) {
    Variant v;
    v.vt = VT_UI1, v.bVal = b;
    return v;
}
Variant Variant::null() {
    Variant v;
    v.vt = VT_NULL;
    return v;
}
Variant Variant::error(SCODE sc) {
    Variant v;
    v.vt = VT_ERROR, v.scode = sc;
    return v;
}
Variant Variant::missing() {
    return error(DISP_E_PARAMNOTFOUND);
}
Variant Variant::ansi(std::string_view bytes) {
    Variant v;
    v.vt = VT_ANSI;
    v.bstrVal = SysAllocStringByteLen(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return v;
}
Variant Variant::adopt(VARIANT& src) {
    Variant v;
    static_cast<VARIANT&>(v) = src;
    VariantInit(&src);
    return v;
}
Variant Variant::ref(VARIANT* target) {
    Variant v;
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = target;
    return v;
}

bool Variant::is_missing() const {
    return vt == VT_ERROR && scode == DISP_E_PARAMNOTFOUND;
}

VARIANT Variant::detach() {
    VARIANT out = *this;
    VariantInit(this);
    return out;
}

HRESULT Variant::change_type(VARTYPE to, uint16_t flags) {
    return VariantChangeType(this, this, flags, to);
}

namespace {
template <class F> auto coerced(const Variant& v, VARTYPE to, HRESULT* hr_out, F take) {
    if (v.vt == to) {
        // Already of the type: the converted copy would read the same.
        if (hr_out) *hr_out = S_OK;
        return take(&v);
    }
    Variant tmp;
    HRESULT hr = VariantChangeType(&tmp, &v, 0, to);
    if (hr_out) *hr_out = hr;
    return take(SUCCEEDED(hr) ? &tmp : nullptr);
}
} // namespace

std::string Variant::to_utf8(HRESULT* hr) const {
    return coerced(*this, VT_BSTR, hr,
                   [](const Variant* t) { return t ? bstr_to_utf8(t->bstrVal) : std::string(); });
}
int32_t Variant::to_i4(HRESULT* hr) const {
    return coerced(*this, VT_I4, hr, [](const Variant* t) { return t ? t->lVal : 0; });
}
int16_t Variant::to_i2(HRESULT* hr) const {
    return coerced(*this, VT_I2, hr, [](const Variant* t) { return t ? t->iVal : int16_t(0); });
}
double Variant::to_r8(HRESULT* hr) const {
    return coerced(*this, VT_R8, hr, [](const Variant* t) { return t ? t->dblVal : 0.0; });
}
bool Variant::to_bool(HRESULT* hr) const {
    return coerced(*this, VT_BOOL, hr, [](const Variant* t) { return t && t->boolVal != 0; });
}

void clear_excepinfo(EXCEPINFO* ei) {
    if (!ei) return;
    SysFreeString(ei->bstrSource);
    SysFreeString(ei->bstrDescription);
    SysFreeString(ei->bstrHelpFile);
    std::memset(ei, 0, sizeof(EXCEPINFO));
}

} // namespace plat
