#include "vinca/views/icon_picture.h"

namespace vinca {

using namespace plat::gdi;

namespace {

// The icon blended over what is there through its mask.
bool DrawIconAt(Dc& dc, const QImage& icon, int32_t x, int32_t y, int32_t w, int32_t h) {
    return dc.DrawImage(Rect{x, y, x + w, y + h}, icon, SRCCOPY);
}

} // namespace

int32_t CIconPicture::DrawStretched(Dc& dc, const Rect& rect) const {
    if (!HoldsIcon()) return 0;
    return DrawIconAt(dc, *m_icon, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top) ? 1
                                                                                                        : 0;
}

int32_t CIconPicture::Draw(Dc& dc, const Rect& rect, uint32_t rop) const {
    if (!HoldsIcon()) return 0;
    const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return 1;
    if (rop != NOTSRCCOPY) {
        DrawIconAt(dc, *m_icon, rect.left, rect.top, w, h);
        return 1;
    }
    if (dc.Kind() == DcKind::Image) {
        // The area inverted into a band, the icon drawn over it, the band
        // inverted back: the background returns to its colours and the
        // icon's pixels come out inverted. The band and its DC go here.
        Bitmap band(w, h);
        Dc memory(band);
        memory.BitBlt(0, 0, w, h, dc, rect.left, rect.top, NOTSRCCOPY);
        DrawIconAt(memory, *m_icon, 0, 0, w, h);
        dc.BitBlt(rect.left, rect.top, w, h, memory, 0, 0, NOTSRCCOPY);
        return 1;
    }
    // A page cannot be read back: the icon is inverted in an image band of
    // its own, transparent where its mask is, and that band is laid over the
    // page, which comes out as the two inversions would leave it.
    QImage inverted = m_icon->convertToFormat(QImage::Format_ARGB32);
    inverted.invertPixels(QImage::InvertRgb);
    DrawIconAt(dc, inverted, rect.left, rect.top, w, h);
    return 1;
}

} // namespace vinca
