#include "view_fixtures.h"

#include <QtCore/QBuffer>
#include <algorithm>

#include "support/offscreen_gui.h"
#include "vinca/model/item.h"

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

int DarkPixels(const QImage& img, const plat::gdi::Rect& r) {
    auto dark = [](QRgb c) { return qRed(c) < 0x60 && qGreen(c) < 0x60 && qBlue(c) < 0x60; };
    int n = 0;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, img.height()); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, img.width()); ++x)
            n += dark(img.pixel(x, y)) ? 1 : 0;
    return n;
}

void SetCell(vinca::CItem* item, const vinca::CVincaName* key, std::string_view text) {
    item->GetItemData()->Values().SetOrAddValue(key, plat::Variant(text));
}

} // namespace viewtest
