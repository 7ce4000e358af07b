#pragma once
// Collections hand out their entries one by one through an enumerator
// (the `_NewEnum` member, DISPID -4, answers one).
#include <functional>
#include <vector>

#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace plat {

struct IEnumVARIANT : IUnknown {
    static constexpr IID kIID = make_guid("00020404-0000-0000-C000-000000000046");
    // Fills up to `count` values (all of them initialised first); S_OK when
    // `count` were filled, S_FALSE when the entries ran out.
    virtual HRESULT Next(uint32_t count, VARIANT* out, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** out) = 0;

  protected:
    ~IEnumVARIANT() = default;
};

// The collection side of an enumerator. The count is asked again after
// every entry, so a collection that changes while it is walked is followed.
struct EnumSource {
    std::function<uint32_t()> count;
    // The entry at a 0-based position into `out` (an empty VARIANT).
    std::function<HRESULT(uint32_t index, VARIANT* out)> item;
    // Kept referenced for the enumerator's life (the collection object).
    ComPtr<IUnknown> owner;
};

ComPtr<IEnumVARIANT> create_variant_enum(EnumSource source);
// An enumerator over a fixed list of values (copied).
ComPtr<IEnumVARIANT> create_variant_enum(std::vector<Variant> values);

} // namespace plat
