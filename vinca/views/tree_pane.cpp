#include "vinca/views/tree_pane.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace vinca {

CTreePane::CTreePane(CVincaEngine& engine, IViewHost& host, CItemCellBuilder& cells, IPlacement& placement)
    : m_engine(engine), m_host(host), m_cells(cells), m_placement(placement) {
    m_extents.SetItemCount(RowCount());
}

CVincaTreeCellMetrics* CTreePane::RowCell(int32_t row) {
    const int32_t width = Area().Width();
    if (width != m_cellWidth) {
        m_extents.RemoveOutside(0, -1);
        m_cellWidth = width;
    }
    if (const auto* e = m_extents.Lookup(row)) return static_cast<CVincaTreeCellMetrics*>(e->cell.get());
    CItem* item = m_engine.RowItem(row);
    if (!item) return nullptr;
    Dc metrics;
    const int32_t h = m_host.Settings().uniformRows ? UniformHeight() : ItemRowHeight(m_engine, item);
    auto cell = m_cells.Build(item, metrics, {width, h}, nullptr);
    CVincaTreeCellMetrics* raw = cell.get();
    Size extent = cell->GetSize();
    m_extents.SetExtent(row, extent, std::move(cell));
    return raw;
}

int32_t CTreePane::RowsPerPage() {
    int32_t h = 0, n = 0, count = RowCount(), avail = Area().Height();
    for (int32_t row = m_placement.TopRow(); row < count && h < avail; ++row, ++n) {
        CVincaTreeCellMetrics* c = RowCell(row);
        h += c ? c->Height() : 0;
        if (h > avail) break;
    }
    return std::max(1, n);
}

int32_t CTreePane::LastPageTop() {
    if (m_maxTop >= 0) return m_maxTop;
    // The last page starts where the rows from the end fill the window.
    int32_t count = RowCount(), h = 0, row = count;
    const int32_t avail = Area().Height();
    while (row > 0) {
        CVincaTreeCellMetrics* c = RowCell(row - 1);
        int32_t rh = c ? c->Height() : 0;
        if (h + rh > avail) break;
        h += rh;
        --row;
    }
    m_maxTop = std::max(0, std::min(row, count - 1));
    return m_maxTop;
}

void CTreePane::ForgetLastPage() {
    m_maxTop = -1;
    m_uniformHeight = -1;
}

int32_t CTreePane::UniformHeight() {
    if (m_uniformHeight >= 0) return m_uniformHeight;
    // The first row's natural height, measured apart from the cached rows.
    CItem* first = m_engine.RowItem(0);
    if (!first) return -1;
    Dc metrics;
    m_uniformHeight =
        m_cells.Build(first, metrics, {Area().Width(), ItemRowHeight(m_engine, first)}, nullptr)->Height();
    return m_uniformHeight;
}

void CTreePane::TrimExtents() {
    // Rows far from the page are measured again when they come back, so a
    // walk through a long list keeps only a few pages of cells.
    int32_t keep = KeptRows();
    int32_t top = m_placement.TopRow();
    if (m_extents.EntryCount() > size_t(4 * keep))
        m_extents.RemoveOutside(std::max(0, top - keep), top + keep);
}

int32_t CTreePane::BottomRow() {
    const Rect area = Area();
    int32_t y = area.top, count = RowCount(), last = m_placement.TopRow();
    for (int32_t r = m_placement.TopRow(); r < count; ++r) {
        CVincaTreeCellMetrics* cell = RowCell(r);
        if (!cell || y + cell->Height() > area.bottom) break;
        y += cell->Height();
        last = r;
    }
    return last;
}

int32_t CTreePane::TopForBottom(int32_t last) {
    // Measured back from the row, so a jump costs a page of rows however
    // far it goes.
    CVincaTreeCellMetrics* cell = RowCell(last);
    if (!cell) return -1;
    const int32_t avail = Area().Height();
    int32_t top = last, h = cell->Height();
    while (top > 0) {
        CVincaTreeCellMetrics* above = RowCell(top - 1);
        if (!above || h + above->Height() > avail) break;
        h += above->Height();
        --top;
    }
    return std::max(top, m_placement.TopRow());
}

Rect CTreePane::RowRect(int32_t row) {
    const int32_t top = m_placement.TopRow();
    if (row < top || row >= RowCount()) return {};
    const Rect area = Area();
    int32_t y = area.top;
    for (int32_t r = top; r < row; ++r) {
        y += RowCell(r)->Height();
        if (y >= area.bottom) return {};
    }
    return {area.left, y, area.right, y + RowCell(row)->Height()};
}

int32_t CTreePane::RowFromPoint(Point p) {
    const Rect area = Area();
    if (p.x < area.left || p.x >= area.right || p.y < area.top) return -1;
    int32_t y = area.top, count = RowCount();
    for (int32_t r = m_placement.TopRow(); r < count && y < area.bottom; ++r) {
        int32_t h = RowCell(r)->Height();
        if (p.y < y + h) return r;
        y += h;
    }
    return -1;
}

Rect CTreePane::RowRectAnywhere(int32_t row) {
    if (row < 0 || row >= RowCount()) return {};
    const Rect area = Area();
    const int32_t top = m_placement.TopRow();
    if (std::abs(int64_t(row) - top) > KeptRows()) {
        // Placing a far row would measure every row between: only rows that
        // all have one height are placed from their number.
        const int32_t h = m_host.Settings().uniformRows ? UniformHeight() : -1;
        const int64_t y = area.top + int64_t(row - top) * std::max(h, 0);
        if (h <= 0 || y < INT32_MIN / 2 || y > INT32_MAX / 2) return {};
        return {area.left, int32_t(y), area.right, int32_t(y) + h};
    }
    auto height = [&](int32_t r) {
        CVincaTreeCellMetrics* c = RowCell(r);
        return c ? c->Height() : 0;
    };
    int32_t y = area.top;
    for (int32_t r = top; r < row; ++r)
        y += height(r);
    for (int32_t r = row; r < top; ++r)
        y -= height(r);
    return {area.left, y, area.right, y + height(row)};
}

std::optional<int32_t> CTreePane::Distance(int32_t from, int32_t to) {
    // The rows between the two tops, in pixels (negative upwards); none
    // when they fill more than the window, which then paints anew.
    const int32_t sign = to >= from ? 1 : -1, avail = Area().Height();
    int32_t sum = 0;
    // While the thumb is held the rows between are not measured for it: a
    // row not measured yet lay on neither page, so the move is that far.
    const bool measured = m_placement.ThumbTracking();
    for (int32_t r = std::min(from, to); r < std::max(from, to); ++r) {
        const auto* known = measured ? m_extents.Lookup(r) : nullptr;
        if (measured && !known) return std::nullopt;
        CVincaTreeCellMetrics* cell =
            known ? static_cast<CVincaTreeCellMetrics*>(known->cell.get()) : RowCell(r);
        if (!cell) return std::nullopt;
        sum += cell->Height();
        if (sum > avail) return std::nullopt;
    }
    return sign * sum;
}

int32_t CTreePane::WidestOnPage() {
    // Rows are laid out at least as wide as the rows' area, so rows that
    // fit give no range beyond one page.
    int32_t widest = 0, y = 0, avail = Area().Height(), count = RowCount();
    for (int32_t row = m_placement.TopRow(); row < count && y < avail; ++row) {
        CVincaTreeCellMetrics* c = RowCell(row);
        if (!c) break;
        widest = std::max(widest, c->GetSize().cx);
        y += c->Height();
    }
    return widest;
}

int32_t CTreePane::LineUp(int axis) {
    return axis ? m_placement.TopRow() - 1 : m_placement.HorzScrollPosition() - kHorzLine;
}

int32_t CTreePane::LineDown(int axis) {
    return axis ? std::min(m_placement.TopRow() + 1, LastPageTop())
                : m_placement.HorzScrollPosition() + kHorzLine;
}

int32_t CTreePane::PageUp(int axis) {
    return axis ? m_placement.TopRow() - RowsPerPage() : m_placement.HorzScrollPosition() - Area().Width();
}

int32_t CTreePane::PageDown(int axis) {
    return axis ? std::min(m_placement.TopRow() + RowsPerPage(), LastPageTop())
                : m_placement.HorzScrollPosition() + Area().Width();
}

int32_t CTreePane::BarPage() {
    if (m_barPage > 0 && m_placement.ThumbTracking()) return m_barPage;
    return m_barPage = RowsPerPage();
}

void CTreePane::Invalidate() {
    ForgetLastPage();
    m_extents.RemoveOutside(0, -1);
}

void CTreePane::InvalidateFrom(int32_t first) {
    ForgetLastPage();
    m_extents.RemoveOutside(0, first - 1);
}

void CTreePane::RowsInserted(int32_t first, int32_t last) {
    ForgetLastPage();
    m_extents.OnItemsInserted(first, last);
    // Lines of the rows just above may change (a last child gets a sibling).
    m_extents.RemoveOutside(0, first - 2);
}

void CTreePane::RowsRemoved(int32_t first, int32_t last) {
    ForgetLastPage();
    m_extents.OnItemsRemoved(first, last);
    m_extents.RemoveOutside(0, first - 2);
}

void CTreePane::Reset() {
    Invalidate();
    m_extents.SetItemCount(RowCount());
}

} // namespace vinca
