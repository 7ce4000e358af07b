#pragma once
// The plain tree's rows as the window shows them: a vertical list of one
// tree cell per row, measured lazily at the rows' width and laid out down
// from the top row (the scroller's). The pane answers the window's row
// questions (rectangles, the row under a point, the page, the last page's
// top, how far a scroll moves the rows) the way the grid panes answer them
// for a grid.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "vinca/model/engine.h"
#include "vinca/views/item_cell.h"
#include "vinca/views/list_box.h"
#include "vinca/views/tree_cell.h"
#include "vinca/views/view_host.h"

namespace vinca {

class CTreePane : public CMVVerticalListBox {
  public:
    // Where the rows stand and which row is at the top: the window's.
    class IPlacement {
      public:
        virtual ~IPlacement() = default;
        // The rows' area in client pixels.
        virtual Rect RowsArea() const = 0;
        virtual int32_t TopRow() const = 0;
        // Whether the scroll thumb is held.
        virtual bool ThumbTracking() const = 0;
        // How far the rows are scrolled to the left, and how far they can go.
        virtual int32_t HorzScrollPosition() const = 0;
        virtual int32_t HorzScrollMax() = 0;
    };

    CTreePane(CVincaEngine& engine, IViewHost& host, CItemCellBuilder& cells, IPlacement& placement);

    int32_t RowCount() const { return m_engine.VisibleCount(); }
    // The cell of a row as measured now, without measuring; null when the
    // row has none.
    CVincaTreeCellMetrics* MeasuredCell(int32_t row) const;
    // How many rows hold a measured cell.
    size_t MeasuredRows() const { return CachedCount(); }

    // The laid-out cell of a row (measured once, then cached); null when
    // there is no such row.
    CVincaTreeCellMetrics* RowCell(int32_t row);
    // The rows that show whole from the top row (at least 1).
    int32_t RowsPerPage();
    // The top row of the last page: the rows from it to the end fit.
    int32_t LastPageTop();
    // The last row that shows whole (the top row when none does).
    int32_t BottomRow();
    // The top row that puts `last` at the bottom of the page, not above
    // the present top; -1 when `last` is no row.
    int32_t TopForBottom(int32_t last);
    // The row under a client point, -1 off the rows.
    int32_t RowFromPoint(Point p);
    // A row's rectangle in client pixels; empty when it does not show.
    Rect RowRect(int32_t row);
    // The same wherever the row lies: above the top row it starts above the
    // rows, below the page past their bottom. Empty when there is no row.
    Rect RowRectAnywhere(int32_t row);
    // How far the rows move, in pixels, when `from` gives the top to `to`;
    // none when that is more than the window shows. While the thumb is held
    // rows not measured yet are not measured for it.
    std::optional<int32_t> Distance(int32_t from, int32_t to);
    // The widest row on the page.
    int32_t WidestOnPage();
    // Whether the measured rows were laid out at the present width.
    bool LaidOutAtWidth() const { return Area().Width() == GetClientRect().Width(); }

    // How far from the top row cells stay measured (and rows are placed by
    // measuring the rows between).
    int32_t KeptRows() { return 4 * RowsPerPage() + kKeptRows; }
    static constexpr int32_t kKeptRows = 64;

    // Row heights may have changed: every row is measured again.
    void Invalidate();
    // Rows from `first` on are measured again.
    void InvalidateFrom(int32_t first);
    // Rows came or went; the rows' number is the engine's already (a move
    // is told as a removal, then an insertion), and any difference left is
    // made up at the next question.
    void RowsInserted(int32_t first, int32_t last);
    void RowsRemoved(int32_t first, int32_t last);
    // The rows are another list now.
    void Reset();

    // Row heights or the page changed: the top of the last page is found
    // again.
    void ForgetLastPage();

    // IScrollSteps: rows down the window, pixels across it (the window
    // keeps the sideways position). A page up goes back by the rows the
    // present page holds, not by the rows above that fill one.
    static constexpr int32_t kHorzLine = 30;
    int32_t Top(int) override { return 0; }
    int32_t Bottom(int axis) override { return axis ? LastPageTop() : m_placement.HorzScrollMax(); }
    int32_t LineUp(int axis) override;
    int32_t LineDown(int axis) override;
    int32_t PageUp(int axis) override;
    int32_t PageDown(int axis) override;
    int32_t PositionForThumb(int axis, int32_t v) override { return axis ? std::min(v, LastPageTop()) : v; }
    int32_t PageSize(int axis) override { return axis ? BarPage() : Area().Width(); }

  protected:
    std::unique_ptr<CCellMetrics> MeasureItem(int32_t index, Dc& dc, Size& extent) override;

  private:
    // Brings the list to the window's rows: their area, their number and
    // the top row.
    void Sync();
    // A row's height, measured when it is not.
    int32_t RowHeight(int32_t row) { return row >= 0 && row < Count() ? ExtentOf(row).cy : 0; }
    // The rows a page holds as the bar shows it: kept while the thumb is
    // held, so a drag through a long list measures only the pages it shows.
    int32_t BarPage();
    // With uniform rows, the height every row takes: the first row's own,
    // whichever row is measured first (and every cell is laid out to it).
    int32_t UniformHeight();
    Rect Area() const { return m_placement.RowsArea(); }

    CVincaEngine& m_engine;
    IViewHost& m_host;
    CItemCellBuilder& m_cells;
    IPlacement& m_placement;
    int32_t m_uniformHeight{-1}; // -1: not measured
    int32_t m_maxTop{-1};        // -1: not known
    int32_t m_barPage{0};
};

} // namespace vinca
