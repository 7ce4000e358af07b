#pragma once
// The automation view of a grid (the control's tree grid or an item's
// grid) and of one of its cells. Reads never make the grid; writes do.
#include "platform/com/object.h"
#include "vinca/control/objects/values.h"

namespace vinca {

class CTreeGrid;

inline constexpr plat::IID IID_IVincaGrid = plat::make_guid("89AA848D-5D31-11D2-A13C-0040054699BC");
inline constexpr plat::IID IID_IVincaGridCell = plat::make_guid("89AA848B-5D31-11D2-A13C-0040054699BC");

class COleGrid final : public plat::DispatchObject<COleGrid> {
  public:
    // `item` null: the control's tree grid.
    COleGrid(ControlLink link, Ref<CItem> item) : m_link(std::move(link)), m_item(std::move(item)) {}
    // The active grid: without a window no grid is active, so it answers
    // the values of no grid and refuses writes with 20122.
    static plat::ComPtr<COleGrid> Active(ControlLink link) {
        auto g = plat::make_object<COleGrid>(std::move(link), Ref<CItem>());
        g->m_active = true;
        return g;
    }
    static const plat::DispatchTable<COleGrid>& dispatch_table();

    CVincaCtrl& Control() const;
    const ControlLink& Link() const { return m_link; }
    // The grid, or null while it does not exist; and made on demand.
    CTreeGrid* Find() const;
    CTreeGrid* Make();
    // The grid, or 20122 when there is none.
    CTreeGrid& Need() const;
    CItem* Item() const { return m_item.get(); }

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;

    ControlLink m_link;
    Ref<CItem> m_item;
    bool m_active{false};
};

class COleGridCell final : public plat::DispatchObject<COleGridCell> {
  public:
    COleGridCell(plat::ComPtr<COleGrid> grid, int32_t row, int32_t col)
        : m_grid(std::move(grid)), m_row(row), m_col(col) {}
    static const plat::DispatchTable<COleGridCell>& dispatch_table();

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;

    plat::ComPtr<COleGrid> m_grid;
    int32_t m_row;
    int32_t m_col;
};

// A new grid object as a dispatch value.
plat::Variant GridObject(const ControlLink& link, CItem* item);

} // namespace vinca
