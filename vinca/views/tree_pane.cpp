#include "vinca/views/tree_pane.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace vinca {

CTreePane::CTreePane(CVincaEngine& engine, IViewHost& host, CItemCellBuilder& cells, IPlacement& placement)
    : m_engine(engine), m_host(host), m_cells(cells), m_placement(placement) {}

void CTreePane::Sync() {
    SetClientRect(Area());
    const int32_t n = RowCount();
    if (n != Count()) SetCount(n);
    const int32_t top = m_placement.TopRow();
    if (n > 0 && top != TopIndex()) ScrollToItem(std::clamp(top, 0, n - 1));
}

std::unique_ptr<CCellMetrics> CTreePane::MeasureItem(int32_t index, Dc&, Size& extent) {
    CItem* item = m_engine.RowItem(index);
    if (!item) return nullptr;
    // Every row on a DC of its own, as wide as the rows' area.
    Dc metrics;
    const int32_t h = m_host.Settings().uniformRows ? UniformHeight() : ItemRowHeight(m_engine, item);
    std::unique_ptr<CCellMetrics> cell = m_cells.Build(item, metrics, {GetClientRect().Width(), h}, nullptr);
    extent = cell->GetSize();
    return cell;
}

CVincaTreeCellMetrics* CTreePane::MeasuredCell(int32_t row) const {
    return static_cast<CVincaTreeCellMetrics*>(CachedCell(row));
}

CVincaTreeCellMetrics* CTreePane::RowCell(int32_t row) {
    Sync();
    Recalc();
    if (row < 0 || row >= Count()) return nullptr;
    ExtentOf(row);
    return MeasuredCell(row);
}

int32_t CTreePane::RowsPerPage() {
    Sync();
    return CMVListBox::PageSize(1);
}

int32_t CTreePane::LastPageTop() {
    if (m_maxTop >= 0) return m_maxTop;
    Sync();
    m_maxTop = CMVListBox::LastPageTop();
    return m_maxTop;
}

void CTreePane::ForgetLastPage() {
    m_maxTop = -1;
    m_uniformHeight = -1;
}

int32_t CTreePane::UniformHeight() {
    if (m_uniformHeight >= 0) return m_uniformHeight;
    // The first row's natural height, measured apart from the listed rows.
    CItem* first = m_engine.RowItem(0);
    if (!first) return -1;
    Dc metrics;
    m_uniformHeight =
        m_cells.Build(first, metrics, {Area().Width(), ItemRowHeight(m_engine, first)}, nullptr)->Height();
    return m_uniformHeight;
}

int32_t CTreePane::BottomRow() {
    Sync();
    if (Count() == 0) return m_placement.TopRow();
    const int32_t top = TopIndex(), last = LastVisible();
    return GetItemVisibility(last) == 2 ? last : std::max(top, last - 1);
}

int32_t CTreePane::TopForBottom(int32_t last) {
    Sync();
    if (last < 0 || last >= Count()) return -1;
    // Measured back from the row, so a jump costs a page of rows however
    // far it goes.
    const int32_t avail = Area().Height();
    int32_t top = last, h = RowHeight(last);
    while (top > 0 && h + RowHeight(top - 1) <= avail) {
        h += RowHeight(top - 1);
        --top;
    }
    return std::max(top, m_placement.TopRow());
}

Rect CTreePane::RowRect(int32_t row) {
    // Rows above the top or past the end are known not to show without
    // laying the page out.
    if (row < m_placement.TopRow() || row >= RowCount()) return {};
    Sync();
    // The row spans the rows' area, however far it is scrolled sideways.
    const Rect r = GetItemRect(row);
    if (r.IsEmpty()) return {};
    const Rect area = Area();
    return {area.left, r.top, area.right, r.bottom};
}

int32_t CTreePane::RowFromPoint(Point p) {
    const Rect area = Area();
    if (p.x < area.left || p.x >= area.right || p.y < area.top || p.y >= area.bottom) return -1;
    Sync();
    return ItemFromPoint(p, 2);
}

Rect CTreePane::RowRectAnywhere(int32_t row) {
    Sync();
    if (row < 0 || row >= Count()) return {};
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
    int32_t y = area.top;
    for (int32_t r = top; r < row; ++r)
        y += RowHeight(r);
    for (int32_t r = row; r < top; ++r)
        y -= RowHeight(r);
    return {area.left, y, area.right, y + RowHeight(row)};
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
        if (measured ? !MeasuredCell(r) : !RowCell(r)) return std::nullopt;
        sum += RowHeight(r);
        if (sum > avail) return std::nullopt;
    }
    return sign * sum;
}

int32_t CTreePane::WidestOnPage() {
    // Rows are laid out at least as wide as the rows' area, so rows that
    // fit give no range beyond one page.
    Sync();
    return Widest();
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
    InvalidateItems(0, -1);
}

void CTreePane::InvalidateFrom(int32_t first) {
    ForgetLastPage();
    InvalidateItems(std::max(first, 0), -1);
}

void CTreePane::RowsInserted(int32_t first, int32_t last) {
    ForgetLastPage();
    InsertItems(first, last);
    // Lines of the rows just above may change (a last child gets a sibling).
    InvalidateItems(std::max(first - 1, 0), -1);
}

void CTreePane::RowsRemoved(int32_t first, int32_t last) {
    ForgetLastPage();
    RemoveItems(first, last);
    InvalidateItems(std::max(first - 1, 0), -1);
}

void CTreePane::Reset() {
    ForgetLastPage();
    Clear();
    if (const int32_t n = RowCount(); n > 0) InsertItems(0, n - 1);
}

} // namespace vinca
