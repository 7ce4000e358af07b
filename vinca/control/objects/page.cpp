#include "vinca/control/objects/page.h"

#include "platform/com/enum_variant.h"
#include "platform/com/errors.h"

namespace vinca {

plat::ComPtr<plat::IDispatch> NewPageObject(const PageRef& page, bool writable) {
    auto obj = plat::make_object<COlePage>(page, writable);
    return plat::ComPtr<plat::IDispatch>(static_cast<plat::IDispatch*>(obj.get()));
}

plat::HRESULT COlePages::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaPages) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

plat::HRESULT COlePage::query_other(plat::REFIID iid, void** out) {
    if (iid != IID_IVincaPage) return plat::E_NOINTERFACE;
    *out = static_cast<plat::IDispatch*>(this);
    AddRef();
    return plat::S_OK;
}

// The page at a 0-based index; Nothing outside the list.
plat::Variant COlePages::Item(const plat::VARIANT& index) const {
    plat::HRESULT hr = plat::S_OK;
    const int32_t i = plat::Variant(plat::deref(index)).to_i4(&hr);
    if (plat::FAILED(hr) || !m_pages || i < 0 || static_cast<size_t>(i) >= m_pages->size())
        return plat::Variant(static_cast<plat::IDispatch*>(nullptr));
    return plat::Variant(NewPageObject((*m_pages)[size_t(i)], false).get());
}

const plat::DispatchTable<COlePages>& COlePages::dispatch_table() {
    auto item = [](COlePages& self, plat::DispCall& c) { c.result() = self.Item(c.arg(0)); };
    static const plat::DispatchTable<COlePages> table{
        {.id = 0,
         .name = "_Item",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .params = {{"Index", plat::VT_VARIANT, 0}},
         .get = item,
         .access = plat::kNoPut},
        {.id = 1,
         .name = "Count",
         .kind = plat::DispKind::Property,
         .type = plat::VT_I4,
         .get =
             [](COlePages& self, plat::DispCall& c) {
                 c.result() = plat::Variant(static_cast<int32_t>(self.m_pages ? self.m_pages->size() : 0));
             },
         .access = plat::kNoPut},
        {.id = 2,
         .name = "Item",
         .kind = plat::DispKind::Property,
         .type = plat::VT_DISPATCH,
         .params = {{"Index", plat::VT_VARIANT, 0}},
         .get = item,
         .access = plat::kNoPut},
        {.id = plat::DISPID_NEWENUM,
         .name = "_NewEnum",
         .kind = plat::DispKind::Method,
         .type = plat::VT_UNKNOWN,
         .get =
             [](COlePages& self, plat::DispCall& c) {
                 std::vector<plat::Variant> pages;
                 if (self.m_pages)
                     for (const PageRef& p : *self.m_pages)
                         pages.emplace_back(NewPageObject(p, false).get());
                 auto e = plat::create_variant_enum(std::move(pages));
                 c.result() = plat::Variant(static_cast<plat::IUnknown*>(e.get()));
             }},
    };
    return table;
}

using Field = int32_t PageRecord::*;

const plat::DispatchTable<COlePage>& COlePage::dispatch_table() {
    // Reads answer -1 without a page record; only the page being prepared
    // takes Left, Top and Width.
    auto row = [](plat::DISPID id, std::string_view name, Field field, bool canWrite) {
        plat::DispMember<COlePage> m{
            .id = id, .name = name, .kind = plat::DispKind::Property, .type = plat::VT_I4};
        m.get = [field](COlePage& self, plat::DispCall& c) {
            c.result() = plat::Variant(self.m_page ? (*self.m_page).*field : int32_t(-1));
        };
        if (canWrite)
            m.put = [field](COlePage& self, plat::DispCall& c) {
                if (!self.m_writable || !self.m_page) plat::raise_hresult(plat::CTL_E_SETNOTSUPPORTED);
                (*self.m_page).*field = c.value().lVal;
            };
        else
            m.access = plat::kNoPut;
        return m;
    };
    static const plat::DispatchTable<COlePage> table{
        row(0, "_PageNumber", &PageRecord::index, false), row(1, "PageNumber", &PageRecord::index, false),
        row(2, "FirstItem", &PageRecord::first, false),   row(3, "LastItem", &PageRecord::last, false),
        row(4, "Left", &PageRecord::left, true),          row(5, "Top", &PageRecord::top, true),
        row(6, "Width", &PageRecord::width, true),        row(7, "Height", &PageRecord::height, false),
    };
    return table;
}

} // namespace vinca
