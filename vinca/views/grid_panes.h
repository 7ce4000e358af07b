#pragma once
// A grid as the window shows it: the corner, the column titles across the
// top, the row titles down the left and the cell rows, each row a list of
// the cells of the grid's visible columns. Rows scroll by whole rows and
// columns by whole columns; the cells scroll sideways under their titles.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "vinca/model/engine.h"
#include "vinca/model/grid.h"
#include "vinca/views/grid_cell.h"
#include "vinca/views/item_cell.h"
#include "vinca/views/list_box.h"
#include "vinca/views/view_host.h"

namespace vinca {

class CGridPanes;

// The attributes a grid cell is drawn with, nearest first: the cell's own
// value and definition, its column, its row and the grid's definitions, the
// grid's own answers, the title numbering, and the control's defaults.
// `row` counts the title row as 0 and `col` the row-title column as 0.
// What every cell of a grid falls back to: the host's colours and the
// control's cell defaults. One is read per layout pass and shared by its cells.
class CGridCellDefaults : public CMapAttrChain {
  public:
    explicit CGridCellDefaults(IViewHost* host);
};

class CGridCellSources : public IAttrChain {
  public:
    // Without `defaults` the cell reads the host's defaults itself.
    CGridCellSources(CTreeGrid& grid, CItem* rowItem, int32_t row, int32_t col, IViewHost* host,
                     const CGridCellDefaults* defaults = nullptr);
    bool Lookup(std::string_view key, plat::Variant& out) const override;

  private:
    CTreeGrid& m_grid;
    const CAttrEntry* m_own{nullptr};
    std::vector<const CAttrSet*> m_sets;
    std::unique_ptr<CGridCellDefaults> m_ownDefaults;
    CMapAttrChain m_tail; // title numbering, then the defaults
};

// The sets that style a cell, nearest first (the cell's own entry aside).
void AppendGridCellSources(CTreeGrid& grid, CItem* rowItem, int32_t row, int32_t col,
                           std::vector<const CAttrSet*>& out);

// One row of a grid: the cells of the visible columns side by side. It is
// the measuring object of its row in the cell-rows list.
class CGridRowView : public CMVHorizontalListBox, public CCellMetrics {
  public:
    CGridRowView(CGridPanes& panes, CItem* item, int32_t gridRow);
    std::unique_ptr<CCellMetrics> Clone() const override { return nullptr; }
    void Layout(Dc& dc, Size size, const IAttrChain& attrs, int32_t kind) override;
    void Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) override;
    bool HitTest(Point p, CHitTestInfo& info) const override;
    Size GetSize() const override { return CCellMetrics::GetSize(); }
    CItem* Item() const { return m_item.get(); }
    int32_t GridRow() const { return m_gridRow; }
    // The cell of visible column `pos` (null when there is none).
    CMVBorderCellMetrics* CellAt(int32_t pos);

  protected:
    std::unique_ptr<CCellMetrics> MeasureItem(int32_t index, Dc& dc, Size& extent) override;
    void DrawItem(Dc& dc, int32_t index, const Rect& rect, bool selected, CCellMetrics* cell,
                  const Rect& clip) override;
    Dc& MeasureDc() override { return m_layoutDc ? *m_layoutDc : CMVListBox::MeasureDc(); }

  private:
    CGridPanes& m_panes;
    Dc* m_layoutDc{nullptr}; // the DC of the layout under way
    Ref<CItem> m_item;
    int32_t m_gridRow;
    bool m_selected{false};
    int32_t m_rowHeight{-1}; // every cell is laid out to the tallest
};

class CGridPanes : public IScrollSteps {
  public:
    static constexpr int32_t kDefaultRowTitleWidth = 25;
    static constexpr int32_t kDefaultTitleHeight = 35;
    static constexpr int32_t kMinTitleHeight = 4;

    CGridPanes(CVincaEngine& engine, IViewHost& host);
    ~CGridPanes() override;

    // Connects the panes to a grid, held counted (null disconnects); the
    // rows are counted again.
    void Connect(CTreeGrid* grid);
    CTreeGrid* Grid() const { return m_grid.get(); }
    IViewHost& Host() const { return m_host; }
    CItemCellBuilder& TreeCells() { return m_treeCells; }

    // Lays the panes out in a rectangle of the window; a rectangle without
    // width or height lays out nothing.
    void SetRect(const Rect& r);
    const Rect& GetRect() const { return m_rect; }
    const Rect& CornerRect() const { return m_corner; }
    const Rect& ColumnTitlesRect() const { return m_colTitlesRect; }
    const Rect& RowTitlesRect() const { return m_rowTitlesRect; }
    const Rect& CellsRect() const { return m_cellsRect; }
    int32_t TitleHeight() const { return m_titleHeight; }
    int32_t RowTitleWidth() const { return m_rowTitleWidth; }
    // At least 4; the grid keeps it, and the panes are laid out again.
    void SetTitleHeight(int32_t px);
    void SetRowTitleWidth(int32_t px);

    // Rows: 0-based, row i being the grid's data row i + 1.
    int32_t RowCount() const { return m_rowCount; }
    CItem* RowItem(int32_t row) const;
    // The row of an item, -1 when it is no row of the grid.
    int32_t RowOfItem(CItem* item);
    // The height an item's own setting gives its row in pixels, -1 when it
    // has none (the row is as high as its cells).
    int32_t RowHeightOf(CItem* item) const;
    // Gives a row exactly `px` pixels (at least 4); the item keeps it.
    void SetRowHeight(int32_t row, int32_t px);
    // The rows counted again (all of them measured again).
    void ResetRows();
    void RowsInserted(int32_t first, int32_t last);
    void RowsRemoved(int32_t first, int32_t last);
    // first < 1 with last -1 refreshes every row and every column.
    void RefreshRows(int32_t first, int32_t last);
    // Rows first..last of the tree changed (last -1: to the end): the tree
    // grid's rows are the tree's, an item grid's those of its owner's
    // children among them.
    void TreeRowsChanged(int32_t first, int32_t last);
    void ColumnsChanged();
    // An item grid's rows are its owner's children, which the tree's row
    // notices do not name (nor tell of at all while the owner is closed):
    // the lists follow the children from the first measured row that no
    // longer shows the child at its place. True when the count changed.
    // Costs a look at the measured rows; nothing for the tree grid.
    bool FollowOwnerRows();
    bool AllRefreshed() const { return m_allRefreshed; }

    int32_t TopRow() const;
    int32_t FirstColumn() const;
    // Scrolls to a first visible column and a top row; answers where the
    // lists came to rest.
    Point ScrollTo(int32_t column, int32_t row);
    // The same, with how far the pixels of the panes moved: `dx` the cells
    // and the column titles, `dy` the cells and the row titles (negative
    // when the contents moved left or up). None for a move as far as the
    // panes show or further: those panes are painted anew.
    struct Move {
        Point at;
        std::optional<int32_t> dx, dy;
    };
    Move ScrollWith(int32_t column, int32_t row);
    // How far the cells are scrolled sideways, in pixels.
    int32_t CrossOffset() const;
    int32_t RangeX() const;
    int32_t RangeY() const;
    int32_t LastPageTop();
    // The last row that shows whole (the top row when none does).
    int32_t BottomRow();
    // The top row that shows rows first..last, as far as they fit.
    int32_t TopForRows(int32_t first, int32_t last);

    // The row under a window point (cells or row titles), -1 off the rows.
    int32_t RowFromPoint(Point p);
    // The measuring object of a laid-out row (null when the row is not laid
    // out); it stays the same until the row is measured again.
    CGridRowView* LaidOutRow(int32_t row);
    // A row's rectangle across the row titles and the cells; empty when the
    // row is not laid out.
    Rect RowRect(int32_t row);
    // The same wherever the row lies: above the top row it starts above the
    // cells, below the page past their bottom. Empty when there is no row.
    Rect RowRectAnywhere(int32_t row);
    // The tree cell inside a row's tree column and where that column's cell
    // stands (`cellRect`, not clipped, at the row rectangle `rowRect`); null
    // when the grid has no tree column or the row is not measured.
    CVincaTreeCellMetrics* TreeCell(int32_t row, const Rect& rowRect, Rect& cellRect);
    // The visible position of the tree column ("__Tree"), -1 without one.
    int32_t TreeColumnPosition() const;
    // What lies under a window point: a cell, a title or the corner. The
    // record's row is the grid row (0 the titles) and its column the grid
    // column (0 the row titles); `row` receives the window row (-1 for the
    // title row). False off the grid.
    bool HitTest(Point p, CHitTestInfo& info, int32_t* row = nullptr);

    void Paint(Dc& dc, const Rect& clip);
    // Which rows show selected.
    std::function<bool(int32_t row)> isSelected;

    // The laid-out cell of grid row `gridRow` (0 the titles) and grid column
    // `col` (0 the row titles), at its column's width and natural height;
    // null when the grid has no such cell.
    // `adjust` changes the attributes before the layout (a tool tip's own).
    std::unique_ptr<CMVBorderCellMetrics> MakeCell(CItem* item, int32_t gridRow, int32_t col, Dc& dc,
                                                   Size size,
                                                   const CItemCellBuilder::Adjust& adjust = nullptr);
    std::unique_ptr<CMVBorderCellMetrics> CellMetrics(int32_t gridRow, int32_t col);
    // The rectangle of a shown cell in window pixels; empty when it does not
    // show.
    Rect CellRect(int32_t gridRow, int32_t col);
    // The width of a grid column.
    int32_t ColumnWidth(int32_t col) const;

    // IScrollSteps: x by columns, y by rows.
    int32_t Top(int axis) override { return List(axis).Top(axis); }
    int32_t Bottom(int axis) override { return List(axis).Bottom(axis); }
    int32_t LineUp(int axis) override { return List(axis).LineUp(axis); }
    int32_t LineDown(int axis) override { return List(axis).LineDown(axis); }
    int32_t PageUp(int axis) override { return List(axis).PageUp(axis); }
    int32_t PageDown(int axis) override { return List(axis).PageDown(axis); }
    int32_t PositionForThumb(int axis, int32_t v) override { return List(axis).PositionForThumb(axis, v); }
    int32_t PageSize(int axis) override { return List(axis).PageSize(axis); }

    class ColumnTitles;
    class RowTitles;
    class CellRows;

  private:
    CMVListBox& List(int axis);
    void Layout();
    void FollowColumns();
    int32_t CountRows() const;
    bool ItemGrid() const { return m_grid && m_grid->GetKind() != CTreeGrid::TREE_GRID; }

    // Tree rows first..last changed: the item grid's rows among them.
    void RefreshOwnerRows(int32_t first, int32_t last);

    CVincaEngine& m_engine;
    IViewHost& m_host;
    CItemCellBuilder m_treeCells;
    Ref<CTreeGrid> m_grid;
    Rect m_rect, m_corner, m_colTitlesRect, m_rowTitlesRect, m_cellsRect;
    int32_t m_titleHeight{kDefaultTitleHeight};
    int32_t m_rowTitleWidth{kDefaultRowTitleWidth};
    int32_t m_rowCount{0};
    bool m_allRefreshed{false};
    std::unique_ptr<ColumnTitles> m_titles;
    std::unique_ptr<RowTitles> m_rowTitles;
    std::unique_ptr<CellRows> m_rows;
    std::unique_ptr<CMVBorderCellMetrics> m_cornerCell;
};

} // namespace vinca
