#pragma once
// Automation values. The layout follows the automation VARIANT: a 16-bit
// type word, three reserved words, then an 8-byte payload.
//
// Type 14 is the tree control's private single-byte text: its payload is a
// BSTR made with the byte-length form. The functions here treat it as text
// that keeps its type (cleared and copied like a BSTR); coercion reads its
// bytes as UTF-8 text.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "platform/com/bstr.h"
#include "platform/com/safearray.h"

namespace plat {

struct IUnknown;
struct IDispatch;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_ANSI = 14, // the tree control's single-byte text
    VT_UI1 = 17,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// Currency: a 64-bit integer in units of 1/10000.
struct CY {
    int64_t int64;
};
// Days since 1899-12-30; the fraction is the time of day.
using DATE = double;

struct VARIANT {
    VARTYPE vt;
    uint16_t wReserved1;
    uint16_t wReserved2;
    uint16_t wReserved3;
    union {
        int16_t iVal;
        int32_t lVal;
        float fltVal;
        double dblVal;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IDispatch* pdispVal;
        SCODE scode;
        VARIANT_BOOL boolVal;
        IUnknown* punkVal;
        uint8_t bVal;
        SAFEARRAY* parray;
        int16_t* piVal;
        int32_t* plVal;
        float* pfltVal;
        double* pdblVal;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IDispatch** ppdispVal;
        SCODE* pscode;
        VARIANT_BOOL* pboolVal;
        VARIANT* pvarVal;
        IUnknown** ppunkVal;
        uint8_t* pbVal;
        SAFEARRAY** pparray;
        void* byref;
    };
};
static_assert(sizeof(VARIANT) == 16);

using VARIANTARG = VARIANT;

void VariantInit(VARIANT* v);
// Frees what the value owns (text, array, object reference) and leaves it empty.
// A by-reference value owns nothing.
HRESULT VariantClear(VARIANT* v);
// dst is cleared first; text and arrays are duplicated, objects get one more reference.
// On failure dst is left empty.
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);
// As VariantCopy, but a by-reference source is copied as the value it points to.
HRESULT VariantCopyInd(VARIANT* dst, const VARIANT* src);

// Flags of VariantChangeType.
constexpr uint16_t VARIANT_NOVALUEPROP = 0x1;
constexpr uint16_t VARIANT_ALPHABOOL = 0x2; // Boolean to text gives "True"/"False" (the default here)

// Converts src to type vt into dst (dst may equal src). Text is read and
// written in the pinned locale: '.' decimal point, dates as yyyy-mm-dd or
// m/d/yyyy with an optional time. Failures: DISP_E_TYPEMISMATCH (error 13),
// DISP_E_OVERFLOW (error 6), DISP_E_BADVARTYPE; dst is then unchanged.
HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, uint16_t flags, VARTYPE vt);

// A value of type `t` is a number, date, Boolean, error code, empty or
// null: it owns nothing, and a copy of its bits is a copy of it.
inline bool variant_plain_type(VARTYPE t) {
    switch (t) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UI1:
        return true;
    default:
        return false;
    }
}

// Whether `v` holds what VariantClear frees: text, an array or an object
// reference of its own.
inline bool variant_owns_payload(const VARIANT& v) {
    const VARTYPE t = v.vt;
    return !(t & VT_BYREF) &&
           ((t & VT_ARRAY) || t == VT_BSTR || t == VT_ANSI || t == VT_DISPATCH || t == VT_UNKNOWN);
}

// Owns one VARIANT; copies are deep.
//
// Making, moving and dropping a value happen several times in every
// late-bound call, so they are written here: only a value that owns
// something goes through VariantClear.
class Variant : public VARIANT {
  public:
    Variant() { std::memset(static_cast<VARIANT*>(this), 0, sizeof(VARIANT)); }
    Variant(const Variant& o);
    Variant(const VARIANT& o);
    Variant(Variant&& o) noexcept : VARIANT(o) { std::memset(static_cast<VARIANT*>(&o), 0, sizeof(VARIANT)); }
    ~Variant() {
        if (owns_payload()) VariantClear(this);
    }
    Variant& operator=(const Variant& o);
    Variant& operator=(const VARIANT& o);
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            if (owns_payload()) VariantClear(this);
            static_cast<VARIANT&>(*this) = o;
            std::memset(static_cast<VARIANT*>(&o), 0, sizeof(VARIANT));
        }
        return *this;
    }

    explicit Variant(int16_t v);
    explicit Variant(int32_t v);
    explicit Variant(float v);
    explicit Variant(double v);
    explicit Variant(std::string_view utf8);
    explicit Variant(const char* utf8) : Variant(std::string_view(utf8)) {}
    explicit Variant(std::u16string_view utf16);
    explicit Variant(IDispatch* p); // takes a new reference
    explicit Variant(IUnknown* p);  // takes a new reference

    static Variant boolean(bool b);
    static Variant from_date(DATE d);
    static Variant currency(int64_t units);
    static Variant byte(uint8_t b);
    static Variant null();
    static Variant error(SCODE sc);
    // The marker of an optional argument the caller left out.
    static Variant missing();
    // Single-byte text (type 14).
    static Variant ansi(std::string_view bytes);
    // Takes ownership of the payload of `v`, leaving `v` empty.
    static Variant adopt(VARIANT& v);
    // A by-reference value pointing at `target` (which must outlive it).
    static Variant ref(VARIANT* target);

    VARTYPE type() const { return vt; }
    bool is_empty() const { return vt == VT_EMPTY; }
    bool is_missing() const;
    void clear() { VariantClear(this); }
    // Hands the payload to the caller and leaves this empty.
    VARIANT detach();

    // Coerced views; `hr` (when given) receives the coercion result, and a
    // failed coercion gives 0, false or empty text.
    std::string to_utf8(HRESULT* hr = nullptr) const;
    int32_t to_i4(HRESULT* hr = nullptr) const;
    int16_t to_i2(HRESULT* hr = nullptr) const;
    double to_r8(HRESULT* hr = nullptr) const;
    bool to_bool(HRESULT* hr = nullptr) const;
    // Converts in place; on failure the value is unchanged.
    HRESULT change_type(VARTYPE vt, uint16_t flags = 0);

  private:
    bool owns_payload() const { return variant_owns_payload(*this); }
};

// Stores `value` where a by-reference VARIANT points, converted to the type
// it points at (a by-reference VARIANT takes a copy as it is). A target that
// is not a reference is left alone.
HRESULT store_by_ref(VARIANT& target, const VARIANT& value);

// Follows a by-reference VARIANT to the value it points at (one level).
const VARIANT& deref(const VARIANT& v);

} // namespace plat
