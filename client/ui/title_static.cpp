#include "client/ui/title_static.h"

namespace klc {

void CTitleStatic::SetFont(bool fill_height, bool bold, bool italic, int height, int width) {
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    int pixels = fill_height ? contentsRect().height() : height;
    if (pixels > 0) f.setPixelSize(pixels);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    setFont(f);
}

} // namespace klc
