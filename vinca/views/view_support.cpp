#include "vinca/views/view_support.h"

namespace vinca {

using namespace plat::gdi;

void CTimerHolder::Start(plat::ui::WindowTimers& timers) {
    if (m_running) return;
    m_running = true;
    timers.SetTimer(m_id, m_elapse);
}

void CTimerHolder::Stop(plat::ui::WindowTimers& timers) {
    if (!m_running) return;
    m_running = false;
    timers.KillTimer(m_id);
}

void CResizeTracker::Setup(int32_t minimum, int32_t maximum, int32_t size, int32_t bandStart,
                           int32_t bandEnd) {
    m_min = minimum;
    m_max = std::max(minimum, maximum);
    m_size = std::clamp(size, 0, m_max - m_min);
    m_bandStart = bandStart;
    m_bandEnd = bandEnd;
}

bool CResizeTracker::HitTest(Point p) const {
    int32_t along = m_vertical ? p.x : p.y, across = m_vertical ? p.y : p.x;
    int32_t line = m_min + m_size;
    return along >= line - kHalfBand && along <= line + kHalfBand && across >= m_bandStart &&
           across < m_bandEnd;
}

void CResizeTracker::DrawLine(Dc& dc) const {
    int32_t line = m_min + m_size;
    int32_t oldRop = dc.SetROP2(R2_NOT);
    Selected<Pen> pen(dc, Pen{PS_SOLID, 1, 0});
    if (m_vertical) {
        dc.MoveTo({line, m_bandStart});
        dc.LineTo({line, m_bandEnd});
    } else {
        dc.MoveTo({m_bandStart, line});
        dc.LineTo({m_bandEnd, line});
    }
    dc.SetROP2(oldRop);
}

Rect CResizeTracker::LineRect() const {
    const int32_t line = m_min + m_size;
    return m_vertical ? Rect{line, m_bandStart, line + 1, m_bandEnd}
                      : Rect{m_bandStart, line, m_bandEnd, line + 1};
}

void CResizeTracker::Begin(Point p, Dc& dc) {
    m_tracking = true;
    m_grab = (m_vertical ? p.x : p.y) - m_min - m_size;
    DrawLine(dc);
}

void CResizeTracker::Track(Point p, Dc& dc) {
    if (!m_tracking) return;
    DrawLine(dc);
    int32_t pos = std::clamp((m_vertical ? p.x : p.y) - m_grab, m_min, m_max);
    m_size = pos - m_min;
    DrawLine(dc);
}

int32_t CResizeTracker::End(Dc& dc) {
    if (m_tracking) DrawLine(dc);
    m_tracking = false;
    m_grab = 0;
    return m_size;
}

TrackerCursor CResizeTracker::Cursor() const {
    bool extreme = m_size == 0 || m_size == m_max - m_min;
    if (m_vertical) return extreme ? TrackerCursor::SplitH : TrackerCursor::SizeWE;
    return extreme ? TrackerCursor::SplitV : TrackerCursor::SizeNS;
}

namespace {

void AlignAxis(int32_t outerStart, int32_t outerEnd, int32_t offset, int32_t size, int32_t align,
               int32_t& start, int32_t& end) {
    switch (align) {
    case 2:
        start = outerStart + (outerEnd + offset - size - outerStart) / 2;
        break;
    case 3:
        start = offset + outerEnd - size;
        break;
    default:
        start = outerStart;
        break;
    }
    end = start + size;
}

void AlignAxisClipped(int32_t outerStart, int32_t outerEnd, int32_t offset, int32_t size, int32_t align,
                      int32_t& start, int32_t& end) {
    switch (align) {
    case 2: {
        int32_t c = std::max(0, (offset + outerEnd - outerStart - size) / 2);
        start = outerStart + c;
        end = std::min(outerEnd, outerStart + c + size);
        break;
    }
    case 3:
        start = std::max(outerStart, offset + outerEnd - size);
        end = outerEnd;
        break;
    default:
        start = outerStart;
        end = std::min(outerEnd, outerStart + size);
        break;
    }
}

} // namespace

Rect AlignRect(const Rect& outer, Point offset, Size size, int32_t h, int32_t v) {
    Rect r;
    AlignAxis(outer.left, outer.right, offset.x, size.cx, h, r.left, r.right);
    AlignAxis(outer.top, outer.bottom, offset.y, size.cy, v, r.top, r.bottom);
    return r;
}

Rect AlignRectClipped(const Rect& outer, Point offset, Size size, int32_t h, int32_t v) {
    Rect r;
    AlignAxisClipped(outer.left, outer.right, offset.x, size.cx, h, r.left, r.right);
    AlignAxisClipped(outer.top, outer.bottom, offset.y, size.cy, v, r.top, r.bottom);
    return r;
}

} // namespace vinca
