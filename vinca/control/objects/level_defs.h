#pragma once
// The per-level settings of the tree as automation objects: the collection
// of level definitions and one definition per level number, with the
// pictures of open, closed and leaf items of that level.
#include "platform/com/object.h"
#include "vinca/control/objects/values.h"
#include "vinca/model/picture_slots.h"

namespace vinca {

inline constexpr plat::IID IID_IVincaLevelDefs = plat::make_guid("89AA8491-5D31-11D2-A13C-0040054699BC");
inline constexpr plat::IID IID_IVincaLevelDef = plat::make_guid("89AA848F-5D31-11D2-A13C-0040054699BC");

class COleLevelDefs final : public plat::DispatchObject<COleLevelDefs> {
  public:
    explicit COleLevelDefs(ControlLink link) : m_link(std::move(link)) {}
    static const plat::DispatchTable<COleLevelDefs>& dispatch_table();

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    ControlLink m_link;
};

class COleLevelDef final : public plat::DispatchObject<COleLevelDef> {
  public:
    COleLevelDef(ControlLink link, int16_t level) : m_link(std::move(link)), m_level(level) {}
    static const plat::DispatchTable<COleLevelDef>& dispatch_table();

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    ControlLink m_link;
    int16_t m_level;
};

// The level's definition, or null when it does not exist; and made, with
// the list padded by empty entries up to it (381 outside 0..32767).
CLevelDef* FindLevel(CVincaCtrl& ctl, int32_t level);
CLevelDef* MakeLevel(CVincaCtrl& ctl, int32_t level);

} // namespace vinca
