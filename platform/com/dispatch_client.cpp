#include "platform/com/dispatch_client.h"

#include <vector>

#include "platform/base/strings.h"
#include "platform/com/enum_variant.h"
#include "platform/com/errors.h"
#include "platform/com/stack_buffer.h"

namespace plat {

void describe_call_error(HRESULT hr, EXCEPINFO& ei, uint32_t arg_err, CallError* err) {
    if (hr == DISP_E_EXCEPTION && ei.pfnDeferredFillIn) {
        ei.pfnDeferredFillIn(&ei);
        ei.pfnDeferredFillIn = nullptr;
    }
    if (err) {
        *err = CallError{};
        err->hr = hr;
        err->arg_error = arg_err;
        if (hr == DISP_E_EXCEPTION) {
            err->number = ei.wCode ? ei.wCode : error_number_from_hresult(ei.scode);
            err->scode = ei.wCode ? error_number_hresult(ei.wCode) : ei.scode;
            err->description = bstr_to_utf8(ei.bstrDescription);
            err->source = bstr_to_utf8(ei.bstrSource);
        } else {
            err->number = error_number_from_hresult(hr);
            err->scode = hr;
        }
    }
    clear_excepinfo(&ei);
}

HRESULT dispatch_id(IDispatch* obj, std::string_view name, DISPID& id) {
    if (!obj) return E_POINTER;
    std::u16string wide = utf8_to_utf16(name);
    OLECHAR* names[] = {wide.data()};
    return obj->GetIDsOfNames(GUID_NULL, names, 1, 0, &id);
}

namespace {

HRESULT invoke_raw(IDispatch* obj, DISPID id, uint16_t flags, std::span<const Variant> args,
                   const Variant* value, Variant* result, CallError* err) {
    if (!obj) return E_POINTER;
    // The callee reads rgvarg in reverse order; the value of a put comes
    // first as the named DISPID_PROPERTYPUT argument. These are shallow
    // copies: the callee never frees its arguments. A call rarely has more
    // than a few, so they go on the stack.
    const size_t count = args.size() + (value ? 1 : 0);
    StackBuffer<VARIANT, 8> rg(count);
    size_t n = 0;
    if (value) rg[n++] = *value;
    for (size_t i = args.size(); i-- > 0;)
        rg[n++] = args[i];
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rg.data(), value ? &put_id : nullptr, static_cast<uint32_t>(count), value ? 1u : 0u};
    EXCEPINFO ei{};
    uint32_t arg_err = 0;
    Variant out;
    HRESULT hr = obj->Invoke(id, GUID_NULL, 0, flags, &dp, result ? &out : nullptr, &ei, &arg_err);
    if (FAILED(hr)) {
        describe_call_error(hr, ei, arg_err, err);
        return hr;
    }
    clear_excepinfo(&ei);
    if (err) *err = CallError{};
    if (result) *result = std::move(out);
    return hr;
}

template <class F> HRESULT by_name(IDispatch* obj, std::string_view name, CallError* err, F then) {
    DISPID id;
    HRESULT hr = dispatch_id(obj, name, id);
    if (FAILED(hr)) {
        if (err) {
            *err = CallError{};
            err->hr = hr;
            err->scode = hr;
            err->number = error_number_from_hresult(hr);
        }
        return hr;
    }
    return then(id);
}

} // namespace

HRESULT dispatch_invoke(IDispatch* obj, DISPID id, uint16_t flags, std::span<const Variant> args,
                        Variant* result, CallError* err) {
    return invoke_raw(obj, id, flags, args, nullptr, result, err);
}

HRESULT dispatch_get(IDispatch* obj, DISPID id, Variant& result, std::span<const Variant> index,
                     CallError* err) {
    return invoke_raw(obj, id, DISPATCH_PROPERTYGET, index, nullptr, &result, err);
}

HRESULT dispatch_put(IDispatch* obj, DISPID id, const Variant& value, std::span<const Variant> index,
                     CallError* err) {
    return invoke_raw(obj, id, DISPATCH_PROPERTYPUT, index, &value, nullptr, err);
}

HRESULT dispatch_call(IDispatch* obj, DISPID id, std::span<const Variant> args, Variant* result,
                      CallError* err) {
    return invoke_raw(obj, id, DISPATCH_METHOD, args, nullptr, result, err);
}

HRESULT dispatch_get(IDispatch* obj, std::string_view name, Variant& result, std::span<const Variant> index,
                     CallError* err) {
    return by_name(obj, name, err, [&](DISPID id) { return dispatch_get(obj, id, result, index, err); });
}

HRESULT dispatch_put(IDispatch* obj, std::string_view name, const Variant& value,
                     std::span<const Variant> index, CallError* err) {
    return by_name(obj, name, err, [&](DISPID id) { return dispatch_put(obj, id, value, index, err); });
}

HRESULT dispatch_call(IDispatch* obj, std::string_view name, std::span<const Variant> args, Variant* result,
                      CallError* err) {
    return by_name(obj, name, err, [&](DISPID id) { return dispatch_call(obj, id, args, result, err); });
}

HRESULT dispatch_for_each(IDispatch* collection, const std::function<bool(const Variant&)>& each,
                          CallError* err) {
    Variant e;
    HRESULT hr =
        invoke_raw(collection, DISPID_NEWENUM, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, nullptr, &e, err);
    if (FAILED(hr)) return hr;
    IUnknown* unk = e.vt == VT_UNKNOWN ? e.punkVal : e.vt == VT_DISPATCH ? e.pdispVal : nullptr;
    ComPtr<IEnumVARIANT> items;
    if (!unk || FAILED(unk->QueryInterface(IEnumVARIANT::kIID, items.put_void()))) return DISP_E_TYPEMISMATCH;
    for (;;) {
        Variant v;
        uint32_t fetched = 0;
        hr = items->Next(1, &v, &fetched);
        if (FAILED(hr)) return hr;
        if (fetched == 0) return S_OK;
        if (!each(v)) return S_OK;
    }
}

} // namespace plat
