#pragma once
// Late-bound calls: the dispatch interface, its argument block and the
// exception record a failed call fills.
#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace plat {

inline constexpr IID IID_IDispatch = make_guid("00020400-0000-0000-C000-000000000046");

struct ITypeInfo; // never implemented: dispatch here is table-driven

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;

// Invoke flags.
constexpr uint16_t DISPATCH_METHOD = 0x1;
constexpr uint16_t DISPATCH_PROPERTYGET = 0x2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 0x4;
constexpr uint16_t DISPATCH_PROPERTYPUTREF = 0x8;

// Arguments in reverse order: rgvarg[0] is the last one. Named arguments
// (rgdispidNamedArgs) occupy the first cNamedArgs slots.
struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    uint32_t cArgs;
    uint32_t cNamedArgs;
};

struct EXCEPINFO {
    uint16_t wCode; // a numbered error; then scode is 0
    uint16_t wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    uint32_t dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode; // an HRESULT-form error; then wCode is 0
};

// Frees the texts of an exception record and zeroes it.
void clear_excepinfo(EXCEPINFO* ei);

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** out) = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, OLECHAR** names, uint32_t count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, uint32_t* arg_err) = 0;

  protected:
    ~IDispatch() = default;
};

// The objects of this layer describe themselves by their dispatch tables
// only: they offer no type information.
struct DispatchWithoutTypeInfo : IDispatch {
    HRESULT GetTypeInfoCount(uint32_t* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

  protected:
    ~DispatchWithoutTypeInfo() = default;
};

} // namespace plat
