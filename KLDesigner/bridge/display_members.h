#pragma once
// Late-bound member calls for the action list display: each answers whether
// the member worked, so a caller can go on past a failing one.
#include <initializer_list>
#include <vector>

#include "platform/com/dispatch_client.h"

namespace kld::members {

inline bool Get(plat::IDispatch* obj, plat::DISPID id, plat::Variant& out,
                std::initializer_list<plat::Variant> index = {}) {
    if (!obj) return false;
    const std::vector<plat::Variant> args(index);
    return plat::dispatch_get(obj, id, out, args) == plat::S_OK;
}

inline bool Put(plat::IDispatch* obj, plat::DISPID id, const plat::Variant& value,
                std::initializer_list<plat::Variant> index = {}) {
    if (!obj) return false;
    const std::vector<plat::Variant> args(index);
    return plat::dispatch_put(obj, id, value, args) == plat::S_OK;
}

inline bool Call(plat::IDispatch* obj, plat::DISPID id, std::initializer_list<plat::Variant> args = {},
                 plat::Variant* result = nullptr, plat::CallError* err = nullptr) {
    if (!obj) return false;
    const std::vector<plat::Variant> a(args);
    return plat::dispatch_call(obj, id, a, result, err) == plat::S_OK;
}

// An object property; null when the member failed or answered Nothing.
inline plat::ComPtr<plat::IDispatch> Object(plat::IDispatch* obj, plat::DISPID id,
                                            std::initializer_list<plat::Variant> index = {}) {
    plat::Variant v;
    if (!Get(obj, id, v, index) || v.vt != plat::VT_DISPATCH) return nullptr;
    return plat::ComPtr<plat::IDispatch>(v.pdispVal);
}

// A whole-number property; `fallback` when the member failed.
inline int32_t Int(plat::IDispatch* obj, plat::DISPID id, std::initializer_list<plat::Variant> index = {},
                   int32_t fallback = 0, bool* ok = nullptr) {
    plat::Variant v;
    plat::HRESULT hr = plat::S_OK;
    const bool got = Get(obj, id, v, index);
    const int32_t value = got ? v.to_i4(&hr) : fallback;
    const bool good = got && !plat::FAILED(hr);
    if (ok) *ok = good;
    return good ? value : fallback;
}

} // namespace kld::members
