#pragma once
// The calling side of late binding: invoke a member by DISPID or by name
// with VARIANT arguments given in declaration order, and read a failure the
// way a late-bound caller reports it (error number and text).
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

namespace plat {

struct CallError {
    HRESULT hr{S_OK};    // what Invoke answered
    uint16_t number{0};  // the run-time error number a caller shows
    HRESULT scode{S_OK}; // the result code of the failure
    std::string description;
    std::string source;
    uint32_t arg_error{0};
};

// Fills `err` (when given) from a failed call. `ei` is consumed.
void describe_call_error(HRESULT hr, EXCEPINFO& ei, uint32_t arg_err, CallError* err);

// Looks a member up by name (case-insensitive on the callee's side).
HRESULT dispatch_id(IDispatch* obj, std::string_view name, DISPID& id);

// Arguments in declaration order; a by-reference argument is passed as
// Variant::ref(&target) and target receives what the callee writes back.
HRESULT dispatch_invoke(IDispatch* obj, DISPID id, uint16_t flags, std::span<const Variant> args,
                        Variant* result = nullptr, CallError* err = nullptr);

// Shorthands.
HRESULT dispatch_get(IDispatch* obj, DISPID id, Variant& result, std::span<const Variant> index = {},
                     CallError* err = nullptr);
HRESULT dispatch_put(IDispatch* obj, DISPID id, const Variant& value, std::span<const Variant> index = {},
                     CallError* err = nullptr);
HRESULT dispatch_call(IDispatch* obj, DISPID id, std::span<const Variant> args = {},
                      Variant* result = nullptr, CallError* err = nullptr);

// The same by name.
HRESULT dispatch_get(IDispatch* obj, std::string_view name, Variant& result,
                     std::span<const Variant> index = {}, CallError* err = nullptr);
HRESULT dispatch_put(IDispatch* obj, std::string_view name, const Variant& value,
                     std::span<const Variant> index = {}, CallError* err = nullptr);
HRESULT dispatch_call(IDispatch* obj, std::string_view name, std::span<const Variant> args = {},
                      Variant* result = nullptr, CallError* err = nullptr);

// Walks a collection the way a For Each loop does: its `_NewEnum` member
// (DISPID -4) gives an enumerator whose values go to `each` one by one
// until it answers false or the values run out.
HRESULT dispatch_for_each(IDispatch* collection, const std::function<bool(const Variant&)>& each,
                          CallError* err = nullptr);

} // namespace plat
