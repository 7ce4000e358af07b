#pragma once
// The prepared pages as automation objects: the list of a report and one
// object per page. Both hold what they describe by counted reference, so
// they keep their values after the report prepared new pages.
#include "platform/com/object.h"
#include "vinca/control/objects/values.h"
#include "vinca/control/printing.h"

namespace vinca {

inline constexpr plat::IID IID_IVincaPages = plat::make_guid("9D998166-B884-11CE-8D47-444553540000");
inline constexpr plat::IID IID_IVincaPage = plat::make_guid("9D998167-B884-11CE-8D47-444553540000");

class COlePages final : public plat::DispatchObject<COlePages> {
  public:
    COlePages(ControlLink link, PageList pages) : m_link(std::move(link)), m_pages(std::move(pages)) {}
    static const plat::DispatchTable<COlePages>& dispatch_table();

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    plat::Variant Item(const plat::VARIANT& index) const;
    ControlLink m_link;
    PageList m_pages;
};

class COlePage final : public plat::DispatchObject<COlePage> {
  public:
    // `writable`: Left, Top and Width may be written (the page handed to
    // the event that prepares it).
    COlePage(PageRef page, bool writable) : m_page(std::move(page)), m_writable(writable) {}
    static const plat::DispatchTable<COlePage>& dispatch_table();

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    PageRef m_page;
    bool m_writable;
};

plat::ComPtr<plat::IDispatch> NewPageObject(const PageRef& page, bool writable);

} // namespace vinca
