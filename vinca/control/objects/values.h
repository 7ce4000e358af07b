#pragma once
// The automation view of an item's named values: a collection over the
// item's value list and one object per named value. Both follow their
// control through a link; once the control is gone every member raises
// 20126.
#include <memory>

#include "platform/com/object.h"
#include "vinca/model/item.h"
#include "vinca/model/names.h"

namespace vinca {

class CVincaCtrl;

// What an automation object holds of its control: the control while it
// lives, null after.
using ControlLink = std::shared_ptr<CVincaCtrl*>;

inline constexpr plat::IID IID_IVincaValues = plat::make_guid("89AA8495-5D31-11D2-A13C-0040054699BC");
inline constexpr plat::IID IID_IVincaValue = plat::make_guid("89AA8493-5D31-11D2-A13C-0040054699BC");

class COleValue final : public plat::DispatchObject<COleValue> {
  public:
    COleValue(ControlLink link, Ref<CItem> item, const CVincaName* name)
        : m_link(std::move(link)), m_item(std::move(item)), m_name(name) {}
    static const plat::DispatchTable<COleValue>& dispatch_table();

  private:
    CVincaCtrl& Control() const;
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;

    ControlLink m_link;
    Ref<CItem> m_item;
    const CVincaName* m_name;
};

class COleValues final : public plat::DispatchObject<COleValues> {
  public:
    COleValues(ControlLink link, Ref<CItem> item) : m_link(std::move(link)), m_item(std::move(item)) {}
    static const plat::DispatchTable<COleValues>& dispatch_table();

    // A value object for a key: a non-empty text names it; anything else is
    // Nothing (a null dispatch).
    plat::Variant Item(const plat::VARIANT& key);

  private:
    CVincaCtrl& Control() const;
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;

    ControlLink m_link;
    Ref<CItem> m_item;
};

// The value of an entry at a 0-based position of the item's values, as a
// value object; Nothing past the end.
plat::Variant ValueObjectAt(const ControlLink& link, CItem* item, int32_t position);

} // namespace vinca
