#include "vinca/views/paint.h"

namespace vinca {

using namespace plat::gdi;

int32_t IsExactScreenColor(OLE_COLOR colour, Dc*) {
    if (colour & kSysColorBit) return 1;
    return TranslateOleColor(colour) ? 1 : 0;
}

bool Blit(const QImage& image, Dc& dc, const Rect& rect, uint32_t rop) {
    if (rect.IsEmpty() || image.isNull()) return true;
    return dc.DrawImage(rect, image, rop);
}

void TransparentBlit(const QImage& image, Dc& dc, const Rect& rect, COLORREF transparent, bool inverted) {
    if (rect.IsEmpty() || image.isNull()) return;
    const int32_t w = rect.Width(), h = rect.Height();
    transparent &= 0xFFFFFF;
    if (dc.Kind() != DcKind::Image) {
        // A page cannot be read back: the transparent colour becomes alpha.
        QImage img = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                         .convertToFormat(QImage::Format_ARGB32);
        QRgb key = qRgb(GetRValue(transparent), GetGValue(transparent), GetBValue(transparent)) & 0xFFFFFF;
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                if ((line[x] & 0xFFFFFF) == key)
                    line[x] = 0;
                else if (inverted)
                    line[x] = (line[x] & 0xFF000000) | (~line[x] & 0xFFFFFF);
            }
        }
        dc.DrawImage(rect, img, SRCCOPY);
        return;
    }
    Bitmap temp(w, h);
    Bitmap mask(w, h, true);
    Dc tdc(temp);
    tdc.DrawImage({0, 0, w, h}, image.convertToFormat(QImage::Format_RGB32), SRCCOPY);
    {
        Dc mdc(mask);
        tdc.SetBkColor(transparent);
        mdc.BitBlt(0, 0, w, h, tdc, 0, 0, SRCCOPY);
    }
    Dc mdc(mask);
    const uint32_t op = inverted ? SRCINVERTNOT : SRCINVERT;
    COLORREF oldText = dc.SetTextColor(0x000000);
    COLORREF oldBk = dc.SetBkColor(0xFFFFFF);
    dc.BitBlt(rect.left, rect.top, w, h, tdc, 0, 0, op);
    dc.BitBlt(rect.left, rect.top, w, h, mdc, 0, 0, SRCAND);
    dc.BitBlt(rect.left, rect.top, w, h, tdc, 0, 0, op);
    dc.SetTextColor(oldText);
    dc.SetBkColor(oldBk);
}

void FillSolid(Dc& dc, COLORREF colour, const Rect& rect) {
    if (IsNoColor(colour) || rect.IsEmpty()) return;
    dc.FillRect(rect, Brush{colour & 0xFFFFFF});
}

namespace {

int32_t Channel(int32_t from, int32_t to, int32_t k, int32_t n) {
    return from + MulDiv(to - from, k, n);
}

// One run of a gradient along x (horizontal) or y from `start` for `length`.
void GradientRun(Dc& dc, bool horizontal, int32_t start, int32_t length, COLORREF from, COLORREF to,
                 const Rect& clip) {
    int32_t n = std::min(length, 255);
    if (n <= 1) return;
    int32_t clipStart = horizontal ? clip.left : clip.top;
    int32_t clipEnd = horizontal ? clip.right : clip.bottom;
    if (start >= clipEnd || start + length <= clipStart) return;
    int32_t bandStart = start;
    for (int32_t k = 1; k <= n; ++k) {
        int32_t bandEnd = start + MulDiv(length, k, n);
        if (bandEnd > clipStart && bandEnd > bandStart) {
            int32_t a = std::max(bandStart, clipStart), b = std::min(bandEnd, clipEnd);
            if (a < b) {
                COLORREF c = RGB(uint8_t(Channel(GetRValue(from), GetRValue(to), k, n)),
                                 uint8_t(Channel(GetGValue(from), GetGValue(to), k, n)),
                                 uint8_t(Channel(GetBValue(from), GetBValue(to), k, n)));
                Rect band =
                    horizontal ? Rect{a, clip.top, b, clip.bottom} : Rect{clip.left, a, clip.right, b};
                dc.FillRect(band, Brush{c});
            }
        }
        bandStart = bandEnd;
        if (bandStart >= clipEnd) break;
    }
}

} // namespace

void CGradient::Draw(Dc& dc, const Rect& rect, const Rect* clipIn) const {
    if (style == GRADIENT_NONE || rect.IsEmpty()) return;
    Rect clip = clipIn ? *clipIn : rect;
    bool horizontal = style == GRADIENT_LEFT_RIGHT || style == GRADIENT_HOR_CENTER;
    int32_t start = horizontal ? rect.left : rect.top;
    int32_t length = horizontal ? rect.Width() : rect.Height();
    if (style == GRADIENT_LEFT_RIGHT || style == GRADIENT_TOP_BOTTOM) {
        GradientRun(dc, horizontal, start, length, colorFrom, colorTo, clip);
    } else {
        int32_t half = length / 2;
        GradientRun(dc, horizontal, start, half, colorTo, colorFrom, clip);
        GradientRun(dc, horizontal, start + half, length - half, colorFrom, colorTo, clip);
    }
}

void C3DBorder::Draw(Dc& dc, const Rect& r, bool insetBorder) const {
    const int32_t w = width;
    const COLORREF light = 0xFFFFFF;
    COLORREF topLeft = insetBorder ? shadow : light;
    COLORREF bottomRight = insetBorder ? light : shadow;
    FillSolid(dc, topLeft, {r.left, r.top, r.right, r.top + w});
    FillSolid(dc, topLeft, {r.left, r.top + w, r.left + w, r.bottom});
    FillSolid(dc, bottomRight, {r.left + w, r.bottom - w, r.right, r.bottom});
    FillSolid(dc, bottomRight, {r.right - w, r.top + w, r.right, r.bottom});
    for (int32_t j = 0; j < w; ++j) {
        FillSolid(dc, bottomRight, {r.left + j, r.bottom - j - 1, r.left + w, r.bottom - j});
        FillSolid(dc, bottomRight, {r.right - j - 1, r.top + j, r.right, r.top + j + 1});
    }
    FillSolid(dc, fill, {r.left + w, r.top + w, r.right - w, r.bottom - w});
}

CDCClip::CDCClip(Dc& dc, const Rect& rect, const Rect& outer) : m_dc(dc), m_outer(outer) {
    Rect both = rect.Intersect(outer);
    if (both.IsEmpty()) {
        // Nothing of the rectangle shows: clip everything away rather than
        // lifting the clip, so a careless caller cannot draw over its neighbours.
        m_clip = both;
        m_dc.SetDeviceClip(Rect{});
        return;
    }
    SetClip(both);
}

CDCClip::~CDCClip() {
    Restore();
}

void CDCClip::SetClip(const Rect& rect) {
    m_clip = rect;
    if (rect.IsEmpty()) {
        m_dc.SetDeviceClip(std::nullopt);
        return;
    }
    m_dc.SetDeviceClip(m_dc.LPtoDP(rect));
}

void CDCClip::Restore() {
    if (m_restored) return;
    m_restored = true;
    SetClip(m_outer);
}

CDCClipOrigin::CDCClipOrigin(Dc& dc, const Rect& target, const Rect& outer)
    : m_clip(dc, target, outer), m_dc(dc) {
    Rect both = target.Intersect(outer);
    m_savedOrigin = dc.GetWindowOrg();
    dc.SetWindowOrg({m_savedOrigin.x - target.left, m_savedOrigin.y - target.top});
    m_moved = true;
    m_visible = both.IsEmpty() ? Rect{} : both.Offset(-target.left, -target.top);
}

CDCClipOrigin::~CDCClipOrigin() {
    if (m_moved) m_dc.SetWindowOrg(m_savedOrigin);
    m_clip.Restore();
}

void DrawFocusMark(Dc& dc, const Rect& rect, const Rect& clip) {
    if (rect.IsEmpty()) return;
    // The dots keep one phase across the corners: (x + y) even.
    auto dot = [&](int32_t x, int32_t y) {
        // Each dot is the inverse of what lies there, set opaque: an XOR
        // would also clear the buffer's alpha and show nothing on screen.
        if (((x + y) & 1) == 0 && clip.Contains({x, y})) dc.SetPixel(x, y, ~dc.GetPixel(x, y) & 0xFFFFFF);
    };
    for (int32_t x = rect.left; x < rect.right; ++x) {
        dot(x, rect.top);
        if (rect.bottom - 1 > rect.top) dot(x, rect.bottom - 1);
    }
    for (int32_t y = rect.top + 1; y < rect.bottom - 1; ++y) {
        dot(rect.left, y);
        if (rect.right - 1 > rect.left) dot(rect.right - 1, y);
    }
}

} // namespace vinca
