#include "client/ui/title_static.h"

namespace klc {

int CTitleStatic::FittingPixelSize(QFont font, int room) {
    int pixels = room;
    for (; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        QFontMetrics fm(font);
        if (fm.ascent() + fm.descent() <= room) break;
    }
    return pixels;
}

void CTitleStatic::SetFont(bool fill_height, bool bold, bool italic, int height, int width) {
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    if (fill_height) {
        // The whole glyph height, descenders of "g" and "p" included, must
        // fit: the pixel size of a font is its em, and ascent plus descent
        // of most faces is larger than that.
        const int room = contentsRect().height();
        if (room > 0) f.setPixelSize(FittingPixelSize(f, room));
    } else if (height > 0) {
        f.setPixelSize(height);
    }
    setFont(f);
}

} // namespace klc
