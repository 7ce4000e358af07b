#include "platform/ui/scroll_info_bar.h"

#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionSlider>

namespace plat::ui {

QRect ThumbScrollBar::ThumbRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this);
}

void ThumbScrollBar::sliderChange(SliderChange change) {
    // At either end the arrows may look otherwise (a style greys the one
    // that can go no further), and a thumb of another size changed the
    // page: those repaint the whole bar.
    if (change == SliderValueChange && !m_paintedThumb.isNull() && !AtEnd(value()) &&
        !AtEnd(m_paintedValue)) {
        const QRect now = ThumbRect();
        if (now.size() == m_paintedThumb.size()) {
            // Styles draw the thumb's outline and shade a pixel or so past
            // its rectangle.
            constexpr int kMargin = 3;
            update(now.united(m_paintedThumb).adjusted(-kMargin, -kMargin, kMargin, kMargin));
            return;
        }
    }
    QScrollBar::sliderChange(change);
}

void ThumbScrollBar::paintEvent(QPaintEvent* e) {
    QScrollBar::paintEvent(e);
    m_paintedThumb = ThumbRect();
    m_paintedValue = sliderPosition();
}

ScrollInfoBar::ScrollInfoBar(QScrollBar* bar) : m_bar(bar) {
    m_bar->setTracking(true);
    connect(m_bar, &QAbstractSlider::actionTriggered, this, &ScrollInfoBar::OnAction);
    connect(m_bar, &QAbstractSlider::sliderReleased, this, &ScrollInfoBar::OnReleased);
    Apply();
}

void ScrollInfoBar::SetScrollInfo(const SCROLLINFO& si) {
    if (si.fMask & SIF_RANGE) {
        m_info.nMin = si.nMin;
        m_info.nMax = si.nMax;
    }
    if (si.fMask & SIF_PAGE) m_info.nPage = si.nPage;
    if (si.fMask & SIF_POS) m_info.nPos = si.nPos;
    m_keepDisabled = si.fMask & SIF_DISABLENOSCROLL;
    // The position stays within what the page leaves.
    int32_t top = m_info.nMax - std::max<int32_t>(int32_t(m_info.nPage) - 1, 0);
    m_info.nPos = std::clamp(m_info.nPos, m_info.nMin, std::max(m_info.nMin, top));
    Apply();
}

void ScrollInfoBar::EnableScrollBar(int32_t flags) {
    m_disabled = flags == ESB_DISABLE_BOTH;
    Apply();
}

void ScrollInfoBar::Apply() {
    m_applying = true;
    const int32_t page = int32_t(m_info.nPage);
    const bool fits = m_info.nMax - m_info.nMin + 1 <= page || m_info.nMax <= m_info.nMin;
    m_bar->setMinimum(m_info.nMin);
    m_bar->setMaximum(std::max(m_info.nMin, m_info.nMax - std::max(page, 1) + 1));
    m_bar->setPageStep(std::max(page, 1));
    m_bar->setSingleStep(1);
    // While the thumb is held it stays under the pointer: the owner's
    // position, rounded through the 16-bit scale, would pull it back and the
    // rounding would feed into the next move (and the release).
    if (!m_bar->isSliderDown()) m_bar->setValue(m_info.nPos);
    if (fits && !m_keepDisabled) {
        m_shown = false;
        m_bar->setVisible(false);
    } else {
        m_shown = true;
        m_bar->setVisible(true);
        m_bar->setEnabled(!m_disabled && !fits);
    }
    m_applying = false;
}

void ScrollInfoBar::OnAction(int action) {
    if (m_applying || !onScroll) return;
    int32_t code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = SB_LINEUP;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = SB_LINEDOWN;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = SB_PAGEUP;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = SB_PAGEDOWN;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = SB_TOP;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = SB_BOTTOM;
        break;
    case QAbstractSlider::SliderMove:
        code = SB_THUMBTRACK;
        break;
    default:
        return;
    }
    // The owner decides the new position and sets it back through
    // SetScrollInfo; the slider then shows exactly that.
    int32_t thumb = m_bar->sliderPosition();
    m_info.nTrackPos = thumb;
    onScroll(code, thumb);
    if (code != SB_THUMBTRACK) onScroll(SB_ENDSCROLL, 0);
    if (!m_bar->isSliderDown()) m_bar->setSliderPosition(m_info.nPos);
}

void ScrollInfoBar::OnReleased() {
    if (!onScroll) return;
    // Where the pointer left the thumb; afterwards the thumb shows the
    // owner's position again.
    int32_t thumb = m_bar->sliderPosition();
    m_info.nTrackPos = thumb;
    onScroll(SB_THUMBPOSITION, thumb);
    onScroll(SB_ENDSCROLL, 0);
    Apply();
}

} // namespace plat::ui
