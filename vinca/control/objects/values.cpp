#include "vinca/control/objects/values.h"

#include "platform/com/enum_variant.h"
#include "vinca/control/control.h"
#include "vinca/model/values.h"

namespace vinca {

namespace {

const CVincaName* NameOf(const plat::VARIANT& in) {
    const plat::VARIANT& v = plat::deref(in);
    if (v.vt != plat::VT_BSTR && v.vt != plat::VT_ANSI) return nullptr;
    const std::string text =
        v.vt == plat::VT_BSTR ? plat::bstr_to_utf8(v.bstrVal) : std::string(plat::bstr_bytes(v.bstrVal));
    return text.empty() ? nullptr : GlobalName(text);
}

plat::Variant Nothing() {
    return plat::Variant(static_cast<plat::IDispatch*>(nullptr));
}

plat::Variant ValueObject(const ControlLink& link, CItem* item, const CVincaName* name) {
    auto obj = plat::make_object<COleValue>(link, Ref<CItem>(item), name);
    return plat::Variant(static_cast<plat::IDispatch*>(obj.get()));
}

CVincaCtrl& Live(const ControlLink& link) {
    if (!link || !*link) ThrowVincaError(VE_DISCONNECTED);
    return **link;
}

// The keys of the tree column of a tree grid and of an item grid.
bool IsTreeColumn(const CVincaName* name) {
    return name == names::Tree() || name == names::ItemTreeColumn();
}

// Text goes out as automation text whatever form the item keeps it in.
plat::Variant Outgoing(const plat::Variant& v) {
    if (v.vt == plat::VT_ANSI) return plat::Variant(plat::bstr_bytes(v.bstrVal));
    return v;
}

} // namespace

// ---- one value ----

CVincaCtrl& COleValue::Control() const {
    return Live(m_link);
}

plat::HRESULT COleValue::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaValue) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

const plat::DispatchTable<COleValue>& COleValue::dispatch_table() {
    auto get_value = [](COleValue& self, plat::DispCall& c) {
        self.Control();
        // The tree column's cell is a temporary entry holding the item's
        // text (what a write there changes).
        if (IsTreeColumn(self.m_name)) {
            c.result() = plat::Variant(std::string_view(self.m_item->Text()));
            return;
        }
        // Reading never adds an entry.
        CItemData* data = self.m_item->ItemData();
        const plat::Variant* v = data ? data->FindNamedValue(self.m_name) : nullptr;
        c.result() = v ? Outgoing(*v) : plat::Variant();
    };
    auto put_value = [](COleValue& self, plat::DispCall& c) {
        CVincaCtrl& ctl = self.Control();
        const std::string& name = self.m_name->Text();
        if (name == "__InnerTree" || name == "__ItemGridRowDef" || name == "__TreeGridRowDef")
            ThrowVincaError(VE_INVALID_ARGUMENT);
        CItemData* data = self.m_item->GetItemData();
        if (!data) ThrowVincaError(VE_OUT_OF_MEMORY);
        const plat::VARIANT& v = plat::deref(c.value());
        // Automation text stays wide text; a single-byte string stays one.
        const plat::Variant stored(v);
        CVincaEngine& e = ctl.Engine();
        VResult r = VE_OK;
        {
            CVincaEngine::UpdateScope notices(e);
            if (IsTreeColumn(self.m_name)) {
                // The tree column: the value becomes the item's text and the
                // entry keeps no value of its own; its nested set (the
                // appearance) stays.
                if (self.m_item->ParentNode()) r = e.SetListText(self.m_item.get(), ValueToText(stored));
                if (r == VE_OK)
                    if (CAttrEntry* entry = data->Values().Find(self.m_name)) entry->ClearValue();
            } else {
                r = data->Values().SetOrAddValue(self.m_name, stored);
            }
        }
        ctl.ClearPending();
        CheckVinca(r);
    };
    static const plat::DispatchTable<COleValue> table{
        {.id = 0,
         .name = "_Value",
         .kind = plat::DispKind::Property,
         .type = plat::VT_VARIANT,
         .get = get_value,
         .put = put_value},
        {.id = 1,
         .name = "Value",
         .kind = plat::DispKind::Property,
         .type = plat::VT_VARIANT,
         .get = get_value,
         .put = put_value},
        {.id = 2,
         .name = "ValueName",
         .kind = plat::DispKind::Property,
         .type = plat::VT_VARIANT,
         .get =
             [](COleValue& self, plat::DispCall& c) {
                 self.Control();
                 c.result() = plat::Variant(std::string_view(self.m_name->Text()));
             },
         .access = plat::kNoPut},
        {.id = 3,
         .name = "ItemIndex",
         .kind = plat::DispKind::Property,
         .type = plat::VT_I4,
         .get =
             [](COleValue& self, plat::DispCall& c) {
                 CVincaCtrl& ctl = self.Control();
                 c.result() = plat::Variant(ctl.Engine().ItemIndex(self.m_item.get()));
             },
         .access = plat::kNoPut},
    };
    return table;
}

// ---- the collection ----

CVincaCtrl& COleValues::Control() const {
    return Live(m_link);
}

plat::HRESULT COleValues::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaValues) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

plat::Variant COleValues::Item(const plat::VARIANT& key) {
    const CVincaName* name = NameOf(key);
    return name ? ValueObject(m_link, m_item.get(), name) : Nothing();
}

const plat::DispatchTable<COleValues>& COleValues::dispatch_table() {
    auto get_item = [](COleValues& self, plat::DispCall& c) {
        self.Control();
        c.result() = self.Item(c.arg(0));
    };
    auto put_item = [](COleValues& self, plat::DispCall& c) {
        self.Control();
        const CVincaName* name = NameOf(c.arg(0));
        if (!name) return;
        const plat::VARIANT& v = plat::deref(c.value());
        const bool nothing = (v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN) && !v.punkVal;
        if (nothing) {
            if (CItemData* data = self.m_item->ItemData()) data->Values().RemoveEntry(name);
            return;
        }
        if (v.vt != plat::VT_DISPATCH && v.vt != plat::VT_UNKNOWN) return;
        CItemData* data = self.m_item->GetItemData();
        if (!data) ThrowVincaError(VE_OUT_OF_MEMORY);
        CheckVinca(data->Values().SetOrAddValue(name, plat::Variant(int32_t(0))));
    };
    static const plat::DispatchTable<COleValues> table{
        {.id = 0,
         .name = "_Item",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .params = {{"Key", plat::VT_VARIANT, 0}},
         .get = get_item,
         .put = put_item,
         .put_type = plat::VT_VARIANT},
        {.id = 1,
         .name = "Count",
         .kind = plat::DispKind::Property,
         .type = plat::VT_I4,
         .get =
             [](COleValues& self, plat::DispCall& c) {
                 self.Control();
                 CItemData* data = self.m_item->ItemData();
                 c.result() = plat::Variant(data ? data->Values().GetCount() : 0);
             },
         .access = plat::kNoPut},
        {.id = 2,
         .name = "Item",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .params = {{"Key", plat::VT_VARIANT, 0}},
         .get = get_item,
         .put = put_item,
         .put_type = plat::VT_VARIANT},
        {.id = plat::DISPID_NEWENUM,
         .name = "_NewEnum",
         .kind = plat::DispKind::Method,
         .type = plat::VT_UNKNOWN,
         .get =
             [](COleValues& self, plat::DispCall& c) {
                 self.Control();
                 plat::EnumSource source;
                 ControlLink link = self.m_link;
                 Ref<CItem> item = self.m_item;
                 source.count = [item]() -> uint32_t {
                     return item->ItemData() ? static_cast<uint32_t>(item->ItemData()->Values().GetCount())
                                             : 0;
                 };
                 source.item = [link, item](uint32_t i, plat::VARIANT* out) -> plat::HRESULT {
                     plat::Variant v = ValueObjectAt(link, item.get(), static_cast<int32_t>(i));
                     *out = v.detach();
                     return plat::S_OK;
                 };
                 source.owner = static_cast<plat::IDispatch*>(&self);
                 auto e = plat::create_variant_enum(std::move(source));
                 c.result() = plat::Variant(static_cast<plat::IUnknown*>(e.get()));
             }},
    };
    return table;
}

plat::Variant ValueObjectAt(const ControlLink& link, CItem* item, int32_t position) {
    CItemData* data = item ? item->ItemData() : nullptr;
    if (!data || position < 0 || position >= data->Values().GetCount()) return Nothing();
    CAttrEntry* entry = data->Values().GetAt(position);
    return entry ? ValueObject(link, item, entry->Name()) : Nothing();
}

} // namespace vinca
