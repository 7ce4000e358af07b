#include "vinca/views/list_box.h"

#include <algorithm>

namespace vinca {

void CMVListBox::SetClientRect(const Rect& r) {
    if (r == m_client) return;
    const bool resized = r.Width() != m_client.Width() || r.Height() != m_client.Height();
    m_client = r;
    // Items may be laid out to the client's width: a new size measures them
    // again; a move only shifts them.
    if (resized && !m_measureAll) InvalidateItems(0, -1);
}

void CMVListBox::DrawItem(Dc& dc, int32_t, const Rect& rect, bool selected, CCellMetrics* cell,
                          const Rect& clip) {
    if (cell) cell->Draw(dc, rect.left, rect.top, clip, selected ? kCellSelected : 0);
}

Dc& CMVListBox::MeasureDc() {
    if (!m_metricsDc) m_metricsDc = std::make_unique<Dc>();
    return *m_metricsDc;
}

const CMVListBox::Entry* CMVListBox::Measure(int32_t index) {
    Size extent{0, 0};
    std::unique_ptr<CCellMetrics> cell = MeasureItem(index, MeasureDc(), extent);
    Size along = m_axis.ToList(extent);
    along.cx = std::max(0, along.cx);
    along.cy = std::max(0, along.cy);
    if (m_uniform) {
        // The first item measured sets the extent of every item.
        if (m_uniformExtent <= 0)
            m_uniformExtent = along.cy;
        else
            along.cy = m_uniformExtent;
    }
    Entry& e = m_cache[index];
    e.extent = along;
    e.cell = std::move(cell);
    return &e;
}

Size CMVListBox::ExtentOf(int32_t index) {
    auto it = m_cache.find(index);
    if (it != m_cache.end()) return it->second.extent;
    return Measure(index)->extent;
}

CCellMetrics* CMVListBox::ItemCell(int32_t index) {
    Recalc();
    auto it = m_cache.find(index);
    return it != m_cache.end() ? it->second.cell.get() : nullptr;
}

int32_t CMVListBox::FirstCachedMismatch(const std::function<bool(int32_t, CCellMetrics*)>& same) const {
    for (const auto& [index, entry] : m_cache)
        if (entry.cell && !same(index, entry.cell.get())) return index;
    return -1;
}

int32_t CMVListBox::OffsetOf(int32_t index) {
    int32_t offset = 0;
    for (int32_t i = 0; i < std::min(index, m_count); ++i)
        offset += ExtentOf(i).cy + m_spacing;
    return offset;
}

void CMVListBox::InvalidateItems(int32_t first, int32_t last) {
    if (m_count == 0) return;
    if (last == -1 || last >= m_count) {
        if (last == -1) m_allDirty = true;
        last = m_count - 1;
    }
    first = std::clamp(first, 0, m_count - 1);
    if (last < first) return;
    m_dirtyFirst = std::min(m_dirtyFirst, first);
    m_dirtyLast = std::max(m_dirtyLast, last);
    // Cells of dirty items are made again when they are next laid out, so
    // none that is out of sight stays stale.
    m_cache.erase(m_cache.lower_bound(first), m_cache.upper_bound(last));
    if (m_uniform && first <= std::max(m_top, 0)) m_uniformExtent = 0;
    m_layoutValid = false;
}

void CMVListBox::SetUniformExtent(bool on) {
    if (on == m_uniform) return;
    m_uniform = on;
    m_uniformExtent = 0;
    InvalidateItems(std::max(m_top, 0), -1);
}

void CMVListBox::SetCount(int32_t n) {
    n = std::max(0, n);
    if (n == 0)
        Clear();
    else if (n == m_count)
        InvalidateItems(0, -1);
    else if (n > m_count)
        InsertItems(m_count, n - 1);
    else
        RemoveItems(n, m_count - 1);
}

void CMVListBox::Clear() {
    m_cache.clear();
    m_count = 0;
    m_top = m_last = -1;
    m_pos.clear();
    m_widest = 0;
    m_uniformExtent = 0;
    ResetDirty();
    m_layoutValid = false;
}

void CMVListBox::InsertItems(int32_t first, int32_t last) {
    first = std::clamp(first, 0, m_count);
    if (last < first) return;
    const int32_t n = last - first + 1;
    // Entries at and after the insertion move down by n.
    std::map<int32_t, Entry> moved;
    for (auto it = m_cache.lower_bound(first); it != m_cache.end();)
        moved.emplace(it->first + n, std::move(it->second)), it = m_cache.erase(it);
    m_cache.merge(moved);
    m_count += n;
    if (m_top < 0)
        m_top = 0;
    else if (first < m_top)
        m_top += n;
    InvalidateItems(first, last);
}

void CMVListBox::RemoveItems(int32_t first, int32_t last) {
    first = std::max(first, 0);
    last = std::min(last, m_count - 1);
    if (last < first) return;
    const int32_t n = last - first + 1;
    m_cache.erase(m_cache.lower_bound(first), m_cache.upper_bound(last));
    std::map<int32_t, Entry> moved;
    for (auto it = m_cache.upper_bound(last); it != m_cache.end();)
        moved.emplace(it->first - n, std::move(it->second)), it = m_cache.erase(it);
    m_cache.merge(moved);
    m_count -= n;
    if (m_count == 0) {
        Clear();
        return;
    }
    if (m_top > last)
        m_top -= n;
    else if (m_top >= first)
        m_top = std::min(first, m_count - 1);
    // Items after the removed ones move up: their places are laid out again.
    InvalidateItems(std::min(first, m_count - 1), std::min(first, m_count - 1));
}

void CMVListBox::Recalc() {
    if (m_count == 0) {
        m_top = m_last = -1;
        m_pos.clear();
        m_widest = 0;
        ResetDirty();
        m_layoutValid = true;
        return;
    }
    if (m_layoutValid && m_dirtyLast < m_dirtyFirst) return;
    m_top = std::clamp(m_top, 0, m_count - 1);
    const Size client = ListClient();
    if (client.cy <= 0 && !m_measureAll) {
        // Nothing shows: the dirty range waits for a size.
        m_last = m_top;
        m_pos.assign(1, 0);
        m_widest = 0;
        return;
    }
    if (m_measureAll) m_top = 0;
    m_pos.clear();
    m_widest = 0;
    m_last = m_count - 1;
    int32_t run = 0;
    for (int32_t i = m_top; i < m_count; ++i) {
        Size e = ExtentOf(i);
        m_pos.push_back(run);
        m_widest = std::max(m_widest, e.cx);
        run += e.cy;
        if (!m_measureAll && run >= client.cy) {
            m_last = i;
            break;
        }
        run += m_spacing;
    }
    ResetDirty();
    m_layoutValid = true;
    // Items far from the page are measured again when they come back, so a
    // walk through a long list keeps only a few pages of cells.
    const int32_t keep = KeptItems();
    if (!m_measureAll && m_cache.size() > size_t(4 * keep)) {
        m_cache.erase(m_cache.begin(), m_cache.lower_bound(m_top - keep));
        m_cache.erase(m_cache.upper_bound(m_last + keep), m_cache.end());
    }
    ItemsMeasured();
}

Rect CMVListBox::GetItemRect(int32_t index) {
    Recalc();
    if (index < m_top || index > m_last || m_pos.empty()) return {};
    const Size e = ExtentOf(index);
    const int32_t pos = PosOf(index);
    Rect list{-m_cross, pos, -m_cross + e.cx, pos + e.cy};
    return m_axis.ToWindow(list).Offset(m_client.left, m_client.top);
}

int32_t CMVListBox::GetItemVisibility(int32_t index) {
    if (m_count == 0) return 2;
    Recalc();
    if (index < m_top || index > m_last || m_pos.empty()) return 0;
    // Judged along the items: a row wider than the window still shows whole
    // when its whole height does, or the last page could never be reached.
    const int32_t start = PosOf(index), end = start + ExtentOf(index).cy, client = ListClient().cy;
    if (end <= start) return start < client ? 2 : 0;
    if (start >= 0 && end <= client) return 2;
    return start < client && end > 0 ? 1 : 0;
}

int32_t CMVListBox::ItemFromPoint(Point p, int32_t mode) {
    Recalc();
    if (m_count == 0) return -1;
    const bool exact = mode == 2;
    if (exact && !m_client.Contains(p)) return -1;
    const Point q = m_axis.ToList(Point{p.x - m_client.left, p.y - m_client.top});
    if (q.y < 0) return exact ? -1 : std::max(0, m_top - 1);
    if (!m_pos.empty()) {
        for (int32_t i = m_top; i <= m_last; ++i) {
            const int32_t start = PosOf(i), end = start + ExtentOf(i).cy;
            if (q.y < start) return exact ? -1 : i; // in the spacing before it
            if (q.y < end) return i;
        }
    }
    return exact ? -1 : std::min(m_count - 1, m_last + 1);
}

bool CMVListBox::HitTest(Point p, CHitTestInfo& info, int32_t* index) {
    const int32_t i = ItemFromPoint(p, 2);
    if (i < 0) return false;
    if (index) *index = i;
    const Rect r = GetItemRect(i);
    CCellMetrics* cell = ItemCell(i);
    if (cell && cell->HitTest({p.x - r.left, p.y - r.top}, info)) {
        const Rect hit = info.rect.Offset(r.left, r.top);
        const Rect shown = hit.Intersect(r).Intersect(m_client);
        if (!(shown == hit)) info.allVisible = false;
        info.rect = shown;
    } else {
        info.rect = r.Intersect(m_client);
        info.allVisible = info.rect == r;
    }
    return true;
}

int32_t CMVListBox::ScrollToItem(int32_t index) {
    Recalc();
    if (m_count == 0 || index == m_top || index < 0 || index >= m_count) return m_top;
    if (m_mode != MODE_ITEM_STEP) {
        // Nothing new would show.
        if (index == 0 && GetItemVisibility(0) == 2) return m_top;
        if (index + 1 == m_count - 1 && GetItemVisibility(m_count - 1) == 2) return m_top;
        if (m_top == index + 1 && GetItemVisibility(0) == 2) return m_top;
        // Down while the last item already shows: one item at a time.
        if (index > m_top && GetItemVisibility(m_count - 1) != 0) index = m_top + 1;
    }
    m_top = index;
    m_layoutValid = false;
    Recalc();
    return m_top;
}

int32_t CMVListBox::LastPageTop() {
    if (m_count == 0) return 0;
    const int32_t avail = ListClient().cy;
    int32_t top = m_count - 1, h = ExtentOf(top).cy;
    while (top > 0) {
        const int32_t more = ExtentOf(top - 1).cy + m_spacing;
        if (h + more > avail) break;
        h += more;
        --top;
    }
    return top;
}

std::optional<int32_t> CMVListBox::Distance(int32_t from, int32_t to) const {
    const int32_t client = ListClient().cy;
    int32_t sum = 0;
    for (int32_t i = std::min(from, to); i < std::max(from, to); ++i) {
        const auto it = m_cache.find(i);
        if (it == m_cache.end()) return std::nullopt;
        sum += it->second.extent.cy + m_spacing;
        if (sum >= client) return std::nullopt;
    }
    return to >= from ? sum : -sum;
}

void CMVListBox::Paint(Dc& dc, const Rect& clip) {
    if (m_client.IsEmpty()) return;
    Recalc();
    const Rect area = clip.Intersect(m_client);
    if (area.IsEmpty()) return;
    const Size client = ListClient();
    int32_t end = 0;
    bool drawn = false;
    for (int32_t i = m_top; i >= 0 && i <= m_last && !m_pos.empty(); ++i) {
        const Size e = ExtentOf(i);
        const int32_t pos = PosOf(i);
        end = pos + e.cy + m_spacing;
        // The band across the whole client, behind the item and its spacing.
        const Rect band =
            m_axis.ToWindow(Rect{0, pos, client.cx, pos + e.cy + m_spacing}).Offset(m_client.left, m_client.top);
        const Rect bandClip = band.Intersect(area);
        if (bandClip.IsEmpty()) {
            if (drawn) break;
            continue;
        }
        EraseBand(dc, bandClip);
        const Rect item = GetItemRect(i);
        DrawItem(dc, i, item, IsItemSelected(i), ItemCell(i), bandClip.Intersect(item));
        drawn = true;
    }
    if (end < client.cy) {
        const Rect rest = m_axis.ToWindow(Rect{0, end, client.cx, client.cy}).Offset(m_client.left, m_client.top);
        const Rect restClip = rest.Intersect(area);
        if (!restClip.IsEmpty()) EraseBand(dc, restClip);
    }
}

// ---- scroller steps ----

int32_t CMVListBox::Bottom(int axis) {
    if (IsItemAxis(axis)) return LastPageTop();
    return std::max(0, Widest() - ListClient().cx);
}

int32_t CMVListBox::LineUp(int axis) {
    if (IsItemAxis(axis)) return std::max(0, m_top - 1);
    return m_cross - kCrossLine;
}

int32_t CMVListBox::LineDown(int axis) {
    if (!IsItemAxis(axis)) return m_cross + kCrossLine;
    if (m_count == 0 || GetItemVisibility(m_count - 1) == 2) return std::max(m_top, 0);
    return std::min(m_top + 1, m_count - 1);
}

int32_t CMVListBox::PageUp(int axis) {
    if (!IsItemAxis(axis)) return m_cross - ListClient().cx;
    Recalc();
    if (m_top <= 0 || GetItemVisibility(0) == 2) return std::max(m_top, 0);
    // The items above, summed up to the client extent.
    const int32_t avail = ListClient().cy;
    int32_t top = m_top, h = 0;
    while (top > 0) {
        const int32_t more = ExtentOf(top - 1).cy + m_spacing;
        if (h + more > avail) break;
        h += more;
        --top;
    }
    return top == m_top ? m_top - 1 : top;
}

int32_t CMVListBox::PageDown(int axis) {
    if (!IsItemAxis(axis)) return m_cross + ListClient().cx;
    Recalc();
    if (m_count == 0 || GetItemVisibility(m_count - 1) == 2) return std::max(m_top, 0);
    return std::min(m_top + PageSize(axis), std::max(LastPageTop(), m_top));
}

int32_t CMVListBox::PositionForThumb(int axis, int32_t value) {
    if (!IsItemAxis(axis)) return value;
    return std::clamp(value, 0, LastPageTop());
}

int32_t CMVListBox::PageSize(int axis) {
    if (!IsItemAxis(axis)) return ListClient().cx;
    Recalc();
    if (m_count == 0 || m_pos.empty()) return 1;
    return std::max(1, m_last - m_top + (GetItemVisibility(m_last) == 2 ? 1 : 0));
}

} // namespace vinca
