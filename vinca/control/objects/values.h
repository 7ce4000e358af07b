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

inline constexpr plat::IID IID_IVincaValues = plat::make_guid("9D998160-B884-11CE-8D47-444553540000");
inline constexpr plat::IID IID_IVincaValue = plat::make_guid("9D998161-B884-11CE-8D47-444553540000");

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
