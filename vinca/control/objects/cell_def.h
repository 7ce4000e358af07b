#pragma once
// The automation view of one cell definition: every member is one named
// attribute of the definition's list. Reads take the attribute in force,
// the definition's own or the one inherited along its chain; writes make
// the list on first need.
#include <memory>
#include <vector>

#include "platform/com/object.h"
#include "vinca/control/objects/values.h"
#include "vinca/model/attr_sources.h"

namespace vinca {

inline constexpr plat::IID IID_IVincaCellDef = plat::make_guid("89AA8485-5D31-11D2-A13C-0040054699BC");

// Which definition an object shows (the number travels with the object and
// picks the inner keys for 5 and 6).
enum class CellDefKind : int32_t {
    Own = 0,      // a column's or a single grid cell's own definition
    Grid = 1,     // a grid's cell definition
    RowTitle = 2, // a grid's row-title definition
    ColTitle = 3, // a grid's column-title definition
    TreeCell = 4, // an item's tree cell ("__Tree")
    Inner = 5,    // an item's inner definition ("__InnerTree"), DefItemCellDef
    Level = 6,    // a level's definition
    ItemGridRow = 7,
    TreeGridRow = 8,
};

// Where a definition lives and what it inherits from.
class CellDefTarget {
  public:
    virtual ~CellDefTarget() = default;
    // The definition's own list; null while it does not exist and `make` is
    // false. Reads never make it.
    virtual CAttrSet* List(CVincaCtrl& ctl, bool make) = 0;
    // The sources behind the own list, nearest first (the control's defaults
    // come after them).
    virtual void Inherited(CVincaCtrl& ctl, std::vector<std::unique_ptr<CAttrSource>>& out) {}
    // Removing every attribute (a definition set to Nothing).
    virtual void Clear(CVincaCtrl& ctl);
};

class COleCellDef final : public plat::DispatchObject<COleCellDef> {
  public:
    COleCellDef(ControlLink link, CellDefKind kind, std::shared_ptr<CellDefTarget> target)
        : m_link(std::move(link)), m_kind(kind), m_target(std::move(target)) {}
    static const plat::DispatchTable<COleCellDef>& dispatch_table();

    CVincaCtrl& Control() const;
    CellDefKind Kind() const { return m_kind; }
    CellDefTarget& Target() const { return *m_target; }
    // The attribute key of a plain key for this kind.
    const CVincaName* Key(const char* plain, bool hasInner) const;
    // The value in force: own first, then inherited; false when none has it.
    bool Resolve(const CVincaName* key, plat::Variant& out) const;

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;

    ControlLink m_link;
    CellDefKind m_kind;
    std::shared_ptr<CellDefTarget> m_target;
};

// A new cell-definition object as a dispatch value.
plat::Variant CellDefObject(const ControlLink& link, CellDefKind kind, std::shared_ptr<CellDefTarget> target);

// A definition set to an object value: Nothing removes every attribute
// (inside a pair of change notices); any other value is 380.
void ClearCellDef(CVincaCtrl& ctl, const plat::VARIANT& value, const std::shared_ptr<CellDefTarget>& target);

// The definitions the control hands out.
std::shared_ptr<CellDefTarget> ItemCellTarget(Ref<CItem> item, CellDefKind kind);
std::shared_ptr<CellDefTarget> DefItemCellTarget();
std::shared_ptr<CellDefTarget> LevelCellTarget(int16_t level);

} // namespace vinca
