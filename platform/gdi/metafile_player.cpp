#include "platform/gdi/metafile_player.h"

#include <QtGui/QFont>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPolygonF>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <variant>

namespace plat::gdi {

namespace {

constexpr size_t kMaxRecords = 200000;
constexpr uint32_t kMaxPoints = 100000;
constexpr uint32_t kMaxObjects = 4096;

// Bounds-checked little-endian reads of one record's bytes.
class Bytes {
  public:
    explicit Bytes(std::string_view b) : m_b(b) {}
    size_t size() const { return m_b.size(); }
    bool has(size_t at, size_t n) const { return at <= m_b.size() && n <= m_b.size() - at; }
    template <class T> T get(size_t at) const {
        T v{};
        if (has(at, sizeof(T))) std::memcpy(&v, m_b.data() + at, sizeof(T));
        return v;
    }
    std::string_view sub(size_t at, size_t n) const { return has(at, n) ? m_b.substr(at, n) : std::string_view(); }
    // Up to `count` points of two 16-bit coordinates (x, y) from byte `at`,
    // as many as the record holds.
    QPolygonF points16(size_t at, uint32_t count) const {
        QPolygonF p;
        for (uint32_t k = 0; k < count && has(at + 4 * size_t(k), 4); ++k)
            p << QPointF(get<int16_t>(at + 4 * size_t(k)), get<int16_t>(at + 4 * size_t(k) + 2));
        return p;
    }

  private:
    std::string_view m_b;
};

QColor ColorOf(uint32_t ref) {
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

struct PenSpec {
    int style{0}; // 0 solid, 5 none, others dashed
    int width{1};
    QColor color{Qt::black};
};
struct BrushSpec {
    int style{0}; // 0 solid, 1 hollow
    QColor color{Qt::white};
};
struct FontSpec {
    int height{12};
    int weight{400};
    bool italic{false}, underline{false}, strike{false};
    QString face{QStringLiteral("DejaVu Sans")};
};
using GdiObject = std::variant<PenSpec, BrushSpec, FontSpec>;

// The drawing state of the player: the objects selected, the colours and
// modes, and the mapping of logical coordinates onto the image.
class Player {
  public:
    Player(QImage& image, QRectF window) : m_painter(&image), m_size(image.size()), m_window(window) {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        Apply();
    }

    void SetWindowOrg(double x, double y) {
        m_window.moveTopLeft({x, y});
        Apply();
    }
    void SetWindowExt(double cx, double cy) {
        if (cx == 0 || cy == 0) return;
        m_window.setSize({cx, cy});
        Apply();
    }

    void Select(const GdiObject& o) {
        if (auto* p = std::get_if<PenSpec>(&o)) m_pen = *p;
        if (auto* b = std::get_if<BrushSpec>(&o)) m_brush = *b;
        if (auto* f = std::get_if<FontSpec>(&o)) m_font = *f;
    }
    // The stock objects of an enhanced metafile (0x80000000 + index).
    void SelectStock(uint32_t index) {
        switch (index) {
        case 0: m_brush = {0, Qt::white}; break;
        case 1: m_brush = {0, QColor(192, 192, 192)}; break;
        case 2: m_brush = {0, QColor(128, 128, 128)}; break;
        case 3: m_brush = {0, QColor(64, 64, 64)}; break;
        case 4: m_brush = {0, Qt::black}; break;
        case 5: m_brush = {1, Qt::white}; break;
        case 6: m_pen = {0, 1, Qt::white}; break;
        case 7: m_pen = {0, 1, Qt::black}; break;
        case 8: m_pen = {5, 1, Qt::black}; break;
        default: break;
        }
    }

    void SetTextColor(uint32_t c) { m_textColor = ColorOf(c); }
    void SetBkColor(uint32_t c) { m_bkColor = ColorOf(c); }
    void SetBkMode(int mode) { m_opaqueText = mode == 2; }
    void SetTextAlign(uint32_t a) { m_textAlign = a; }

    void MoveTo(QPointF p) { m_pos = p; }
    void LineTo(QPointF p) {
        Prepare(false);
        m_painter.drawLine(m_pos, p);
        m_pos = p;
    }
    void Polyline(const QPolygonF& pts) {
        Prepare(false);
        m_painter.drawPolyline(pts);
    }
    void Polygon(const QPolygonF& pts) {
        Prepare(true);
        m_painter.drawPolygon(pts);
    }
    void PolyPolygon(const QPainterPath& path) {
        Prepare(true);
        m_painter.drawPath(path);
    }
    void Rectangle(QRectF r) {
        Prepare(true);
        m_painter.drawRect(r.normalized());
    }
    void Ellipse(QRectF r) {
        Prepare(true);
        m_painter.drawEllipse(r.normalized());
    }
    void Text(QPointF at, const QString& text) {
        if (text.isEmpty()) return;
        QFont f(m_font.face);
        // The height is in logical units: the mapping scales it with the rest.
        f.setPixelSize(std::max(1, std::abs(m_font.height)));
        f.setWeight(m_font.weight >= 600 ? QFont::Bold : QFont::Normal);
        f.setItalic(m_font.italic);
        f.setUnderline(m_font.underline);
        f.setStrikeOut(m_font.strike);
        m_painter.setFont(f);
        const QFontMetricsF fm(f);
        double x = at.x(), y = at.y();
        const double w = fm.horizontalAdvance(text);
        if ((m_textAlign & 6) == 6)
            x -= w / 2; // centred
        else if (m_textAlign & 2)
            x -= w; // right
        if ((m_textAlign & 24) == 24)
            ; // on the base line
        else if (m_textAlign & 8)
            y -= fm.descent(); // bottom
        else
            y += fm.ascent(); // top
        if (m_opaqueText) m_painter.fillRect(QRectF(x, y - fm.ascent(), w, fm.height()), m_bkColor);
        m_painter.setPen(m_textColor);
        m_painter.drawText(QPointF(x, y), text);
    }

  private:
    void Apply() {
        m_painter.resetTransform();
        if (m_window.width() == 0 || m_window.height() == 0) return;
        const double sx = m_size.width() / m_window.width(), sy = m_size.height() / m_window.height();
        m_painter.setTransform(QTransform(sx, 0, 0, sy, -m_window.left() * sx, -m_window.top() * sy));
    }
    void Prepare(bool fill) {
        if (m_pen.style == 5) {
            m_painter.setPen(Qt::NoPen);
        } else {
            QPen pen(m_pen.color);
            // A width of 0 or 1 is one device pixel whatever the mapping.
            pen.setCosmetic(m_pen.width <= 1);
            pen.setWidthF(m_pen.width <= 1 ? 1.0 : m_pen.width);
            if (m_pen.style >= 1 && m_pen.style <= 4) pen.setStyle(Qt::DashLine);
            m_painter.setPen(pen);
        }
        m_painter.setBrush(fill && m_brush.style != 1 ? QBrush(m_brush.color) : QBrush(Qt::NoBrush));
    }

    QPainter m_painter;
    QSize m_size;
    QRectF m_window;
    PenSpec m_pen;
    BrushSpec m_brush;
    FontSpec m_font;
    QColor m_textColor{Qt::black};
    QColor m_bkColor{Qt::white};
    bool m_opaqueText{true};
    uint32_t m_textAlign{0};
    QPointF m_pos;
};

// The object table: a slot per object, the lowest free slot first (as a
// placeable metafile numbers them), or the number an enhanced metafile names.
class Objects {
  public:
    uint32_t AddToFreeSlot(GdiObject o) {
        uint32_t slot = 0;
        while (m_objects.count(slot)) ++slot;
        if (slot < kMaxObjects) m_objects[slot] = std::move(o);
        return slot;
    }
    void Put(uint32_t slot, GdiObject o) {
        if (slot < kMaxObjects) m_objects[slot] = std::move(o);
    }
    const GdiObject* Find(uint32_t slot) const {
        auto it = m_objects.find(slot);
        return it == m_objects.end() ? nullptr : &it->second;
    }
    void Remove(uint32_t slot) { m_objects.erase(slot); }

  private:
    std::map<uint32_t, GdiObject> m_objects;
};

// ---- placeable metafiles: 16-bit words, parameters often in reverse ----

void PlayWmf(const Bytes& all, QImage& image) {
    const int16_t left = all.get<int16_t>(6), top = all.get<int16_t>(8);
    const int16_t right = all.get<int16_t>(10), bottom = all.get<int16_t>(12);
    Player play(image, QRectF(left, top, right - left, bottom - top));
    Objects objects;
    // The placeable header (22 bytes), then the metafile header, whose size
    // is counted in words.
    size_t at = 22 + size_t(all.get<uint16_t>(22 + 2)) * 2;
    for (size_t n = 0; n < kMaxRecords && all.has(at, 6); ++n) {
        const uint64_t words = all.get<uint32_t>(at);
        const uint16_t fn = all.get<uint16_t>(at + 4);
        if (fn == 0 || words < 3 || !all.has(at, words * 2)) break;
        const Bytes r(all.sub(at, words * 2));
        at += words * 2;
        auto i16 = [&](size_t k) { return double(r.get<int16_t>(6 + 2 * k)); };
        auto pt = [&](size_t k) { return QPointF(i16(k + 1), i16(k)); }; // y then x
        auto rect = [&] { return QRectF(QPointF(i16(3), i16(2)), QPointF(i16(1), i16(0))); };
        switch (fn) {
        case 0x020B: play.SetWindowOrg(i16(1), i16(0)); break;
        case 0x020C: play.SetWindowExt(i16(1), i16(0)); break;
        case 0x0209: play.SetTextColor(r.get<uint32_t>(6)); break;
        case 0x0201: play.SetBkColor(r.get<uint32_t>(6)); break;
        case 0x0102: play.SetBkMode(r.get<uint16_t>(6)); break;
        case 0x012E: play.SetTextAlign(r.get<uint16_t>(6)); break;
        case 0x0214: play.MoveTo(pt(0)); break;
        case 0x0213: play.LineTo(pt(0)); break;
        case 0x0325: play.Polyline(r.points16(8, std::min<uint32_t>(r.get<uint16_t>(6), kMaxPoints))); break;
        case 0x0324: play.Polygon(r.points16(8, std::min<uint32_t>(r.get<uint16_t>(6), kMaxPoints))); break;
        case 0x0538: { // polypolygon: the counts, then all points
            const uint32_t polys = std::min<uint32_t>(r.get<uint16_t>(6), kMaxPoints);
            QPainterPath path;
            size_t from = 8 + 2 * size_t(polys);
            uint32_t total = 0;
            for (uint32_t k = 0; k < polys && total < kMaxPoints; ++k) {
                const uint32_t count = std::min<uint32_t>(r.get<uint16_t>(8 + 2 * k), kMaxPoints - total);
                path.addPolygon(r.points16(from, count));
                path.closeSubpath();
                from += 4 * size_t(count);
                total += count;
            }
            play.PolyPolygon(path);
            break;
        }
        case 0x041B: play.Rectangle(rect()); break;
        case 0x0418: play.Ellipse(rect()); break;
        case 0x061C: play.Rectangle(QRectF(QPointF(i16(5), i16(4)), QPointF(i16(3), i16(2)))); break;
        case 0x0521: { // TextOut: count, bytes (even length), y, x
            const uint16_t count = r.get<uint16_t>(6);
            const size_t padded = (size_t(count) + 1) & ~size_t(1);
            const std::string_view text = r.sub(8, count);
            play.Text(QPointF(r.get<int16_t>(8 + padded + 2), r.get<int16_t>(8 + padded)),
                      QString::fromLatin1(text.data(), qsizetype(text.size())));
            break;
        }
        case 0x0A32: { // ExtTextOut: y, x, count, options, [rectangle], bytes
            const uint16_t count = r.get<uint16_t>(10), options = r.get<uint16_t>(12);
            const size_t from = 14 + ((options & 0x6) ? 8 : 0);
            const std::string_view text = r.sub(from, count);
            play.Text(QPointF(r.get<int16_t>(8), r.get<int16_t>(6)),
                      QString::fromLatin1(text.data(), qsizetype(text.size())));
            break;
        }
        case 0x02FA: { // pen: style, width (x, y), colour
            PenSpec p{r.get<uint16_t>(6) & 0xF, r.get<int16_t>(8), ColorOf(r.get<uint32_t>(12))};
            objects.AddToFreeSlot(p);
            break;
        }
        case 0x02FC: { // brush: style, colour, hatch
            BrushSpec b{r.get<uint16_t>(6) == 1 ? 1 : 0, ColorOf(r.get<uint32_t>(8))};
            objects.AddToFreeSlot(b);
            break;
        }
        case 0x02FB: { // font: height, width, escapement, orientation, weight, flags, ..., face
            FontSpec f;
            f.height = r.get<int16_t>(6);
            f.weight = r.get<int16_t>(14);
            f.italic = r.get<uint8_t>(16) != 0;
            f.underline = r.get<uint8_t>(17) != 0;
            f.strike = r.get<uint8_t>(18) != 0;
            const std::string_view face = r.sub(24, std::min<size_t>(32, r.size() > 24 ? r.size() - 24 : 0));
            const QString name = QString::fromLatin1(face.data(), qsizetype(face.size())).section(QChar(0), 0, 0);
            if (!name.isEmpty()) f.face = name;
            objects.AddToFreeSlot(f);
            break;
        }
        case 0x012D:
            if (const GdiObject* o = objects.Find(r.get<uint16_t>(6))) play.Select(*o);
            break;
        case 0x01F0: objects.Remove(r.get<uint16_t>(6)); break;
        default: break;
        }
    }
}

// ---- enhanced metafiles: 32-bit records ----

void PlayEmf(const Bytes& all, QImage& image) {
    // The header's bounds (device units of the reference device).
    const QRectF bounds(QPointF(all.get<int32_t>(8), all.get<int32_t>(12)),
                        QPointF(all.get<int32_t>(16) + 1, all.get<int32_t>(20) + 1));
    Player play(image, bounds);
    Objects objects;
    size_t at = 0;
    for (size_t n = 0; n < kMaxRecords && all.has(at, 8); ++n) {
        const uint32_t type = all.get<uint32_t>(at), size = all.get<uint32_t>(at + 4);
        if (size < 8 || size % 4 != 0 || !all.has(at, size)) break;
        const Bytes r(all.sub(at, size));
        at += size;
        auto i32 = [&](size_t off) { return double(r.get<int32_t>(off)); };
        auto rect = [&] { return QRectF(QPointF(i32(8), i32(12)), QPointF(i32(16), i32(20))); };
        auto points32 = [&] {
            QPolygonF p;
            const uint32_t count = std::min(r.get<uint32_t>(24), kMaxPoints);
            for (uint32_t k = 0; k < count && r.has(28 + 8 * k, 8); ++k) p << QPointF(i32(28 + 8 * k), i32(32 + 8 * k));
            return p;
        };
        switch (type) {
        case 14: return; // end of file
        case 9: play.SetWindowExt(i32(8), i32(12)); break;
        case 10: play.SetWindowOrg(i32(8), i32(12)); break;
        case 18: play.SetBkMode(r.get<int32_t>(8)); break;
        case 22: play.SetTextAlign(r.get<uint32_t>(8)); break;
        case 24: play.SetTextColor(r.get<uint32_t>(8)); break;
        case 25: play.SetBkColor(r.get<uint32_t>(8)); break;
        case 27: play.MoveTo({i32(8), i32(12)}); break;
        case 54: play.LineTo({i32(8), i32(12)}); break;
        case 4: play.Polyline(points32()); break;
        case 3: play.Polygon(points32()); break;
        case 87: play.Polyline(r.points16(28, std::min(r.get<uint32_t>(24), kMaxPoints))); break;
        case 86: play.Polygon(r.points16(28, std::min(r.get<uint32_t>(24), kMaxPoints))); break;
        case 91: { // polypolygon16: bounds, polygons, points, counts, then points
            const uint32_t polys = std::min(r.get<uint32_t>(24), kMaxPoints);
            size_t from = 32 + 4 * size_t(polys);
            QPainterPath path;
            uint32_t total = 0;
            for (uint32_t k = 0; k < polys && total < kMaxPoints; ++k) {
                const uint32_t count = std::min(r.get<uint32_t>(32 + 4 * k), kMaxPoints - total);
                path.addPolygon(r.points16(from, count));
                path.closeSubpath();
                from += 4 * size_t(count);
                total += count;
            }
            play.PolyPolygon(path);
            break;
        }
        case 43: play.Rectangle(rect()); break;
        case 42: play.Ellipse(rect()); break;
        case 38: { // pen: slot, style, width (x, y), colour
            objects.Put(r.get<uint32_t>(8),
                        PenSpec{int(r.get<uint32_t>(12) & 0xF), r.get<int32_t>(16), ColorOf(r.get<uint32_t>(24))});
            break;
        }
        case 39: { // brush: slot, style, colour, hatch
            objects.Put(r.get<uint32_t>(8), BrushSpec{r.get<uint32_t>(12) == 1 ? 1 : 0, ColorOf(r.get<uint32_t>(16))});
            break;
        }
        case 82: { // font: slot, then the logical font
            FontSpec f;
            f.height = r.get<int32_t>(12);
            f.weight = r.get<int32_t>(28);
            f.italic = r.get<uint8_t>(32) != 0;
            f.underline = r.get<uint8_t>(33) != 0;
            f.strike = r.get<uint8_t>(34) != 0;
            QString face;
            for (size_t k = 0; k < 32 && r.has(40 + 2 * k, 2); ++k) {
                const char16_t c = r.get<char16_t>(40 + 2 * k);
                if (c == 0) break;
                face += QChar(c);
            }
            if (!face.isEmpty()) f.face = face;
            objects.Put(r.get<uint32_t>(8), f);
            break;
        }
        case 37: {
            const uint32_t slot = r.get<uint32_t>(8);
            if (slot & 0x80000000u)
                play.SelectStock(slot & 0x7FFFFFFFu);
            else if (const GdiObject* o = objects.Find(slot))
                play.Select(*o);
            break;
        }
        case 40: objects.Remove(r.get<uint32_t>(8)); break;
        case 84: { // ExtTextOutW: bounds, mode, scales, then the text record
            const QPointF ref(i32(36), i32(40));
            const uint32_t chars = std::min<uint32_t>(r.get<uint32_t>(44), 4096);
            const uint32_t off = r.get<uint32_t>(48);
            QString text;
            for (uint32_t k = 0; k < chars && r.has(off + 2 * size_t(k), 2); ++k)
                text += QChar(r.get<char16_t>(off + 2 * size_t(k)));
            play.Text(ref, text);
            break;
        }
        default: break;
        }
    }
}

} // namespace

QImage PlayMetafile(int32_t kind, std::string_view bytes, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    const Bytes all(bytes);
    if (kind == 2) {
        if (!all.has(0, 22 + 18) || all.get<uint32_t>(0) != 0x9AC6CDD7u) return {};
        if (all.get<int16_t>(10) == all.get<int16_t>(6) || all.get<int16_t>(12) == all.get<int16_t>(8)) return {};
    } else if (kind == 4) {
        if (!all.has(0, 88) || all.get<uint32_t>(0) != 1 || std::memcmp(bytes.data() + 40, " EMF", 4) != 0)
            return {};
    } else {
        return {};
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (kind == 2)
        PlayWmf(all, image);
    else
        PlayEmf(all, image);
    return image;
}

} // namespace plat::gdi
