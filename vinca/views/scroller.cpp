#include "vinca/views/scroller.h"

#include <algorithm>

namespace vinca {

using namespace plat::ui;

int32_t ScaleToScrollRange(int32_t position, int32_t range) {
    if (range <= 32767) return position;
    // The product is taken in double precision with the single-precision
    // factor, so the thumb's top end (32767 on 100000) truncates to 99999;
    // a float product would round up past the range.
    constexpr float kInv = 1.0f / 32767.0f;
    return int32_t(double(position) * double(range) * double(kInv));
}

CScroller::CScroller(IScrollBars* bars, IScrollOwner* owner, IScrollSteps* steps)
    : m_bars(bars), m_owner(owner), m_steps(steps) {
    ApplyBars();
}

int32_t CScroller::Page(int axis) const {
    return m_steps ? std::max(1, m_steps->PageSize(axis)) : 1;
}

void CScroller::SetBarMode(int32_t mode) {
    if (mode == m_barMode) return;
    m_barMode = mode;
    m_dirty = true;
    if (m_owner) m_owner->Relayout();
    ApplyBars();
}

void CScroller::SetDisableNoScroll(bool on) {
    if (on == m_disableNoScroll) return;
    m_disableNoScroll = on;
    m_dirty = true;
    if (m_owner) m_owner->Relayout();
    ApplyBars();
}

void CScroller::ApplyBar(int axis) {
    if (!m_bars || !m_attached) return;
    const bool vertical = axis == 1;
    int32_t& range = vertical ? m_rangeY : m_rangeX;
    if (range < 0) range = 0;
    const int32_t pos = vertical ? m_posY : m_posX;
    const int32_t bar = vertical ? SB_VERT : SB_HORZ;
    bool& shown = vertical ? m_vBarShown : m_hBarShown;
    int32_t nMax = std::min(range, 0x7FFF);
    if (!(m_barMode & (vertical ? BARS_VERT : BARS_HORZ))) nMax = 0;
    const int32_t page = Page(axis);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (m_disableNoScroll) {
        if (nMax == 0 || range < page) {
            si.nMin = 0;
            si.nMax = 1;
            si.nPage = 0;
            si.nPos = 0;
            m_bars->SetScrollInfo(bar, si);
            m_bars->EnableScrollBar(bar, ESB_DISABLE_BOTH);
            shown = true;
            return;
        }
        m_bars->EnableScrollBar(bar, ESB_ENABLE_BOTH);
    }
    int32_t nPage = range <= 32767 ? page : int32_t(int64_t(page) * 32767 / range);
    nPage = std::max(nPage, 1);
    if (nMax > 0 && page < range && nPage >= nMax) nPage = nMax - 1;
    shown = nMax >= nPage;
    si.nMin = 0;
    si.nMax = nMax;
    si.nPage = uint32_t(nPage);
    si.nPos = range <= 32767 ? pos : int32_t(int64_t(pos) * 32767 / range);
    m_bars->SetScrollInfo(bar, si);
}

void CScroller::ApplyBars() {
    if (m_scrollState != SCROLLING_Y) ApplyBar(0);
    if (m_scrollState != SCROLLING_X) ApplyBar(1);
}

void CScroller::SetRange(int32_t x, int32_t y) {
    if (x == m_rangeX && y == m_rangeY) return;
    if (m_attached) {
        bool hChange = (x != m_rangeX && (m_barMode & BARS_HORZ) &&
                        ((m_rangeX > 0 && x == 0) || (m_rangeX == 0 && x > 0)));
        bool vChange = (y != m_rangeY && (m_barMode & BARS_VERT) &&
                        ((m_rangeY > 0 && y == 0) || (m_rangeY == 0 && y > 0)));
        if (hChange || vChange) m_dirty = true;
    }
    m_rangeX = x;
    m_rangeY = y;
    if (m_scrollState == IDLE) {
        if (m_owner && m_dirty && m_attached) m_owner->Relayout();
        SetPosition(m_posX, m_posY);
        ApplyBars();
    }
}

void CScroller::SetPosition(int32_t x, int32_t y) {
    // Never below 0, even when the range is shorter than a page.
    x = std::clamp(x, 0, std::max(0, m_rangeX - std::max(Page(0) - 1, 0)));
    y = std::clamp(y, 0, std::max(0, m_rangeY));
    if (x == m_posX && y == m_posY) {
        if (m_attached) ApplyBars();
        return;
    }
    if (!m_attached) {
        m_dirty = true;
        m_posX = x;
        m_posY = y;
        return;
    }
    const bool idle = m_scrollState == IDLE;
    if (idle && m_owner) m_owner->ScrollBegins();
    Point old{m_posX, m_posY};
    m_posX = x;
    m_posY = y;
    if (m_owner) m_owner->Scrolled(old);
    ApplyBars();
    if (idle && m_owner) m_owner->ScrollEnds();
}

void CScroller::Scroll(int axis, int32_t code, int32_t thumb) {
    if (axis == 1) m_thumbTracking = false;
    if (code != SB_ENDSCROLL && m_scrollState == IDLE) {
        m_scrollState = axis == 0 ? SCROLLING_X : SCROLLING_Y;
        if (m_owner) m_owner->ScrollBegins();
    }
    if (code == SB_ENDSCROLL) {
        m_scrollState = IDLE;
        if (m_owner) m_owner->Relayout();
        ApplyBars();
        if (m_owner) m_owner->ScrollEnds();
        return;
    }
    if (!m_steps) return;
    const int32_t range = axis == 0 ? m_rangeX : m_rangeY;
    int32_t pos;
    switch (code) {
    case SB_LINEUP:
        pos = m_steps->LineUp(axis);
        break;
    case SB_LINEDOWN:
        pos = m_steps->LineDown(axis);
        break;
    case SB_PAGEUP:
        pos = m_steps->PageUp(axis);
        break;
    case SB_PAGEDOWN:
        pos = m_steps->PageDown(axis);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        // Both thumb codes scale the 16-bit value first, on both axes.
        pos = m_steps->PositionForThumb(axis, ScaleToScrollRange(thumb, range));
        if (code == SB_THUMBTRACK && axis == 1) m_thumbTracking = true;
        break;
    case SB_TOP:
        pos = m_steps->Top(axis);
        break;
    case SB_BOTTOM:
        pos = m_steps->Bottom(axis);
        break;
    default:
        return;
    }
    if (axis == 0)
        SetPosition(pos, m_posY);
    else
        SetPosition(m_posX, pos);
}

void CScroller::SetEnableMode(int32_t mode) {
    m_enableMode = mode;
    if (mode == 1) {
        if (m_bars) {
            m_bars->EnableScrollBar(SB_HORZ, ESB_DISABLE_BOTH);
            m_bars->EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
        }
    } else if (m_owner) {
        m_owner->Relayout();
    }
}

void CScroller::BeginUpdate() {
    if (m_batchCount++ == 0) m_attached = false;
}

void CScroller::EndUpdate() {
    if (m_batchCount > 0) --m_batchCount;
    if (m_batchCount > 0) return;
    m_attached = true;
    bool dirty = m_dirty;
    SetPosition(m_posX, m_posY);
    if (dirty && m_owner) m_owner->Relayout();
    m_dirty = false;
}

} // namespace vinca
