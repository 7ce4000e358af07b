#pragma once
// The automation view of an item's named values: a collection over the
// item's value list and one object per named value. Both follow their
// control through a link that keeps it alive.
#include <memory>
#include <utility>

#include "platform/com/object.h"
#include "vinca/model/item.h"
#include "vinca/model/names.h"

namespace vinca {

class CVincaCtrl;

// What an automation object holds of its control: a counted reference, so
// that the control lives as long as any object handed out from it, also
// after its container let it go. Empty for an object made without one.
class ControlLink {
  public:
    ControlLink() = default;
    explicit ControlLink(CVincaCtrl* ctrl);
    ControlLink(const ControlLink& other) : ControlLink(other.m_ctrl) {}
    ControlLink(ControlLink&& other) noexcept : m_ctrl(std::exchange(other.m_ctrl, nullptr)) {}
    ControlLink& operator=(ControlLink other) noexcept {
        std::swap(m_ctrl, other.m_ctrl);
        return *this;
    }
    ~ControlLink();

    explicit operator bool() const { return m_ctrl != nullptr; }
    CVincaCtrl* operator*() const { return m_ctrl; }

  private:
    CVincaCtrl* m_ctrl{nullptr};
};

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
