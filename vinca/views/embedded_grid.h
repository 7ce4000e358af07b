#pragma once
// Grid rows shown inside a tree cell: an item's own grid (its title row and
// one row per child) in place of the item's picture and text, or the row of
// a tree grid that stands below an expanded item. The view lays the rows
// out once, from the grid's visible columns, and then draws and hit-tests
// the cells it made.
#include <cstdint>
#include <memory>
#include <vector>

#include "vinca/views/grid_cell.h"

namespace vinca {

class CGridCellDefaults;
class CGridCellSources;

class CItem;
class CTreeGrid;
class IViewHost;

class CEmbeddedGridView : public CMVCellMetrics {
  public:
    CEmbeddedGridView() = default;
    CEmbeddedGridView(const CEmbeddedGridView& o);
    std::unique_ptr<CCellMetrics> Clone() const override { return std::make_unique<CEmbeddedGridView>(*this); }

    // An item grid: the title row (when the grid shows column titles) and
    // the rows of the owner's children; the row-title column when the grid
    // shows row titles. A grid without a shown data column lays out nothing.
    void LayoutItemGrid(Dc& dc, CTreeGrid& grid, IViewHost* host);
    // One data row of `item` in the tree grid: its cells beside the tree
    // column.
    void LayoutTreeGridRow(Dc& dc, CTreeGrid& grid, CItem* item, IViewHost* host);

    void Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) override;
    // The cell under the point answers, with its grid row and column.
    bool HitTest(Point p, CHitTestInfo& info) const override;

    int32_t RowCount() const { return int32_t(m_rows.size()); }
    // The rectangle of the cell at grid row `gridRow` and grid column `col`
    // in own coordinates; empty when it is not shown.
    Rect CellRect(int32_t gridRow, int32_t col) const;
    const CMVBorderCellMetrics* Cell(int32_t gridRow, int32_t col) const;

  private:
    struct Slot {
        int32_t col{-1};
        int32_t left{0};
        std::unique_ptr<CMVBorderCellMetrics> cell;
    };
    struct Row {
        int32_t gridRow{0};
        int32_t top{0};
        int32_t height{0};
        std::vector<Slot> cells;
    };
    void AddRow(Dc& dc, CTreeGrid& grid, CItem* item, int32_t gridRow, const std::vector<int32_t>& cols,
                int32_t fixedHeight, IViewHost* host, const CGridCellDefaults& defaults);
    std::unique_ptr<CMVBorderCellMetrics> MakeCell(Dc& dc, CTreeGrid& grid, const CGridCellSources& sources,
                                                   CItem* item, int32_t gridRow, int32_t col, Size size);
    void Reset();

    std::vector<Row> m_rows;
};

} // namespace vinca
