#pragma once
// The automation view of a grid's column definitions: the collection and
// one object per column. A column object finds its column by identity on
// every use, so it follows the column when columns move and answers 20120
// once the column is gone.
#include "platform/com/object.h"
#include "vinca/control/objects/grid.h"
#include "vinca/model/grid.h"

namespace vinca {

inline constexpr plat::IID IID_IVincaColDef = plat::make_guid("89AA8481-5D31-11D2-A13C-0040054699BC");
inline constexpr plat::IID IID_IVincaColDefs = plat::make_guid("89AA8483-5D31-11D2-A13C-0040054699BC");

class COleColDefs final : public plat::DispatchObject<COleColDefs> {
  public:
    explicit COleColDefs(plat::ComPtr<COleGrid> grid) : m_grid(std::move(grid)) {}
    static const plat::DispatchTable<COleColDefs>& dispatch_table();

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    plat::ComPtr<COleGrid> m_grid;
};

class COleColDef final : public plat::DispatchObject<COleColDef> {
  public:
    COleColDef(plat::ComPtr<COleGrid> grid, Ref<CColumnDef> column)
        : m_grid(std::move(grid)), m_column(std::move(column)) {}
    static const plat::DispatchTable<COleColDef>& dispatch_table();

    // The grid and the column's present position in it (20120 when the
    // column left the grid).
    CTreeGrid& Grid(int32_t& index) const;
    CColumnDef& Column() const { return *m_column; }
    const plat::ComPtr<COleGrid>& GridObject() const { return m_grid; }

  private:
    plat::HRESULT query_other(plat::REFIID iid, void** out) override;
    plat::ComPtr<COleGrid> m_grid;
    Ref<CColumnDef> m_column;
};

} // namespace vinca
