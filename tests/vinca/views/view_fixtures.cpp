#include "view_fixtures.h"

#include <QtCore/QBuffer>

#include "support/offscreen_gui.h"

namespace viewtest {

plat::gdi::Bitmap Filled(int w, int h, COLORREF c) {
    plat::gdi::Bitmap b(w, h);
    b.Image().fill(plat::gdi::ToQColor(c));
    return b;
}

COLORREF At(const plat::gdi::Bitmap& b, int x, int y) {
    return plat::gdi::FromQColor(QColor(b.Image().pixel(x, y)));
}

plat::ComPtr<vinca::IVincaPicture> PictureOf(const QImage& img, const char* format) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    bool icon = std::string(format) == "ICO";
    return vinca::NewPicture(icon ? vinca::PICTYPE_ICON : vinca::PICTYPE_BITMAP, bytes.toStdString());
}

std::string Save(const QImage& img, const std::string& name) {
    return kltest::SaveArtifact(img, "views", name);
}

} // namespace viewtest
