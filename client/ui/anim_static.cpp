#include "client/ui/anim_static.h"

#include <QPainter>

namespace klc {

CAnimStatic::CAnimStatic(QWidget* parent) : QWidget(parent) {
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    setMinimumSize(16, 16);
}

void CAnimStatic::LoadFrames(plat::ui::ImageStrip frames) {
    m_frames = std::make_shared<plat::ui::ImageStrip>(std::move(frames));
    update();
}

void CAnimStatic::Play(int first, int last, int repeat) {
    m_timer.stop();
    m_current = first;
    m_first = first;
    m_last = last;
    m_repeat = repeat;
    if (repeat != 0) m_timer.start();
    update();
}

void CAnimStatic::Stop() {
    m_timer.stop();
}

void CAnimStatic::tick() {
    if (m_repeat == 0) return;
    if (m_current < m_last) {
        ++m_current;
    } else if (m_repeat > 0) {
        if (m_repeat == 1) {
            m_timer.stop(); // the last frame stays
            m_repeat = 0;
        } else {
            --m_repeat;
            m_current = m_first;
        }
    } else {
        m_current = m_first;
    }
    update();
}

void CAnimStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().brush(backgroundRole()));
    if (!m_frames) return;
    QPixmap frame = m_frames->frame(m_current);
    if (frame.isNull()) return;
    p.drawPixmap((width() - frame.width()) / 2, (height() - frame.height()) / 2, frame);
}

} // namespace klc
