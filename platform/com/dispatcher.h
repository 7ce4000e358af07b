#pragma once
// Table-driven late binding. A class describes each of its automation
// members once (DISPID, names, kind, parameter types, access rules and the
// handler); one Invoke front end does the rest: lookup, named and optional
// arguments, coercion to the declared types, by-reference write-back, the
// design-time refusals, and turning a raised error into EXCEPINFO.
//
// Handlers raise errors by throwing DispatchError (raise_error and friends);
// the front end catches everything, so no exception leaves Invoke.
#include <array>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory_resource>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/com/errors.h"
#include "platform/com/variant.h"

namespace plat {

// ---- errors raised by handlers ----

struct DispatchError {
    uint16_t code{0};    // travels in EXCEPINFO::wCode (then scode is 0)
    HRESULT scode{S_OK}; // travels in EXCEPINFO::scode when code is 0
    std::string description;
    std::string source;
    uint32_t help_context{0};
};

// A numbered error: a component's own code (20000 and above) travels as
// wCode with its text; a container's run-time number (below 20000) travels
// in the control facility as 0x800A0000 | code.
[[noreturn]] void raise_error(uint16_t code, std::string description = {});
// An error given as an HRESULT.
[[noreturn]] void raise_hresult(HRESULT scode, std::string description = {});

// The standard texts of the container's run-time error numbers this layer
// raises itself (empty for any other number).
std::string_view standard_error_text(uint16_t number);

// Fills an exception record from an error (either wCode or scode, never both).
void fill_excepinfo(EXCEPINFO* ei, const DispatchError& e);

// ---- member descriptors ----

enum class DispKind : uint8_t {
    Method,
    Property, // get and/or put; parameters are indexes
};

enum DispParamFlags : uint8_t {
    kParamOptional = 0x1,
    kParamByRef = 0x2, // the handler may write a new value back to the caller
};

struct DispParam {
    std::string_view name;
    VARTYPE type{VT_VARIANT}; // VT_VARIANT takes any value unchanged
    uint8_t flags{0};
};

enum DispAccess : uint8_t {
    kNoGet = 0x1,         // reading always refused (394)
    kNoGetAtDesign = 0x2, // reading refused at design time (394)
    kNoPut = 0x4,         // writing always refused (383)
    kNoPutAtDesign = 0x8, // writing refused at design time (383)
    // With kNoPutAtDesign: the refusal reports 394 instead, as a few members
    // that only exist at run time always have.
    kPutRefusalAsGet = 0x10,
};

struct DispMemberInfo {
    DISPID id;
    std::string_view name;
    DispKind kind;
    VARTYPE type; // property type or method result; VT_EMPTY: no result
    std::vector<DispParam> params;
    uint8_t access;
    std::vector<std::string_view> aliases;
    bool can_get;
    bool can_put;
    // The type a put coerces its value to when it differs from the read
    // type (VT_EMPTY: the property type).
    VARTYPE put_type{VT_EMPTY};
};

// What a handler sees of one call.
class DispCall {
  public:
    bool putting() const { return m_putting; }
    // Run-time (true) or design time (false), as the object told the table.
    bool user_mode() const { return m_user_mode; }

    size_t arg_count() const { return m_args.size(); }
    // The i-th declared parameter, coerced to its type; an omitted optional
    // parameter is the missing marker (VT_ERROR DISP_E_PARAMNOTFOUND).
    const Variant& arg(size_t i) const { return m_args.at(i); }
    bool has_arg(size_t i) const { return i < m_args.size() && !m_args[i].is_missing(); }
    // A by-reference parameter's slot: starts as the value passed, and what
    // the handler leaves in it goes back to the caller.
    Variant& ref(size_t i) { return m_args.at(i); }
    // The type the caller passed the i-th argument as (VT_BYREF included);
    // VT_EMPTY when omitted.
    VARTYPE passed_type(size_t i) const { return i < m_passed.size() ? m_passed[i] : VARTYPE(VT_EMPTY); }
    // The value of a property put, coerced to the property type.
    const Variant& value() const { return m_value; }
    // The result of a get or a method.
    Variant& result() { return m_result; }

    // Typed shorthands of arg(i).
    int16_t i2(size_t i) const { return arg(i).iVal; }
    int32_t i4(size_t i) const { return arg(i).lVal; }
    bool boolean(size_t i) const { return arg(i).boolVal != 0; }
    std::string text(size_t i) const { return bstr_to_utf8(arg(i).bstrVal); }

  private:
    friend class DispatchTableBase;
    // Every late-bound call makes one of these: the arguments of the usual
    // members fit in room kept here rather than on the heap.
    static constexpr size_t kArgsInPlace = 8;
    alignas(Variant) std::array<std::byte, kArgsInPlace*(sizeof(Variant) + sizeof(VARTYPE)) + 32> m_room;
    std::pmr::monotonic_buffer_resource m_arena{m_room.data(), m_room.size()};

    bool m_putting{false};
    bool m_user_mode{true};
    std::pmr::vector<Variant> m_args{&m_arena};
    std::pmr::vector<VARTYPE> m_passed{&m_arena};
    Variant m_value;
    Variant m_result;
};

class DispatchTableBase {
  public:
    const DispMemberInfo* find(DISPID id) const;
    // Case-insensitive, over names and alternative names.
    const DispMemberInfo* find(std::string_view name) const;
    const std::vector<DispMemberInfo>& members() const { return m_members; }

    // The IDispatch::GetIDsOfNames contract: names[0] is the member, the
    // rest its parameters (answered with their 0-based positions).
    HRESULT get_ids(OLECHAR** names, uint32_t count, DISPID* ids) const;

  protected:
    using Runner = std::function<void(size_t member, bool put, DispCall& call)>;
    HRESULT invoke(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                   uint32_t* arg_err, bool user_mode, const Runner& run) const;
    // The whole table at once, so that the lookup by number is built once.
    void set_members(std::vector<DispMemberInfo> members);
    size_t index_of(const DispMemberInfo* m) const { return static_cast<size_t>(m - m_members.data()); }

  private:
    HRESULT invoke_member(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                          uint32_t* arg_err, bool user_mode, const Runner& run) const;
    HRESULT lookup_ids(OLECHAR** names, uint32_t count, DISPID* ids) const;
    std::vector<DispMemberInfo> m_members;
    // Positions in m_members by number; the first row of a number wins, as
    // a walk of the rows would find it. Numbers close together index a
    // table directly (-1: no member); scattered ones are searched sorted.
    DISPID m_lowest{0};
    std::vector<int32_t> m_direct;
    std::vector<std::pair<DISPID, uint32_t>> m_sorted;
};

template <class T> using DispHandler = std::function<void(T& self, DispCall& call)>;

// One row of a class's table.
template <class T> struct DispMember {
    DISPID id;
    std::string_view name;
    DispKind kind;
    VARTYPE type;
    std::vector<DispParam> params{};
    DispHandler<T> get{}; // for a method: the call
    DispHandler<T> put{};
    uint8_t access{0};
    std::vector<std::string_view> aliases{};
    VARTYPE put_type{VT_EMPTY}; // a put of another type than the read
};

template <class T> class DispatchTable : public DispatchTableBase {
  public:
    DispatchTable(std::initializer_list<DispMember<T>> members) {
        std::vector<DispMemberInfo> infos;
        infos.reserve(members.size());
        for (const auto& m : members) {
            infos.push_back({m.id, m.name, m.kind, m.type, m.params, m.access, m.aliases, bool(m.get),
                             bool(m.put), m.put_type});
            m_handlers.push_back({m.get, m.put});
        }
        set_members(std::move(infos));
    }

    HRESULT invoke(T& self, bool user_mode, DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, uint32_t* arg_err) const {
        return DispatchTableBase::invoke(id, flags, params, result, excep, arg_err, user_mode,
                                         [&](size_t i, bool put, DispCall& call) {
                                             (put ? m_handlers[i].second : m_handlers[i].first)(self, call);
                                         });
    }

  private:
    std::vector<std::pair<DispHandler<T>, DispHandler<T>>> m_handlers;
};

} // namespace plat
