#include "client/ui/title_static.h"

namespace klc {

int CTitleStatic::FittingPixelSize(QFont font, int height, const QString& text, int width) {
    int pixels = height;
    for (; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        QFontMetrics fm(font);
        // The whole glyph height, descenders of "g" and "p" included: the
        // pixel size of a font is its em, and ascent plus descent of most
        // faces is larger than that.
        if (fm.ascent() + fm.descent() > height) continue;
        if (width >= 0 && fm.horizontalAdvance(text) > width) continue;
        break;
    }
    return pixels;
}

void CTitleStatic::SetFont(bool fill_height, bool bold, bool italic, int height, int width) {
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    if (!fill_height && height > 0) f.setPixelSize(height);
    setFont(f);
    m_fill = fill_height;
    if (m_fill) Fit();
}

void CTitleStatic::Fit() {
    const QRect room = contentsRect();
    if (room.height() <= 0) return;
    // Before the first layout the width is not known yet: the height alone.
    const int width = testAttribute(Qt::WA_Resized) || isVisible() ? room.width() : -1;
    QFont f = font();
    const int pixels = FittingPixelSize(f, room.height(), text(), width);
    if (f.pixelSize() == pixels) return;
    f.setPixelSize(pixels);
    setFont(f);
}

QSize CTitleStatic::minimumSizeHint() const {
    // A filling title gives way in width; it shrinks its font instead.
    QSize s = QLabel::minimumSizeHint();
    if (m_fill) s.setWidth(0);
    return s;
}

void CTitleStatic::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (m_fill) Fit();
}

} // namespace klc
