#include "platform/gdi/dc.h"

#include <QtGui/QPagedPaintDevice>
#include <QtGui/QPaintDevice>
#include <QtGui/QPainter>
#include <QtGui/QPicture>

namespace plat::gdi {

namespace {

QImage NewRgb32(int32_t w, int32_t h, QRgb fill) {
    QImage img(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

QRgb ToRgb(COLORREF c) {
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

// Window-system dash patterns of one-pixel pens.
std::span<const int32_t> PenPattern(int32_t style) {
    static constexpr int32_t dash[] = {18, 6};
    static constexpr int32_t dot[] = {3, 3};
    static constexpr int32_t dashDot[] = {9, 6, 3, 6};
    static constexpr int32_t dashDotDot[] = {9, 3, 3, 3, 3, 3};
    switch (style) {
    case PS_DASH:
        return dash;
    case PS_DOT:
        return dot;
    case PS_DASHDOT:
        return dashDot;
    case PS_DASHDOTDOT:
        return dashDotDot;
    default:
        return {};
    }
}

plat::HandleTable<Dc>& PrinterDcs() {
    static plat::HandleTable<Dc> table;
    return table;
}

Bitmap::Bitmap(int32_t width, int32_t height, bool mono)
    : m_image(NewRgb32(width, height, mono ? qRgb(0, 0, 0) : qRgb(0, 0, 0))), m_mono(mono) {}

Bitmap::Bitmap(QImage image) : m_image(image.convertToFormat(QImage::Format_RGB32)) {}

Dc::Dc(Bitmap& target) : m_kind(DcKind::Image), m_bitmap(&target) {
    m_deviceSize = target.GetSize();
    Begin(target.Image());
}

Dc::Dc(QPaintDevice& device, DcKind kind, int32_t dpiX, int32_t dpiY, bool start)
    : m_kind(kind), m_device(&device), m_dpiX(dpiX), m_dpiY(dpiY) {
    m_deviceSize = {device.width(), device.height()};
    if (start) {
        Begin(device);
    } else {
        m_defaultFont = std::make_unique<Font>();
        m_s.font = m_defaultFont.get();
    }
}

bool Dc::InDoc() const {
    return m_painter && m_painter->isActive();
}

bool Dc::StartDoc() {
    if (InDoc()) return true;
    if (!m_device) return false;
    const Font* font = m_s.font;
    auto keep = std::move(m_defaultFont);
    Begin(*m_device);
    // The selected font stays selected across the new start.
    if (font != keep.get()) m_s.font = font;
    ApplyClip();
    return InDoc();
}

bool Dc::NewPage() {
    auto* paged = dynamic_cast<QPagedPaintDevice*>(m_device);
    return paged && InDoc() && paged->newPage();
}

void Dc::EndDoc() {
    if (m_painter && m_painter->isActive()) m_painter->end();
}

Dc::Dc() : m_kind(DcKind::Metrics) {
    m_dpiX = m_dpiY = ScreenPixelsPerInch();
    m_defaultFont = std::make_unique<Font>();
    m_s.font = m_defaultFont.get();
}

Dc::~Dc() {
    if (m_painter && m_painter->isActive()) m_painter->end();
}

void Dc::Begin(QPaintDevice& device) {
    m_defaultFont = std::make_unique<Font>();
    m_s.font = m_defaultFont.get();
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(&device)) {
        m_painter.reset();
        return;
    }
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
}

int32_t Dc::GetDeviceCaps(int32_t cap) const {
    switch (cap) {
    case HORZRES:
    case PHYSICALWIDTH:
        return m_deviceSize.cx;
    case VERTRES:
    case PHYSICALHEIGHT:
        return m_deviceSize.cy;
    case BITSPIXEL:
        return m_bitmap && m_bitmap->IsMono() ? 1 : 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case RASTERCAPS:
        return RC_BITBLT | RC_STRETCHBLT; // never a palette device
    case LOGPIXELSX:
        return m_dpiX;
    case LOGPIXELSY:
        return m_dpiY;
    default:
        return 0;
    }
}

// --- state --------------------------------------------------------------

int32_t Dc::Save() {
    m_saved.push_back(m_s);
    return int32_t(m_saved.size());
}

bool Dc::Restore(int32_t level) {
    if (level < 0) level = int32_t(m_saved.size()) + 1 + level;
    if (level < 1 || level > int32_t(m_saved.size())) return false;
    m_s = m_saved[size_t(level - 1)];
    m_saved.resize(size_t(level - 1));
    ApplyClip();
    return true;
}

COLORREF Dc::SetBkColor(COLORREF c) {
    return std::exchange(m_s.bkColor, c & 0xFFFFFF);
}
int32_t Dc::SetBkMode(int32_t mode) {
    return std::exchange(m_s.bkMode, mode);
}
COLORREF Dc::SetTextColor(COLORREF c) {
    return std::exchange(m_s.textColor, c & 0xFFFFFF);
}
int32_t Dc::SetROP2(int32_t rop2) {
    return std::exchange(m_s.rop2, rop2);
}
Point Dc::SetBrushOrg(Point p) {
    return std::exchange(m_s.brushOrg, p);
}
Point Dc::SetWindowOrg(Point p) {
    return std::exchange(m_s.windowOrg, p);
}
Point Dc::SetViewportOrg(Point p) {
    return std::exchange(m_s.viewportOrg, p);
}
int32_t Dc::SetMapMode(int32_t mode) {
    int32_t old = std::exchange(m_s.mapMode, mode);
    if (mode != MM_ANISOTROPIC) m_s.windowExt = m_s.viewportExt = {1, 1};
    return old;
}
Size Dc::SetWindowExt(Size s) {
    if (m_s.mapMode != MM_ANISOTROPIC || s.cx == 0 || s.cy == 0) return m_s.windowExt;
    return std::exchange(m_s.windowExt, s);
}
Size Dc::SetViewportExt(Size s) {
    if (m_s.mapMode != MM_ANISOTROPIC || s.cx == 0 || s.cy == 0) return m_s.viewportExt;
    return std::exchange(m_s.viewportExt, s);
}

Point Dc::LPtoDP(Point p) const {
    return {MulDiv(p.x - m_s.windowOrg.x, m_s.viewportExt.cx, m_s.windowExt.cx) + m_s.viewportOrg.x,
            MulDiv(p.y - m_s.windowOrg.y, m_s.viewportExt.cy, m_s.windowExt.cy) + m_s.viewportOrg.y};
}

Rect Dc::LPtoDP(const Rect& r) const {
    Point a = LPtoDP(Point{r.left, r.top});
    Point b = LPtoDP(Point{r.right, r.bottom});
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

Point Dc::DPtoLP(Point p) const {
    return {MulDiv(p.x - m_s.viewportOrg.x, m_s.windowExt.cx, m_s.viewportExt.cx) + m_s.windowOrg.x,
            MulDiv(p.y - m_s.viewportOrg.y, m_s.windowExt.cy, m_s.viewportExt.cy) + m_s.windowOrg.y};
}

void Dc::SetDeviceClip(std::optional<Rect> device) {
    m_s.clip = device;
    ApplyClip();
}

void Dc::ApplyClip() {
    if (!m_painter || !m_painter->isActive()) return;
    m_painter->setWorldTransform(QTransform());
    if (m_s.clip) {
        const Rect& c = *m_s.clip;
        m_painter->setClipRect(QRect(c.left, c.top, std::max(0, c.Width()), std::max(0, c.Height())));
    } else {
        m_painter->setClipping(false);
    }
}

Rect Dc::GetClipBox() const {
    Rect device = m_s.clip ? *m_s.clip : Rect{0, 0, m_deviceSize.cx, m_deviceSize.cy};
    Point a = DPtoLP({device.left, device.top});
    Point b = DPtoLP({device.right, device.bottom});
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

Pen Dc::SelectPen(const Pen& pen) {
    return std::exchange(m_s.pen, pen);
}

Brush Dc::SelectBrush(const Brush& brush) {
    return std::exchange(m_s.brush, brush);
}

const Font& Dc::SelectFont(const Font& font) {
    return *std::exchange(m_s.font, &font);
}

QPainter* Dc::DevicePainter() {
    if (!m_painter || !m_painter->isActive()) return nullptr;
    m_painter->setWorldTransform(QTransform());
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return m_painter.get();
}

QPainter* Dc::LogicalPainter() {
    if (!m_painter || !m_painter->isActive()) return nullptr;
    double sx = double(m_s.viewportExt.cx) / m_s.windowExt.cx;
    double sy = double(m_s.viewportExt.cy) / m_s.windowExt.cy;
    m_painter->setWorldTransform(QTransform(sx, 0, 0, sy, m_s.viewportOrg.x - m_s.windowOrg.x * sx,
                                            m_s.viewportOrg.y - m_s.windowOrg.y * sy));
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return m_painter.get();
}

// --- shapes ---------------------------------------------------------------

void Dc::FillDevice(const Rect& d, COLORREF c) {
    if (d.IsEmpty()) return;
    if (QPainter* p = DevicePainter()) p->fillRect(QRect(d.left, d.top, d.Width(), d.Height()), ToQColor(c));
}

void Dc::FillRect(const Rect& r, const Brush& brush) {
    if (brush.null) return;
    FillDevice(LPtoDP(r), brush.color);
}

bool Dc::PatBlt(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rop) {
    Rect d = LPtoDP(Rect{x, y, x + w, y + h});
    if (d.IsEmpty()) return true;
    QPainter* p = DevicePainter();
    if (!p) return m_kind == DcKind::Metrics;
    QRect qr(d.left, d.top, d.Width(), d.Height());
    switch (rop) {
    case PATCOPY:
        if (!m_s.brush.null) p->fillRect(qr, ToQColor(m_s.brush.color));
        return true;
    case BLACKNESS:
        p->fillRect(qr, Qt::black);
        return true;
    case WHITENESS:
        p->fillRect(qr, Qt::white);
        return true;
    case DSTINVERT:
    case PATINVERT: {
        if (m_kind != DcKind::Image) return false;
        QColor c = rop == DSTINVERT ? QColor(Qt::white) : ToQColor(m_s.brush.color);
        p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p->fillRect(qr, c);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return true;
    }
    default:
        return false;
    }
}

void Dc::MoveTo(Point p) {
    m_pos = p;
    m_patternPos = 0;
}

void Dc::LineTo(Point p) {
    Point from = m_pos;
    m_pos = p;
    if (m_s.pen.style == PS_NULL) return;
    PlotLine(LPtoDP(from), LPtoDP(p));
}

// Lines step pixel by pixel in device space and leave out their last pixel,
// so a polyline draws each corner once and a styled line keeps its pattern.
void Dc::PlotLine(Point a, Point b) {
    QPainter* p = DevicePainter();
    if (!p) return;
    const Pen& pen = m_s.pen;
    bool invert = m_s.rop2 == R2_NOT;
    if (invert && m_kind != DcKind::Image) return;
    if (pen.width > 1 && pen.style == PS_SOLID && !invert) {
        QPen qp(ToQColor(pen.color), pen.width, Qt::SolidLine, Qt::FlatCap);
        p->setPen(qp);
        p->drawLine(a.x, a.y, b.x, b.y);
        p->setPen(Qt::NoPen);
        return;
    }
    if (invert) p->setCompositionMode(QPainter::RasterOp_NotDestination);
    QColor on = ToQColor(pen.color);
    QColor gap = ToQColor(m_s.bkColor);
    bool opaqueGaps = m_s.bkMode == OPAQUE;
    auto pattern = PenPattern(pen.style);
    int32_t patternTotal = 0;
    for (int32_t v : pattern)
        patternTotal += v;

    int32_t dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    int32_t sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    if (pattern.empty()) {
        // Straight solid lines are one fill.
        if (a.y == b.y && a.x != b.x) {
            int32_t l = sx < 0 ? b.x + 1 : a.x, r = sx < 0 ? a.x + 1 : b.x;
            p->fillRect(QRect(l, a.y, r - l, 1), on);
            p->setCompositionMode(QPainter::CompositionMode_SourceOver);
            return;
        }
        if (a.x == b.x && a.y != b.y) {
            int32_t t = sy < 0 ? b.y + 1 : a.y, bt = sy < 0 ? a.y + 1 : b.y;
            p->fillRect(QRect(a.x, t, 1, bt - t), on);
            p->setCompositionMode(QPainter::CompositionMode_SourceOver);
            return;
        }
    }
    int32_t err = dx + dy;
    int32_t x = a.x, y = a.y;
    while (x != b.x || y != b.y) {
        bool draw = true;
        if (patternTotal) {
            int32_t pos = m_patternPos % patternTotal, seg = 0;
            for (size_t i = 0; i < pattern.size(); ++i) {
                if (pos < seg + pattern[i]) {
                    draw = (i % 2) == 0;
                    break;
                }
                seg += pattern[i];
            }
            ++m_patternPos;
        }
        if (draw)
            p->fillRect(QRect(x, y, 1, 1), on);
        else if (opaqueGaps && !invert)
            p->fillRect(QRect(x, y, 1, 1), gap);
        int32_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Dc::Rectangle(const Rect& r) {
    if (r.IsEmpty()) return;
    if (!m_s.brush.null) FillRect(r.Inflate(-1, -1), m_s.brush);
    if (m_s.pen.style == PS_NULL) return;
    Point saved = m_pos;
    MoveTo({r.left, r.top});
    LineTo({r.right - 1, r.top});
    LineTo({r.right - 1, r.bottom - 1});
    LineTo({r.left, r.bottom - 1});
    LineTo({r.left, r.top});
    m_pos = saved;
}

void Dc::SetPixel(int32_t x, int32_t y, COLORREF c) {
    Point d = LPtoDP(Point{x, y});
    FillDevice({d.x, d.y, d.x + 1, d.y + 1}, c);
}

COLORREF Dc::GetPixel(int32_t x, int32_t y) const {
    if (!m_bitmap) return 0xFFFFFFFF;
    Point d = LPtoDP(Point{x, y});
    const QImage& img = m_bitmap->Image();
    if (!img.valid(d.x, d.y)) return 0xFFFFFFFF;
    return FromQColor(QColor(img.pixel(d.x, d.y)));
}

// --- blits ----------------------------------------------------------------

bool Dc::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, Dc& src, int32_t sx, int32_t sy, uint32_t rop) {
    return StretchBlt(x, y, w, h, src, sx, sy, w, h, rop);
}

bool Dc::StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, Dc& src, int32_t sx, int32_t sy, int32_t sw,
                    int32_t sh, uint32_t rop) {
    if (!src.m_bitmap) return false;
    Rect d = LPtoDP(Rect{x, y, x + w, y + h});
    Rect s = src.LPtoDP(Rect{sx, sy, sx + sw, sy + sh});
    if (d.IsEmpty() || s.IsEmpty()) return true;
    QImage part = src.m_bitmap->Image().copy(s.left, s.top, s.Width(), s.Height());
    // Mirrored blits keep their direction.
    bool mirrorX = (w < 0) != (sw < 0), mirrorY = (h < 0) != (sh < 0);
    if (mirrorX || mirrorY) part = part.mirrored(mirrorX, mirrorY);
    if (part.size() != QSize(d.Width(), d.Height()))
        part = part.scaled(d.Width(), d.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return Blit(d, std::move(part), src.m_bitmap->IsMono(), src.m_s.bkColor, rop);
}

bool Dc::DrawImage(const Rect& dst, const QImage& image, uint32_t rop) {
    Rect d = LPtoDP(dst);
    if (d.IsEmpty() || image.isNull()) return true;
    QImage part = image;
    if (part.size() != QSize(d.Width(), d.Height()))
        part = part.scaled(d.Width(), d.Height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (part.hasAlphaChannel() && rop == SRCCOPY && m_painter) {
        // Images with an alpha channel (icons) blend over what is there.
        QPainter* p = DevicePainter();
        p->drawImage(d.left, d.top, part);
        return true;
    }
    return Blit(d, part.convertToFormat(QImage::Format_RGB32), false, 0xFFFFFF, rop);
}

bool Dc::Blit(const Rect& d, QImage src, bool srcMono, COLORREF srcBk, uint32_t rop) {
    QPainter* p = DevicePainter();
    if (!p) return m_kind == DcKind::Metrics;
    if (src.format() != QImage::Format_RGB32) src = src.convertToFormat(QImage::Format_RGB32);
    bool dstMono = m_bitmap && m_bitmap->IsMono();
    if (srcMono && !dstMono) {
        // Mask bits take the target's text colour (0) and background colour (1).
        QRgb fg = ToRgb(m_s.textColor), bg = ToRgb(m_s.bkColor);
        for (int yy = 0; yy < src.height(); ++yy) {
            auto* line = reinterpret_cast<QRgb*>(src.scanLine(yy));
            for (int xx = 0; xx < src.width(); ++xx)
                line[xx] = (line[xx] & 0xFFFFFF) ? bg : fg;
        }
    } else if (!srcMono && dstMono) {
        // Pixels of the source's background colour become 1, all others 0.
        QRgb key = ToRgb(srcBk) & 0xFFFFFF;
        for (int yy = 0; yy < src.height(); ++yy) {
            auto* line = reinterpret_cast<QRgb*>(src.scanLine(yy));
            for (int xx = 0; xx < src.width(); ++xx)
                line[xx] = (line[xx] & 0xFFFFFF) == key ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        }
    }
    QPainter::CompositionMode mode;
    switch (rop) {
    case SRCCOPY:
        mode = QPainter::CompositionMode_Source;
        break;
    case NOTSRCCOPY:
        mode = QPainter::RasterOp_NotSource;
        break;
    case SRCINVERT:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case SRCAND:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case SRCPAINT:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case SRCINVERTNOT:
        mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    default:
        return false;
    }
    if (m_kind == DcKind::Image) {
        p->setCompositionMode(mode);
        p->drawImage(d.left, d.top, src);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return true;
    }
    // Printer pages and recordings cannot be read back: the operation is
    // worked out in an image band over white paper, and the band is drawn.
    if (rop != SRCCOPY) {
        QImage band = NewRgb32(d.Width(), d.Height(), qRgb(255, 255, 255));
        QPainter bp(&band);
        bp.setCompositionMode(mode);
        bp.drawImage(0, 0, src);
        bp.end();
        src = band;
    }
    p->drawImage(QRect(d.left, d.top, d.Width(), d.Height()), src);
    return true;
}

void Dc::PlayPicture(const QPicture& picture, const Rect& frame, const Rect& dst) {
    QPainter* p = LogicalPainter();
    if (!p || frame.IsEmpty() || dst.IsEmpty()) return;
    p->save();
    p->translate(dst.left, dst.top);
    p->scale(double(dst.Width()) / frame.Width(), double(dst.Height()) / frame.Height());
    p->translate(-frame.left, -frame.top);
    p->drawPicture(0, 0, picture);
    p->restore();
}

} // namespace plat::gdi
