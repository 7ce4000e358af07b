#include "client/ui/text_static.h"

#include <QPainter>

#include "client/ui/artwork.h"

namespace klc {

CTextStatic::CTextStatic(QWidget* parent) : QWidget(parent) {
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    setAutoFillBackground(false);
}

void CTextStatic::SetText(const QString& text) {
    m_lines = QStringList{text};
    update();
}

void CTextStatic::AddLine(const QString& line) {
    m_lines << line;
    update();
}

void CTextStatic::SetTextFromString(int id) {
    SetText(ClientText(id));
}

void CTextStatic::StartScroll(int interval_ms, int step) {
    m_step = step;
    m_timer.start(interval_ms);
}

void CTextStatic::StopScroll() {
    m_timer.stop();
}

std::vector<int> CTextStatic::LineHeights() const {
    std::vector<int> heights;
    QFontMetrics fm(font());
    for (const QString& line : m_lines) {
        QRect r =
            fm.boundingRect(QRect(0, 0, std::max(1, width()), 100000), Qt::AlignHCenter | Qt::TextWordWrap,
                            line.isEmpty() ? QStringLiteral(" ") : line);
        heights.push_back(r.height());
    }
    return heights;
}

int CTextStatic::BlockHeight() const {
    int h = height() / 4;
    for (int lh : LineHeights())
        h += lh;
    return std::max(1, h);
}

void CTextStatic::tick() {
    m_offset += m_step;
    // Once a whole copy has left the top, the next copy stands where the
    // first one stood: the offset goes back by one copy's height.
    if (m_offset >= height() + BlockHeight()) m_offset -= BlockHeight();
    scroll(0, -m_step);
    update();
}

std::vector<int> CTextStatic::FirstLineTops() const {
    std::vector<int> tops;
    int block = BlockHeight();
    int y = height() - m_offset;
    while (y + block <= 0)
        y += block;
    for (; y < height(); y += block)
        tops.push_back(y);
    return tops;
}

void CTextStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(palette().color(QPalette::WindowText));
    std::vector<int> heights = LineHeights();
    for (int top : FirstLineTops()) {
        int y = top;
        for (size_t i = 0; i < heights.size(); ++i) {
            p.drawText(QRect(0, y, width(), heights[i]), Qt::AlignHCenter | Qt::TextWordWrap,
                       m_lines[static_cast<qsizetype>(i)]);
            y += heights[i];
        }
    }
}

} // namespace klc
