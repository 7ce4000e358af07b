// A small in-process server for the component-layer tests: one creatable
// class with properties, an indexed property, methods with optional and
// by-reference arguments, a numbered error and one event.
#include <string>
#include <vector>

#include "platform/com/enum_variant.h"
#include "platform/com/events.h"
#include "platform/com/object.h"
#include "platform/com/server.h"
#include "sample_component.h"

using namespace plat;

namespace {

class Sample final : public DispatchObject<Sample, IConnectionPointContainer> {
  public:
    Sample() : m_events(m_points.add(*this, sample::kEventsIid)) {}
    ~Sample() override { m_points.disconnect_all(); }

    static const DispatchTable<Sample>& dispatch_table();

    HRESULT EnumConnectionPoints(void** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        return m_points.find(iid, out);
    }

  protected:
    bool user_mode() const override { return !m_design; }
    HRESULT query_other(REFIID iid, void** out) override {
        if (iid != sample::kDispatchIid) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }

  private:
    std::string m_name;
    int16_t m_count{0};
    std::vector<std::string> m_items{"zero", "one", "two"};
    std::string m_secret{"hidden"};
    bool m_design{false};
    ConnectionPoints m_points;
    ConnectionPoint& m_events;

    std::string& item(DispCall& c) {
        const int32_t i = c.i4(0);
        if (i < 0 || static_cast<size_t>(i) >= m_items.size()) raise_error(kErrInvalidPropertyArrayIndex);
        return m_items[i];
    }

    static constexpr DispParam kIndex{"Index", VT_I4};
};

const DispatchTable<Sample>& Sample::dispatch_table() {
    static const DispatchTable<Sample> table{
        {.id = sample::kName,
         .name = "Name",
         .kind = DispKind::Property,
         .type = VT_BSTR,
         .get = [](Sample& s, DispCall& c) { c.result() = Variant(s.m_name); },
         .put = [](Sample& s, DispCall& c) { s.m_name = bstr_to_utf8(c.value().bstrVal); },
         .aliases = {"Caption"}},
        {.id = sample::kCount,
         .name = "Count",
         .kind = DispKind::Property,
         .type = VT_I2,
         .get = [](Sample& s, DispCall& c) { c.result() = Variant(s.m_count); },
         .put =
             [](Sample& s, DispCall& c) {
                 if (c.value().iVal < 0 || c.value().iVal > 100) raise_error(kErrInvalidPropertyValue);
                 s.m_count = c.value().iVal;
             }},
        {.id = sample::kItem,
         .name = "Item",
         .kind = DispKind::Property,
         .type = VT_BSTR,
         .params = {kIndex},
         .get = [](Sample& s, DispCall& c) { c.result() = Variant(s.item(c)); },
         .put = [](Sample& s, DispCall& c) { s.item(c) = bstr_to_utf8(c.value().bstrVal); }},
        {.id = sample::kAdd,
         .name = "Add",
         .kind = DispKind::Method,
         .type = VT_I4,
         .params = {{"a", VT_I4}, {"b", VT_VARIANT, kParamOptional}},
         .get =
             [](Sample&, DispCall& c) {
                 int32_t b = c.has_arg(1) ? Variant(c.arg(1)).to_i4() : 1;
                 c.result() = Variant(c.i4(0) + b);
             }},
        {.id = sample::kSwap,
         .name = "Swap",
         .kind = DispKind::Method,
         .type = VT_EMPTY,
         .params = {{"x", VT_VARIANT, kParamByRef}, {"y", VT_I4, kParamByRef}},
         .get =
             [](Sample&, DispCall& c) {
                 Variant x = c.arg(0);
                 c.ref(0) = Variant(c.i4(1));
                 c.ref(1) = Variant(x.to_i4());
             }},
        {.id = sample::kFail,
         .name = "Fail",
         .kind = DispKind::Method,
         .type = VT_EMPTY,
         .params = {{"Code", VT_I2}},
         .get =
             [](Sample&, DispCall& c) {
                 const uint16_t code = static_cast<uint16_t>(c.i2(0));
                 raise_error(code, code == 20103 ? "Item not found" : "");
             }},
        {.id = sample::kFire,
         .name = "Fire",
         .kind = DispKind::Method,
         .type = VT_BOOL,
         .params = {{"Text", VT_BSTR}},
         .get =
             [](Sample& s, DispCall& c) {
                 Variant cancel = Variant::boolean(false);
                 Variant args[] = {c.arg(0), Variant::ref(&cancel)};
                 s.m_events.fire(sample::kChanged, args);
                 c.result() = cancel;
             }},
        {.id = sample::kSecret,
         .name = "Secret",
         .kind = DispKind::Property,
         .type = VT_BSTR,
         .get = [](Sample& s, DispCall& c) { c.result() = Variant(s.m_secret); },
         .put = [](Sample& s, DispCall& c) { s.m_secret = bstr_to_utf8(c.value().bstrVal); },
         .access = kNoGetAtDesign},
        {.id = sample::kDesignMode,
         .name = "DesignMode",
         .kind = DispKind::Property,
         .type = VT_BOOL,
         .get = [](Sample& s, DispCall& c) { c.result() = Variant::boolean(s.m_design); },
         .put = [](Sample& s, DispCall& c) { s.m_design = c.value().boolVal != 0; }},
        {.id = sample::kReadOnly,
         .name = "ReadOnly",
         .kind = DispKind::Property,
         .type = VT_I4,
         .get = [](Sample&, DispCall& c) { c.result() = Variant(int32_t(7)); },
         .access = kNoPut},
        {.id = sample::kRunOnly,
         .name = "RunOnly",
         .kind = DispKind::Property,
         .type = VT_I4,
         .get = [](Sample&, DispCall& c) { c.result() = Variant(int32_t(1)); },
         .put = [](Sample&, DispCall&) {},
         .access = kNoGetAtDesign | kNoPutAtDesign},
        {.id = sample::kNewEnum,
         .name = "_NewEnum",
         .kind = DispKind::Property,
         .type = VT_UNKNOWN,
         .get =
             [](Sample& s, DispCall& c) {
                 std::vector<Variant> values;
                 for (const auto& item : s.m_items)
                     values.emplace_back(std::string_view(item));
                 c.result() = Variant(static_cast<IUnknown*>(create_variant_enum(std::move(values)).get()));
             }},
    };
    return table;
}

ServerModule& server() {
    static ServerModule module(
        {{.clsid = sample::kClsid,
          .prog_id = sample::kProgId,
          .type_name = "Component layer test sample",
          .create = creator_of<Sample>(),
          .control = true,
          .misc_status = 0x38191,
          .implemented_categories = {sample::kSafeForScripting}}},
        TypeLibRegistration{sample::kLibid,
                            1,
                            0,
                            "Component layer test sample library",
                            {{sample::kDispatchIid, "_DSample"}, {sample::kEventsIid, "_DSampleEvents"}}},
        {{sample::kSafeForScripting, "Controls that are safely scriptable"}});
    return module;
}

} // namespace

KL_SERVER_EXPORTS(server())
