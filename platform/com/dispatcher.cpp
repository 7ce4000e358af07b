#include "platform/com/dispatcher.h"

#include <algorithm>
#include <new>

#include "platform/base/strings.h"
#include "platform/com/stack_buffer.h"

namespace plat {

void raise_error(uint16_t code, std::string description) {
    DispatchError e;
    if (code >= 20000)
        e.code = code;
    else
        e.scode = control_error_hresult(code);
    if (description.empty()) description = std::string(standard_error_text(code));
    e.description = std::move(description);
    throw e;
}

void raise_hresult(HRESULT scode, std::string description) {
    DispatchError e;
    e.scode = scode;
    if (description.empty()) description = std::string(standard_error_text(error_number_from_hresult(scode)));
    e.description = std::move(description);
    throw e;
}

std::string_view standard_error_text(uint16_t number) {
    switch (number) {
    case kErrInvalidProcedureCall:
        return "Invalid procedure call or argument";
    case kErrOverflow:
        return "Overflow";
    case kErrOutOfMemory:
        return "Out of memory";
    case kErrTypeMismatch:
        return "Type mismatch";
    case kErrFileNotFound:
        return "File not found";
    case kErrInvalidFileFormat:
        return "Invalid file format";
    case kErrInvalidPropertyValue:
        return "Invalid property value";
    case kErrInvalidPropertyArrayIndex:
        return "Invalid property array index";
    case kErrSetNotSupportedAtRuntime:
        return "Set not supported at runtime";
    case kErrSetNotSupported:
        return "Set not supported (read-only property)";
    case kErrGetNotSupportedAtRuntime:
        return "Get not supported at runtime";
    case kErrGetNotSupported:
        return "Get not supported (write-only property)";
    case kErrObjectRequired:
        return "Object required";
    case kErrMemberNotFound:
        return "Object doesn't support this property or method";
    case kErrArgumentNotOptional:
        return "Argument not optional";
    case kErrWrongArgumentCount:
        return "Wrong number of arguments or invalid property assignment";
    default:
        return {};
    }
}

void fill_excepinfo(EXCEPINFO* ei, const DispatchError& e) {
    if (!ei) return;
    clear_excepinfo(ei);
    if (e.code)
        ei->wCode = e.code;
    else
        ei->scode = e.scode ? e.scode : E_FAIL;
    if (!e.description.empty()) ei->bstrDescription = bstr_from_utf8(e.description);
    if (!e.source.empty()) ei->bstrSource = bstr_from_utf8(e.source);
    ei->dwHelpContext = e.help_context;
}

// ---- lookup ----

void DispatchTableBase::set_members(std::vector<DispMemberInfo> members) {
    m_members = std::move(members);
    m_direct.clear();
    m_sorted.clear();
    for (size_t i = 0; i < m_members.size(); ++i)
        m_sorted.emplace_back(m_members[i].id, static_cast<uint32_t>(i));
    auto by_number = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(m_sorted.begin(), m_sorted.end(), by_number);
    m_sorted.erase(std::unique(m_sorted.begin(), m_sorted.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; }),
                   m_sorted.end());
    if (m_sorted.empty()) return;
    // A control's numbers (its own from 1 up, the standard ones a few
    // hundred below 0) span a range a few times the number of members.
    const int64_t span = int64_t{m_sorted.back().first} - m_sorted.front().first + 1;
    if (span > 8 * static_cast<int64_t>(m_sorted.size()) + 64) return;
    m_lowest = m_sorted.front().first;
    m_direct.assign(static_cast<size_t>(span), -1);
    for (const auto& [id, at] : m_sorted)
        m_direct[static_cast<size_t>(int64_t{id} - m_lowest)] = static_cast<int32_t>(at);
    m_sorted.clear();
}

const DispMemberInfo* DispatchTableBase::find(DISPID id) const {
    if (!m_direct.empty()) {
        const int64_t at = int64_t{id} - m_lowest;
        if (at < 0 || at >= static_cast<int64_t>(m_direct.size())) return nullptr;
        const int32_t member = m_direct[static_cast<size_t>(at)];
        return member < 0 ? nullptr : &m_members[static_cast<size_t>(member)];
    }
    auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), id,
                               [](const auto& entry, DISPID want) { return entry.first < want; });
    return it != m_sorted.end() && it->first == id ? &m_members[it->second] : nullptr;
}

const DispMemberInfo* DispatchTableBase::find(std::string_view name) const {
    for (const auto& m : m_members) {
        if (iequals(m.name, name)) return &m;
        for (auto alias : m.aliases)
            if (iequals(alias, name)) return &m;
    }
    return nullptr;
}

HRESULT DispatchTableBase::get_ids(OLECHAR** names, uint32_t count, DISPID* ids) const {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    try {
        return lookup_ids(names, count, ids);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT DispatchTableBase::lookup_ids(OLECHAR** names, uint32_t count, DISPID* ids) const {
    for (uint32_t i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const DispMemberInfo* m = names[0] ? find(utf16_to_utf8(std::u16string_view(names[0]))) : nullptr;
    if (!m) return DISP_E_UNKNOWNNAME;
    ids[0] = m->id;
    HRESULT hr = S_OK;
    for (uint32_t i = 1; i < count; ++i) {
        const std::string want = names[i] ? utf16_to_utf8(std::u16string_view(names[i])) : std::string();
        for (size_t p = 0; p < m->params.size(); ++p)
            if (iequals(m->params[p].name, want)) ids[i] = static_cast<DISPID>(p);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

// ---- invoke ----

namespace {

bool is_missing(const VARIANT& v) {
    const VARIANT& d = deref(v);
    return d.vt == VT_ERROR && d.scode == DISP_E_PARAMNOTFOUND;
}

// `out` is empty.
HRESULT coerce_to(Variant& out, const VARIANT& in, VARTYPE type) {
    // A plain value that needs no conversion is copied as it is.
    if ((type == VT_VARIANT || type == in.vt) && variant_plain_type(in.vt)) {
        static_cast<VARIANT&>(out) = in;
        return S_OK;
    }
    if (type == VT_VARIANT) {
        // A by-reference variant is unwrapped so handlers always see a value.
        return VariantCopyInd(&out, &deref(in));
    }
    return VariantChangeType(&out, &in, 0, type);
}

HRESULT refuse(EXCEPINFO* excep, uint16_t number) {
    DispatchError e;
    e.scode = control_error_hresult(number);
    e.description = std::string(standard_error_text(number));
    fill_excepinfo(excep, e);
    return DISP_E_EXCEPTION;
}

} // namespace

HRESULT DispatchTableBase::invoke(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* excep, uint32_t* arg_err, bool user_mode,
                                  const Runner& run) const {
    // Nothing may leave Invoke as an exception, not even from the argument
    // handling around the handler.
    try {
        return invoke_member(id, flags, params, result, excep, arg_err, user_mode, run);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT DispatchTableBase::invoke_member(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                                         EXCEPINFO* excep, uint32_t* arg_err, bool user_mode,
                                         const Runner& run) const {
    const DispMemberInfo* m = find(id);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs || (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    // Which operation.
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
        if (m->kind != DispKind::Property || (!m->can_put && !(m->access & kNoPut)))
            return DISP_E_MEMBERNOTFOUND;
    } else if (m->kind == DispKind::Method) {
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    } else {
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) || (!m->can_get && !(m->access & kNoGet)))
            return DISP_E_MEMBERNOTFOUND;
    }

    // Access rules: the container's standard refusals.
    if (put && (m->access & kNoPut)) return refuse(excep, kErrSetNotSupported);
    if (put && (m->access & kNoPutAtDesign) && !user_mode)
        return refuse(excep, (m->access & kPutRefusalAsGet) ? kErrGetNotSupported : kErrSetNotSupported);
    if (!put && m->kind == DispKind::Property && (m->access & kNoGet))
        return refuse(excep, kErrGetNotSupported);
    if (!put && m->kind == DispKind::Property && (m->access & kNoGetAtDesign) && !user_mode)
        return refuse(excep, kErrGetNotSupported);

    // Sort the caller's arguments into declared positions. rgvarg holds the
    // named arguments first, then the positional ones in reverse order.
    const uint32_t named = params->cNamedArgs;
    const uint32_t positional = params->cArgs - named;
    const size_t declared = m->params.size();
    // Index into rgvarg of each declared parameter (-1: not given).
    StackBuffer<int32_t, 8> slot(declared);
    std::fill_n(slot.data(), declared, -1);
    int32_t value_slot = -1;
    for (uint32_t i = 0; i < named; ++i) {
        const DISPID nid = params->rgdispidNamedArgs[i];
        if (nid == DISPID_PROPERTYPUT && put) {
            value_slot = static_cast<int32_t>(i);
        } else if (nid >= 0 && static_cast<size_t>(nid) < declared && slot[nid] < 0) {
            slot[nid] = static_cast<int32_t>(i);
        } else {
            if (arg_err) *arg_err = i;
            return DISP_E_PARAMNOTFOUND;
        }
    }
    uint32_t first_positional = named;
    uint32_t positional_count = positional;
    if (put && value_slot < 0) {
        // Some callers pass the new value as the last positional argument.
        if (positional == 0) return DISP_E_PARAMNOTOPTIONAL;
        value_slot = static_cast<int32_t>(named);
        ++first_positional;
        --positional_count;
    }
    if (positional_count > declared) return DISP_E_BADPARAMCOUNT;
    for (uint32_t p = 0; p < positional_count; ++p) {
        const int32_t at = static_cast<int32_t>(params->cArgs - 1 - p);
        if (slot[p] >= 0) return DISP_E_BADPARAMCOUNT; // given both by position and by name
        slot[p] = at;
    }
    (void)first_positional;

    DispCall call;
    call.m_putting = put;
    call.m_user_mode = user_mode;
    call.m_args.resize(declared);
    call.m_passed.assign(declared, VT_EMPTY);
    for (size_t p = 0; p < declared; ++p) {
        const DispParam& d = m->params[p];
        if (slot[p] < 0 || is_missing(params->rgvarg[slot[p]])) {
            if (!(d.flags & kParamOptional)) {
                if (arg_err) *arg_err = slot[p] < 0 ? 0 : static_cast<uint32_t>(slot[p]);
                return DISP_E_PARAMNOTOPTIONAL;
            }
            call.m_args[p] = Variant::missing();
            continue;
        }
        call.m_passed[p] = params->rgvarg[slot[p]].vt;
        HRESULT hr = coerce_to(call.m_args[p], params->rgvarg[slot[p]], d.type);
        if (FAILED(hr)) {
            if (arg_err) *arg_err = static_cast<uint32_t>(slot[p]);
            return hr;
        }
    }
    if (put) {
        HRESULT hr = coerce_to(call.m_value, params->rgvarg[value_slot],
                               m->put_type != VT_EMPTY ? m->put_type : m->type);
        if (FAILED(hr)) {
            if (arg_err) *arg_err = static_cast<uint32_t>(value_slot);
            return hr;
        }
    }

    try {
        run(index_of(m), put, call);
    } catch (const DispatchError& e) {
        fill_excepinfo(excep, e);
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return refuse(excep, kErrOutOfMemory);
    } catch (const std::exception& e) {
        DispatchError err;
        err.scode = E_UNEXPECTED;
        err.description = e.what();
        fill_excepinfo(excep, err);
        return DISP_E_EXCEPTION;
    } catch (...) {
        DispatchError err;
        err.scode = E_UNEXPECTED;
        fill_excepinfo(excep, err);
        return DISP_E_EXCEPTION;
    }

    // By-reference write-back: only what the caller passed by reference.
    for (size_t p = 0; p < declared; ++p) {
        if (!(m->params[p].flags & kParamByRef) || slot[p] < 0) continue;
        HRESULT hr = store_by_ref(params->rgvarg[slot[p]], call.m_args[p]);
        if (FAILED(hr)) {
            if (arg_err) *arg_err = static_cast<uint32_t>(slot[p]);
            return hr;
        }
    }

    if (!put && result) {
        VariantClear(result);
        if (m->type != VT_EMPTY && m->type != VT_VARIANT && call.m_result.vt != m->type &&
            call.m_result.vt != VT_EMPTY) {
            HRESULT hr = call.m_result.change_type(m->type);
            if (FAILED(hr)) return hr;
        }
        *result = call.m_result.detach();
    }
    return S_OK;
}

} // namespace plat
