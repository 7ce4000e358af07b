#include "vinca/views/mouse_tracker.h"

#include <utility>

namespace vinca {

void CMouseTracker::SelectRange(int32_t a, int32_t b, bool on) {
    if (a < 0 || b < 0) return;
    if (a > b) std::swap(a, b);
    if (on)
        m_rows.Add(a, b);
    else
        m_rows.Remove(a, b);
}

void CMouseTracker::SetSelection(int32_t first, int32_t last, bool select) {
    if (first < 0 && last < 0) return;
    m_pane.ChangeBatch(0);
    SelectRange(first, last, select);
    m_pane.ChangeBatch(1);
}

void CMouseTracker::SetCurrent(int32_t row) {
    if (row == m_current) return;
    m_current = row;
    m_pane.CurrentChanged(row);
}

// Single selection: the selection follows the current row.
void CMouseTracker::MoveSingle(int32_t row) {
    m_pane.ChangeBatch(0);
    if (m_current >= 0) m_rows.Remove(m_current, m_current);
    m_rows.Add(row, row);
    m_pane.ChangeBatch(1);
    SetCurrent(row);
}

void CMouseTracker::MoveCurrent(int32_t row) {
    if (!Valid(row)) return;
    if (m_mode == SELECT_SINGLE)
        MoveSingle(row);
    else
        SetCurrent(row);
}

void CMouseTracker::KeyMove(int32_t row, bool shift) {
    if (!Valid(row)) return;
    if (m_mode != SELECT_EXTENDED) {
        ResetAnchor();
        MoveCurrent(row);
    } else if (shift) {
        ExtendTo(row);
    } else {
        ResetAnchor();
        TrackTo(row, 0);
    }
}

void CMouseTracker::TrackTo(int32_t row, uint32_t keys) {
    if (!Valid(row)) return;
    switch (m_mode) {
    case SELECT_SINGLE:
        MoveSingle(row);
        break;
    case SELECT_MULTIPLE:
        m_pane.ChangeBatch(0);
        SelectRange(row, row, !m_rows.Contains(row));
        m_pane.ChangeBatch(1);
        SetCurrent(row);
        break;
    case SELECT_EXTENDED:
        if (!Valid(m_anchor)) m_anchor = Valid(m_current) ? m_current : row;
        m_pane.ChangeBatch(0);
        if (keys & MK_SHIFT) {
            m_rows.Remove(0, -1);
            SelectRange(m_anchor, row, true);
        } else if (keys & MK_CONTROL) {
            SelectRange(row, row, !m_rows.Contains(row));
            m_anchor = row;
        } else {
            m_rows.Remove(0, -1);
            SelectRange(row, row, true);
            m_anchor = row;
        }
        m_pane.ChangeBatch(1);
        SetCurrent(row);
        break;
    default:
        SetCurrent(row);
        break;
    }
}

void CMouseTracker::Extend(int32_t row) {
    if (!Valid(row)) return;
    if (m_mode != SELECT_EXTENDED) {
        if (m_mode == SELECT_SINGLE)
            MoveSingle(row);
        else
            SetCurrent(row);
        return;
    }
    if (!Valid(m_trackAnchor)) m_trackAnchor = Valid(m_anchor) ? m_anchor : m_current;
    if (!Valid(m_trackAnchor)) m_trackAnchor = row;
    m_pane.ChangeBatch(0);
    if (Valid(m_current)) SelectRange(m_trackAnchor, m_current, false);
    SelectRange(m_trackAnchor, row, true);
    m_pane.ChangeBatch(1);
    SetCurrent(row);
}

void CMouseTracker::OnButtonDown(Point p, uint32_t keys) {
    m_deferred = false;
    if (m_buttonDown || m_captured) OnButtonUp(p, keys);
    m_cursor = p;
    // Borders are dragged with the left button only.
    if ((keys & MK_LBUTTON) && PickResizeTracker() && m_resize->HitTest(p)) {
        m_pane.DrawTracker([&](Dc& dc) { m_resize->Begin(p, dc); });
        m_pane.SetCapture(true);
        m_captured = true;
        return;
    }
    m_buttonDown = true;
    int32_t row = m_pane.PositionAt(p, 2);
    if (row < 0) {
        row = m_pane.PositionAt(p, 1);
        if (!Valid(row) || row < m_pane.LowestRow()) return;
    }
    bool modifier = keys & (MK_SHIFT | MK_CONTROL);
    if (m_dragMode != 0 && !modifier && m_rows.Contains(row)) {
        // A selected row may be dragged away with the rest of the
        // selection: its click waits for the release, which selects it
        // alone (or toggles it) unless a drag took the press meanwhile.
        m_deferred = true;
        SetCurrent(row);
        return;
    }
    // Elsewhere the press selects at once, so a drag that follows takes the
    // pressed row.
    if (m_mode == SELECT_SINGLE && !m_pane.Accept(row)) return;
    TrackTo(row, keys);
    if (m_mode == SELECT_EXTENDED && !(keys & MK_SHIFT)) m_trackAnchor = row;
}

void CMouseTracker::OnMouseMove(Point p, uint32_t keys) {
    m_cursor = p;
    if (!(keys & MK_LBUTTON)) return;
    if (m_resize && m_resize->IsTracking()) {
        m_pane.DrawTracker([&](Dc& dc) { m_resize->Track(p, dc); });
        return;
    }
    if (!m_buttonDown || m_dragMode != 0) return;
    if (!m_captured) {
        if (!m_dragging) {
            m_pane.SetCapture(true);
            m_captured = true;
        }
        return;
    }
    int32_t row = m_pane.PositionAt(p, 2);
    if (row < 0) {
        m_timer.Start(m_timers); // outside the rows: scroll on the timer
        return;
    }
    m_timer.Stop(m_timers);
    Extend(row);
}

void CMouseTracker::OnButtonUp(Point p, uint32_t keys) {
    m_buttonDown = false;
    if (m_resize && m_resize->IsTracking()) {
        int32_t size = 0;
        m_pane.DrawTracker([&](Dc& dc) { size = m_resize->End(dc); });
        m_pane.SetCapture(false);
        m_captured = false;
        CResizeTracker* done = m_resize;
        m_resize = nullptr;
        m_pane.ResizeDone(done, size);
        return;
    }
    if (!(keys & MK_SHIFT)) m_trackAnchor = -1;
    StopTracking();
    if (std::exchange(m_deferred, false) && !m_dragging && !(keys & (MK_SHIFT | MK_CONTROL))) {
        int32_t row = m_pane.PositionAt(p, 2);
        if (Valid(row)) TrackTo(row, keys);
    }
}

void CMouseTracker::OnTimer(uint32_t id, Point cursor) {
    if (id != kAutoScrollTimer || !m_timer.IsRunning()) return;
    int32_t row = m_pane.PositionAt(cursor, 1);
    if (!Valid(row)) return;
    if (m_mode == SELECT_SINGLE && !m_pane.Accept(row)) return;
    Extend(row);
}

void CMouseTracker::SetSelectionMode(int32_t mode) {
    if (mode == m_mode) return;
    if (mode == SELECT_SINGLE && Valid(m_current)) {
        m_pane.ChangeBatch(0);
        m_rows.Remove(0, -1);
        m_rows.Add(m_current, m_current);
        m_pane.ChangeBatch(1);
    }
    m_mode = mode;
}

void CMouseTracker::ExtendTo(int32_t row) {
    if (m_mode != SELECT_EXTENDED || !Valid(row)) return;
    if (!m_keyboardExtend) {
        m_keyboardExtend = true;
        if (!Valid(m_current)) m_current = 0;
    }
    if (!Valid(m_anchor)) m_anchor = m_current;
    m_pane.ChangeBatch(0);
    SelectRange(m_anchor, m_current, false);
    SelectRange(m_anchor, row, true);
    m_pane.ChangeBatch(1);
    SetCurrent(row);
}

void CMouseTracker::ResetAnchor() {
    m_keyboardExtend = false;
    m_anchor = -1;
}

void CMouseTracker::SetDragMode(int32_t mode) {
    m_dragMode = mode;
    m_dragging = false;
    if (mode != 0) StopTracking();
}

void CMouseTracker::SetDragging(bool on) {
    m_dragging = on;
    if (on) {
        m_deferred = false;
        StopTracking();
    }
}

void CMouseTracker::StopTracking() {
    if (m_captured && m_pane.HasCapture()) m_pane.SetCapture(false);
    m_captured = false;
    m_trackAnchor = -1;
    m_timer.Stop(m_timers);
}

void CMouseTracker::OnRowsInserted(int32_t first, int32_t last) {
    int32_t n = last - first + 1;
    m_rows.OnItemsInserted(first, last);
    m_lastRow += n;
    for (int32_t* r : {&m_current, &m_anchor, &m_trackAnchor})
        if (*r >= first) *r += n;
}

void CMouseTracker::OnRowsRemoved(int32_t first, int32_t last) {
    int32_t n = last - first + 1;
    m_rows.OnItemsRemoved(first, last);
    m_lastRow = std::max(-1, m_lastRow - n);
    for (int32_t* r : {&m_anchor, &m_trackAnchor}) {
        if (*r > last)
            *r -= n;
        else if (*r >= first)
            *r = -1;
    }
    if (m_current > last) {
        m_current -= n;
    } else if (m_current >= first) {
        // The current row went with the removed ones: the row before them.
        int32_t row = std::min(first - 1, m_lastRow);
        if (row < 0 && m_lastRow >= 0) row = 0;
        m_current = -1;
        if (row >= 0) {
            if (m_mode == SELECT_SINGLE)
                MoveSingle(row);
            else
                SetCurrent(row);
        } else {
            m_pane.CurrentChanged(-1);
        }
    }
}

void CMouseTracker::SetRowCount(int32_t n) {
    m_lastRow = n - 1;
    for (int32_t* r : {&m_current, &m_anchor, &m_trackAnchor})
        if (*r > m_lastRow) *r = m_lastRow;
    m_rows.Truncate(std::max(0, n));
}

bool CMouseTracker::PickResizeTracker() {
    if (!m_resize || !m_resize->IsTracking()) m_resize = m_pane.FindResizeTracker(m_cursor);
    return m_resize != nullptr;
}

} // namespace vinca
