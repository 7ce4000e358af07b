#include "vinca/views/grid_cell.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>

#include "platform/gdi/font.h"
#include "vinca/model/format.h"

namespace vinca {

using namespace plat::gdi;

namespace {

// Multi-line (word break) and single-line measuring formats: no prefix,
// external leading, tab expansion.
constexpr uint32_t kMeasureMulti = 0xE50;
constexpr uint32_t kMeasureSingle = 0xE60;

// DrawText alignment bits of text alignments 1..9 (column by column: left
// top, left middle, left bottom, centre top...).
constexpr int32_t kTextFormats[10] = {0, 0, 4, 8, 1, 5, 9, 2, 6, 10};

int32_t Clamp(int32_t v) {
    return std::clamp(v, 0, kMaxCellSize);
}

int32_t ScreenWidth() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

COLORREF Translate(int32_t ole) {
    return TranslateOleColor(uint32_t(ole)).value_or(0);
}

// A size placed in a box by a 1..9 alignment: horizontal class (a - 1) / 3 + 1,
// vertical class a mod 3 (3 for 0); never before the box start; the far edge
// clipped to the box.
Rect Place(const Rect& box, int32_t w, int32_t h, int32_t align, bool* fits) {
    int32_t hc = (align - 1) / 3 + 1, vc = align % 3 == 0 ? 3 : align % 3;
    int32_t x = hc == 1 ? box.left : hc == 2 ? box.left + (box.Width() - w) / 2 : box.right - w;
    int32_t y = vc == 1 ? box.top : vc == 2 ? box.top + (box.Height() - h) / 2 : box.bottom - h;
    x = std::max(x, box.left);
    y = std::max(y, box.top);
    if (fits && (w > box.Width() || h > box.Height())) *fits = false;
    return {x, y, std::min(x + w, box.right), std::min(y + h, box.bottom)};
}

Rect Shrink(const Rect& r) {
    Rect s = r.Inflate(-1, -1);
    return s.IsEmpty() ? Rect{} : s;
}

std::string Formatted(const IAttrChain& a) {
    plat::Variant v, fmt;
    if (!a.Lookup("__Value", v)) return {};
    std::string format;
    if (a.Lookup("__Format", fmt)) format = fmt.to_utf8();
    return FormatValue(v, format);
}

std::string TextOf(const IAttrChain& a, const char* key) {
    plat::Variant v;
    if (!a.Lookup(key, v)) return {};
    return v.to_utf8();
}

} // namespace

bool IsRichCellText(std::string_view text, int32_t rtfStyle) {
    if (rtfStyle != 1 || text.size() < 7) return false;
    size_t i = text.find_first_not_of(' ');
    return i != std::string_view::npos && text.substr(i, 6) == "{\\rtf1";
}

CRichTextHost& RichHostFor(bool multiLine) {
    static thread_local std::unique_ptr<CRichTextHost> hosts[2];
    auto& h = hosts[multiLine ? 1 : 0];
    if (!h) h = std::make_unique<CRichTextHost>(multiLine);
    return *h;
}

// --- attribute reads --------------------------------------------------------

void CMVGridCellMetrics::ReadColorKeys(const IAttrChain& a, const char* back, const char* border,
                                       const char* grdFrom, const char* grdTo) {
    auto read = [&](const char* key, COLORREF& into) {
        if (auto v = a.FindInt(key)) into = Translate(*v);
    };
    read("__ForeColor", m_foreColor);
    read(back, m_backColor);
    read(border, m_borderColor);
    read("__SelFrColor", m_selForeColor);
    read("__SelBkColor", m_selBackColor);
    read("__TransBMPColor", m_transparentColor);
    m_transparent = a.GetInt("__IsSetBMPColor") != 0;
    if (m_gradient.style != GRADIENT_NONE) {
        read(grdFrom, m_gradient.colorFrom);
        read(grdTo, m_gradient.colorTo);
    }
}

void CMVGridCellMetrics::ReadColors(const IAttrChain& a) {
    ReadColorKeys(a, "__BackColor", "__BorderColor", "__GrdColorFrom", "__GrdColorTo");
}

void CGeneralizedGridCellMetrics::ReadColors(const IAttrChain& a) {
    ReadColorKeys(a, "__InnerBackColor", "__InnerBorderColor", "__InnerGrdColorFrom", "__InnerGrdColorTo");
}

void CMVGridCellMetrics::ReadAlignmentKeys(const IAttrChain& a, const char* pic, const char* text,
                                           const char* align, const char* rtf) {
    m_picAlign = a.GetInt(pic);
    m_textAlign = a.GetInt(text);
    m_alignment = a.GetInt(align);
    m_rtfStyle = a.GetInt(rtf);
}

void CMVGridCellMetrics::ReadAlignments(const IAttrChain& a) {
    ReadAlignmentKeys(a, "__PicAlign", "__TextAlign", "__Alignment", "__RTFStyle");
}

void CGeneralizedGridCellMetrics::ReadAlignments(const IAttrChain& a) {
    ReadAlignmentKeys(a, "__InnerPicAlign", "__InnerTextAlign", "__InnerAlignment", "__InnerRTFStyle");
}

void CMVGridCellMetrics::ReadBorder(const IAttrChain& a) {
    int32_t style = GetBorderStyle(a);
    m_borderWidth = style == BORDER_FLAT1 ? 1 : style == BORDER_FLAT2 ? 2 : 0;
    m_has3D = style == BORDER_3D_INSET || style == BORDER_3D_OUTSET;
    m_border3D.inset = style == BORDER_3D_INSET;
    m_border3D.width = m_has3D ? std::max(0, a.GetInt("__3DBorder")) : 0;
    m_invertBorder = GetInvBorderStyle(a) != 0;
}

void CMVGridCellMetrics::ReadPicture(const IAttrChain& a) {
    if (m_picAlign != PICALIGN_HIDDEN && !(m_picAlign == PICALIGN_COUPLED && m_textAlign == 0))
        a.GetPicture("__Picture", m_picture);
    else
        m_picture.Clear();
    if (m_picture.IsEmpty()) {
        m_pictureWidth = m_pictureHeight = 0;
        return;
    }
    Size s = PictureHolderGetSize(m_picture);
    int32_t dpi = ScreenPixelsPerInch();
    if (int32_t w = GetPictureWidth(a); w > 0) s.cx = MulDiv(dpi, w, 2540);
    if (int32_t h = GetPictureHeight(a); h > 0) s.cy = MulDiv(dpi, h, 2540);
    m_pictureWidth = s.cx + 2;
    m_pictureHeight = s.cy + 2;
}

std::string CMVGridCellMetrics::GetText(const IAttrChain& a) const {
    return Formatted(a);
}

std::string CGeneralizedGridCellMetrics::GetText(const IAttrChain& a) const {
    std::string t = TextOf(a, "__Text");
    return t.empty() ? " " : t;
}

std::string CItemColumnCellMetrics::GetText(const IAttrChain& a) const {
    std::string t = a.Has("__Text") ? TextOf(a, "__Text") : Formatted(a);
    return t.empty() ? " " : t;
}

namespace {

std::string TitleText(const IAttrChain& a, int32_t textAlign, const char* autoFill, const char* indexKey,
                      int32_t& rtfStyle) {
    plat::Variant v;
    if (a.Lookup("__Value", v) && v.vt != plat::VT_EMPTY && v.vt != plat::VT_NULL) {
        std::string t = Formatted(a);
        if (!t.empty()) return t;
    }
    if (textAlign != 0 && a.GetInt(autoFill) != 0) {
        rtfStyle = 0;
        plat::Variant index, fmt;
        a.Lookup(indexKey, index);
        a.Lookup("__Format", fmt);
        std::string t = FormatValue(index, fmt.vt == plat::VT_EMPTY ? std::string() : fmt.to_utf8());
        return t.empty() ? " " : t;
    }
    return " ";
}

} // namespace

std::string CMVGridColTitleCellMetrics::GetText(const IAttrChain& a) const {
    int32_t rtf = m_rtfStyle;
    std::string t = TitleText(a, m_textAlign, "__AutoFillColTitles", "__ColTitleIndex", rtf);
    const_cast<CMVGridColTitleCellMetrics*>(this)->m_rtfStyle = rtf;
    return t;
}

std::string CMVGridRowTitleCellMetrics::GetText(const IAttrChain& a) const {
    int32_t rtf = m_rtfStyle;
    std::string t = TitleText(a, m_textAlign, "__AutoFillRowTitles", "__RowTitleIndex", rtf);
    const_cast<CMVGridRowTitleCellMetrics*>(this)->m_rtfStyle = rtf;
    return t;
}

// --- measuring -----------------------------------------------------------------

Size CMVGridCellMetrics::MeasurePlainOrRich(Dc& dc, int32_t limit) {
    if (IsRich()) {
        CRichTextHost& host = RichHostFor(m_multiLine);
        FontDesc d = m_font.IsEmpty() ? DefaultFontDesc() : m_font.Get()->Desc();
        host.ApplyFormat(CellCharFormat(d, m_foreColor), CellParaFormat(uint32_t(m_drawFormat)));
        Rect r = host.Measure(m_text, limit < 0 ? Rect{0, 0, -1, 0} : Rect{0, 0, limit, 0});
        return {r.Width(), r.Height()};
    }
    SelectedFont sel(dc, m_font.GetHandle());
    Rect r{0, 0, limit < 0 ? kMaxCellSize : limit, 0};
    dc.DrawText(m_text, r, m_multiLine ? kMeasureMulti : kMeasureSingle);
    Size s{r.Width(), r.Height()};
    // Italic overhang and the underline below the last line.
    const plat::gdi::Font& f = m_font.GetHandle();
    if (f.Spec().italic) s.cx += f.Metrics().tmMaxCharWidth / 2;
    if (f.Spec().underline) s.cy += f.Metrics().tmWeight == 700 ? 2 : 1;
    return s;
}

void CMVGridCellMetrics::MeasureText(Dc& dc, int32_t width, const IAttrChain& a, bool growToText) {
    m_textFits = true;
    m_useTextDrawRect = false;
    if (m_textAlign == 0) {
        m_text.clear();
        m_textWidth = m_textHeight = 0;
        return;
    }
    m_drawFormat = m_textAlign >= 1 && m_textAlign <= 9 ? kTextFormats[m_textAlign] : 0;
    if (m_picAlign == PICALIGN_COUPLED) m_drawFormat = 4;
    m_text = GetText(a);
    bool rich = IsRich();
    if (!rich) {
        std::u32string chars = ToU32(m_text);
        if (chars.size() > kMaxCellText)
            m_text = ToUtf8(std::u32string_view(chars).substr(0, kMaxCellText - 3)) + "...";
    }
    a.GetFont("__Font", m_font);
    m_multiLine = a.GetInt("__Multiline") != 2;
    m_drawFormat |= m_multiLine ? 0x10 : 0x20;
    m_tabStop = GetTabStop(a);
    m_fixedWidth = false;
    const int32_t m = Margin();

    if (!m_multiLine && m_tabStop >= 1 && !rich) {
        SelectedFont sel(dc, m_font.GetHandle());
        int32_t tabs[] = {m_tabStop};
        Size s = dc.GetTabbedTextExtent(m_text, tabs);
        const plat::gdi::Font& f = m_font.GetHandle();
        if (f.Spec().italic) s.cx += f.Metrics().tmMaxCharWidth / 2;
        if (f.Spec().underline) s.cy += f.Metrics().tmWeight == 700 ? 2 : 1;
        m_textWidth = Clamp(s.cx + 2);
        m_textHeight = Clamp(s.cy + 2);
        m_fixedWidth = width > 0;
        return;
    }

    Size s;
    if (width < 0) {
        int32_t max = GetMaxTextWidth(a);
        const int32_t screen = ScreenWidth();
        if (growToText && max >= -1) max = std::min(max, screen);
        if ((!m_multiLine && !rich) || max < -1) {
            s = MeasurePlainOrRich(dc, -1);
            if (growToText && max < -1) s.cx = std::max(s.cx, screen / 5);
            m_textWidth = s.cx + 2;
        } else {
            m_fixedWidth = true;
            Size natural = MeasurePlainOrRich(dc, -1);
            s = MeasurePlainOrRich(dc, std::max(0, max));
            if (max < natural.cx) m_textFits = false;
            m_textWidth = max + 2;
        }
        m_maxTextWidth = max;
    } else {
        int32_t available = std::max(0, width - 2 * m);
        bool beside = m_picAlign != PICALIGN_HIDDEN && m_picAlign != PICALIGN_STRETCH &&
                      m_picAlign != PICALIGN_TILE && m_pictureWidth > 0;
        if (beside && m_alignment == ALIGN_PIC_LEFT) available = std::max(0, available - m_pictureWidth);
        if (beside && m_alignment == ALIGN_PIC_RIGHT) available = std::max(20, available - m_pictureWidth);
        int32_t limit = std::max(0, available - 2);
        int32_t max = -2;
        if (m_multiLine || rich) {
            max = GetMaxTextWidth(a);
            if (max >= -1) {
                m_fixedWidth = true;
                limit = max;
            }
            int32_t min = GetMinTextWidth(a);
            if (min >= -1) limit = std::max(limit, min);
        }
        s = MeasurePlainOrRich(dc, std::max(0, limit));
        m_textWidth = s.cx + 2;
        if (available < m_textWidth) {
            m_textFits = false;
            m_textWidth = available;
        }
        if (m_fixedWidth) {
            m_textWidth = max + 2;
            m_textFits = available >= max + 2;
        }
        m_maxTextWidth = max;
    }
    m_textWidth = Clamp(m_textWidth);
    m_textHeight = Clamp(s.cy + 2);
}

Size CMVGridCellMetrics::ContentSize() const {
    const int32_t f = 2 * Margin();
    if (m_textAlign != 0) {
        if (m_picAlign == PICALIGN_HIDDEN || m_picAlign == PICALIGN_STRETCH || m_picAlign == PICALIGN_TILE)
            return {m_textWidth + f, m_textHeight + f};
        switch (m_alignment) {
        case ALIGN_PIC_LEFT:
        case ALIGN_PIC_RIGHT:
            return {f + m_pictureWidth + m_textWidth, f + std::max(m_pictureHeight, m_textHeight)};
        case ALIGN_PIC_ABOVE:
        case ALIGN_PIC_BELOW:
            return {f + std::max(m_pictureWidth, m_textWidth), f + m_pictureHeight + m_textHeight};
        default:
            return {f, f};
        }
    }
    if (m_picAlign >= 1 && m_picAlign <= 9) return {m_pictureWidth + f, m_pictureHeight + f};
    return {f, f};
}

// --- arranging -----------------------------------------------------------------

namespace {

// Splits a box between picture and text along one axis. `first` is the
// part that comes first (left or top) with its size; the other follows.
void Split(int32_t start, int32_t end, int32_t firstSize, int32_t secondSize, bool hasFirst, bool hasSecond,
           int32_t& splitAt, int32_t& secondEnd) {
    int32_t len = end - start;
    secondEnd = end;
    if (firstSize + secondSize <= len) {
        if (!hasFirst)
            splitAt = start;
        else if (!hasSecond)
            splitAt = end;
        else
            splitAt = start + firstSize + (len - firstSize - secondSize) / 2;
    } else {
        splitAt = start + std::min(firstSize, len);
        secondEnd = std::min(end, splitAt + secondSize);
    }
}

} // namespace

void CMVGridCellMetrics::Arrange() {
    const int32_t m = Margin();
    Rect box{m, m, m_width - m, m_height - m};
    m_picBox = m_textBox = {};
    m_pictureRect = m_textRect = m_textDrawRect = {};
    m_useTextDrawRect = false;
    if (box.right < box.left || box.bottom < box.top) return;
    const bool hasPic = !m_picture.IsEmpty();
    const bool hasText = m_textAlign != 0;
    const int32_t pw = hasPic ? m_pictureWidth : 0, ph = hasPic ? m_pictureHeight : 0;
    const int32_t tw = m_textWidth, th = m_textHeight;

    auto arrangeIn = [&](const Rect& b) {
        switch (m_alignment) {
        case ALIGN_PIC_LEFT: {
            int32_t x, textEnd;
            Split(b.left, b.right, pw, tw, hasPic, hasText, x, textEnd);
            m_picBox = {b.left, b.top, x, b.bottom};
            m_textBox = {x, b.top, textEnd, b.bottom};
            break;
        }
        case ALIGN_PIC_RIGHT: {
            int32_t len = b.Width();
            if (pw + tw <= len) {
                int32_t x = !hasPic ? b.right : !hasText ? b.left : b.right - pw - (len - pw - tw) / 2;
                m_textBox = {b.left, b.top, x, b.bottom};
                m_picBox = {x, b.top, b.right, b.bottom};
            } else {
                int32_t keep = (m_fixedWidth && tw < 20) ? tw : std::min(tw, 20);
                int32_t x = std::max(b.right - pw, b.left + keep);
                x = std::min(x, b.right);
                m_textBox = {b.left, b.top, x, b.bottom};
                m_picBox = {x, b.top, b.right, b.bottom};
            }
            break;
        }
        case ALIGN_PIC_ABOVE: {
            int32_t y, textEnd;
            Split(b.top, b.bottom, ph, th, hasPic, hasText, y, textEnd);
            m_picBox = {b.left, b.top, b.right, y};
            m_textBox = {b.left, y, b.right, textEnd};
            break;
        }
        case ALIGN_PIC_BELOW: {
            int32_t y, picEnd;
            Split(b.top, b.bottom, th, ph, hasText, hasPic, y, picEnd);
            m_textBox = {b.left, b.top, b.right, y};
            m_picBox = {b.left, y, b.right, picEnd};
            break;
        }
        default:
            m_allVisible = false;
            break;
        }
    };

    if (!hasText) {
        m_picBox = box;
    } else if (m_picAlign == PICALIGN_HIDDEN || m_picAlign == PICALIGN_STRETCH ||
               m_picAlign == PICALIGN_TILE) {
        m_picBox = m_textBox = box;
    } else if (m_picAlign == PICALIGN_COUPLED) {
        // Picture and text as one block placed by the text alignment.
        Size block = ContentSize();
        block.cx -= 2 * m;
        block.cy -= 2 * m;
        Rect b =
            Place(box, block.cx, block.cy, m_textAlign >= 1 && m_textAlign <= 9 ? m_textAlign : 1, nullptr);
        arrangeIn(b);
    } else {
        arrangeIn(box);
    }

    int32_t picAlign = m_picAlign == PICALIGN_COUPLED ? 1 : m_picAlign;
    if (hasPic && picAlign != PICALIGN_HIDDEN) {
        if (picAlign == PICALIGN_STRETCH || picAlign == PICALIGN_TILE)
            m_pictureRect = Shrink(m_picBox);
        else if (picAlign >= 1 && picAlign <= 9)
            m_pictureRect = Shrink(Place(m_picBox, pw, ph, picAlign, &m_allVisible));
    }
    if (hasText) {
        int32_t textAlign = m_picAlign == PICALIGN_COUPLED ? 4 : m_textAlign;
        if (textAlign < 1 || textAlign > 9) textAlign = 1;
        bool fits = true;
        Rect placed = Place(m_textBox, tw, th, textAlign, &fits);
        m_textRect = Shrink(placed);
        if (!fits || m_fixedWidth) {
            int32_t vc = textAlign % 3 == 0 ? 3 : textAlign % 3;
            int32_t over = th - m_textBox.Height();
            int32_t top = placed.top;
            if (over > 0) top -= vc == 2 ? over / 2 : vc == 3 ? over : 0;
            m_textDrawRect = Shrink({placed.left, top, placed.left + tw, top + th});
            m_useTextDrawRect = true;
        }
    }
}

void CMVGridCellMetrics::FullLayout(Dc& dc, Size size, const IAttrChain& a) {
    ReadBorder(a);
    const int32_t m = Margin();
    m_allVisible = true;
    if (size.cx == 0) {
        m_width = m_height = 0;
        m_allVisible = false;
        return;
    }
    ReadAlignments(a);
    m_gradient.style = GetGradientStyle(a);
    Refresh(a);
    ReadPicture(a);
    MeasureText(dc, size.cx, a, false);
    if (size.cx == -1 || size.cx > 2 * m) {
        Size content = ContentSize();
        m_width = Clamp(size.cx == -1 ? content.cx : size.cx);
        m_height = Clamp(size.cy == -1 ? content.cy : size.cy);
        Arrange();
    } else {
        m_width = size.cx;
        m_height = 2 * m;
        m_allVisible = false;
    }
}

void CMVGridCellMetrics::Refresh(const IAttrChain& a) {
    m_gradient.style = GetGradientStyle(a);
    ReadColors(a);
    m_invStyle = a.GetInt("__InvStyle");
    if (m_invStyle != 2 && m_invStyle != 5)
        a.GetPicture("__PictureInv", m_pictureSelected);
    else
        m_pictureSelected.Clear();
    if (m_has3D) {
        if (auto v = a.FindInt("__3DShadowColor")) m_border3D.shadow = Translate(*v);
    }
}

void CMVGridCellMetrics::Layout(Dc& dc, Size size, const IAttrChain& a, int32_t kind) {
    switch (kind) {
    case LAYOUT_FULL:
    case LAYOUT_FULL_FIXED_HEIGHT:
        FullLayout(dc, size, a);
        break;
    case LAYOUT_HEIGHT:
        if (size.cy != m_height && size.cy != -1) {
            m_height = Clamp(size.cy);
            const int32_t m2 = 2 * Margin();
            m_allVisible = m_width >= m2 && m_height >= m2;
            Arrange();
        }
        break;
    case LAYOUT_REFRESH:
        Refresh(a);
        break;
    case LAYOUT_GROW_TO_TEXT: {
        MeasureText(dc, -1, a, true);
        COLORREF fore = Translate(a.FindInt("__ForeColor").value_or(0));
        COLORREF back = Translate(a.FindInt("__BackColor").value_or(0xFFFFFF));
        if (a.GetInt("__UnSetTransparentCLRs") != 0) {
            fore &= ~kNoColorBit;
            back &= ~kNoColorBit;
        }
        m_foreColor = fore;
        m_backColor = back;
        Size content = ContentSize();
        m_width = Clamp(std::max(m_width, content.cx));
        m_height = Clamp(std::max(m_height, content.cy));
        Arrange();
        break;
    }
    default:
        break;
    }
}

// --- hit testing and parts -------------------------------------------------------

bool CMVGridCellMetrics::HitTest(Point p, CHitTestInfo& info) const {
    if (!Rect{0, 0, m_width, m_height}.Contains(p)) return false;
    info.kind = HIT_CELL;
    info.key.clear();
    info.rect = {0, 0, m_width, m_height};
    info.allVisible = m_allVisible;
    info.textFits = m_textFits;
    if (m_pictureRect.Contains(p)) {
        info.kind = HIT_PICTURE;
        info.key = "__Picture";
        info.rect = m_pictureRect;
    } else if (m_textRect.Contains(p)) {
        info.kind = HIT_TEXT;
        info.key = "__Text";
        info.rect = m_textRect;
    }
    return true;
}

bool CGeneralizedGridCellMetrics::HitTest(Point p, CHitTestInfo& info) const {
    if (!CMVGridCellMetrics::HitTest(p, info)) return false;
    info.kind = info.kind == HIT_CELL      ? HIT_ITEM
                : info.kind == HIT_PICTURE ? HIT_PICTURE_ITEM
                                           : HIT_TEXT_ITEM;
    return true;
}

Rect CMVGridCellMetrics::GetPartRect(std::string_view part) const {
    Rect r;
    if (part.empty())
        r = {0, 0, m_width, m_height};
    else if (part == "__Text")
        r = m_textRect.IsEmpty() ? Rect{} : m_textRect.Inflate(1, 1);
    else if (part == "__Picture")
        r = m_pictureRect;
    if (r.IsEmpty()) return {};
    ClipToParent(r);
    return r;
}

bool CMVGridCellMetrics::GetProperty(std::string_view key, plat::Variant& out) const {
    bool invert1 = m_invStyle == 1;
    if (key == "__ForeColor")
        out = plat::Variant(int32_t(m_foreColor));
    else if (key == "__BackColor")
        out = plat::Variant(int32_t(m_backColor));
    else if (key == "__SelFrColor")
        out = plat::Variant(int32_t(invert1 ? m_foreColor : m_selForeColor));
    else if (key == "__SelBkColor")
        out = plat::Variant(int32_t(invert1 ? m_backColor : m_selBackColor));
    else if (key == "__TextIsMultiLine")
        out = plat::Variant::boolean(m_multiLine);
    else if (key == "__Font") {
        if (!m_font.Get()) return false;
        out = plat::Variant(static_cast<plat::IDispatch*>(m_font.Get()));
    } else if (key == "__Text")
        out = plat::Variant(std::string_view(m_text));
    else if (key == "__RTFStyle")
        out = plat::Variant(m_rtfStyle);
    else
        return false;
    return true;
}

// --- border cell -----------------------------------------------------------------

CMVBorderCellMetrics::CMVBorderCellMetrics(std::unique_ptr<CCellMetrics> inner) : m_inner(std::move(inner)) {
    m_inner->SetParent(this);
}

CMVBorderCellMetrics::CMVBorderCellMetrics(const CMVBorderCellMetrics& o)
    : CMVCellMetrics(o), sides(o.sides), row(o.row), col(o.col), m_inner(o.m_inner->Clone()),
      m_horLineThickness(o.m_horLineThickness), m_verLineThickness(o.m_verLineThickness),
      m_horLineColor(o.m_horLineColor), m_verLineColor(o.m_verLineColor),
      m_verLinesVisible(o.m_verLinesVisible), m_horLinesVisible(o.m_horLinesVisible) {
    m_inner->SetParent(this);
}

void CMVBorderCellMetrics::ReadLines(const IAttrChain& a) {
    m_horLineColor = Translate(a.GetInt("__HorLineColor"));
    m_verLineColor = Translate(a.GetInt("__VerLineColor"));
    m_horLineThickness = std::max(0, a.GetInt("__HorLineThickness"));
    m_verLineThickness = std::max(0, a.GetInt("__VerLineThickness"));
    m_verLinesVisible = a.GetInt("__IsVerGridLinesVisible") != 0;
    m_horLinesVisible = a.GetInt("__IsHorGridLinesVisible") != 0;
}

void CMVBorderCellMetrics::PlaceInner() {
    m_inner->SetOffset((sides & SIDE_LEFT) && m_verLinesVisible ? m_verLineThickness : 0,
                       (sides & SIDE_TOP) && m_horLinesVisible ? m_horLineThickness : 0);
}

void CMVBorderCellMetrics::Layout(Dc& dc, Size size, const IAttrChain& a, int32_t kind) {
    if (kind == LAYOUT_FULL || kind == LAYOUT_FULL_FIXED_HEIGHT) {
        ReadLines(a);
        int32_t hor = m_horLinesVisible ? ((sides & SIDE_TOP) ? m_horLineThickness : 0) +
                                              ((sides & SIDE_BOTTOM) ? m_horLineThickness : 0)
                                        : 0;
        int32_t ver = m_verLinesVisible ? ((sides & SIDE_LEFT) ? m_verLineThickness : 0) +
                                              ((sides & SIDE_RIGHT) ? m_verLineThickness : 0)
                                        : 0;
        int32_t height = size.cy;
        bool fromItemHeight = false;
        if (height == -1) {
            std::optional<double> ih = a.GetNumber("__ItemHeight");
            if (ih && *ih != -1) {
                float twips = float(*ih);
                if (twips > 0) {
                    height = MulDiv(ScreenPixelsPerInch(), int32_t(twips), 1440);
                    fromItemHeight = true;
                } else if (twips == 0) {
                    height = 0;
                    fromItemHeight = true;
                }
            }
        }
        int32_t innerW = size.cx == -1 ? -1 : std::max(0, size.cx - ver);
        int32_t innerH = height == -1 ? -1 : std::max(0, height - hor);
        m_inner->Layout(dc, {innerW, innerH}, a, fromItemHeight ? LAYOUT_FULL_FIXED_HEIGHT : LAYOUT_FULL);
        m_width = size.cx != -1 ? size.cx : m_inner->Width() + ver;
        if (size.cy != -1)
            m_height = size.cy;
        else if (fromItemHeight)
            m_height = height > 0 ? height : (m_inner->Height() > 0 ? m_inner->Height() + hor : height);
        else
            m_height = m_inner->Height() + hor;
    } else if (kind == LAYOUT_HEIGHT) {
        if (size.cy != m_height && size.cy >= 0) {
            m_height = size.cy;
            int32_t top = (sides & SIDE_TOP) && m_horLinesVisible ? m_horLineThickness : 0;
            int32_t bottom = (sides & SIDE_BOTTOM) && m_horLinesVisible ? m_horLineThickness : 0;
            m_inner->Layout(dc, {m_inner->Width(), std::max(0, size.cy - top - bottom)}, a, LAYOUT_HEIGHT);
        }
    } else if (kind == LAYOUT_REFRESH) {
        m_horLineColor = Translate(a.GetInt("__HorLineColor"));
        m_verLineColor = Translate(a.GetInt("__VerLineColor"));
        m_inner->Layout(dc, size, a, LAYOUT_REFRESH);
    } else if (kind >= LAYOUT_GROW_TO_TEXT) {
        m_inner->Layout(dc, size, a, kind - 3);
    }
    PlaceInner();
}

void CMVBorderCellMetrics::Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) {
    Rect cell{x, y, x + m_width, y + m_height};
    {
        CDCClipOrigin frame(dc, cell, clip);
        if (frame.IsEmpty()) return;
    }
    m_inner->Draw(dc, x + m_inner->X(), y + m_inner->Y(), clip, state);
    CDCClipOrigin frame(dc, cell, clip);
    if (m_verLinesVisible && !IsNoColor(m_verLineColor)) {
        if (sides & SIDE_LEFT) FillSolid(dc, m_verLineColor, {0, 0, m_verLineThickness, m_height});
        if (sides & SIDE_RIGHT)
            FillSolid(dc, m_verLineColor, {m_width - m_verLineThickness, 0, m_width, m_height});
    }
    if (m_horLinesVisible && !IsNoColor(m_horLineColor)) {
        if (sides & SIDE_TOP) FillSolid(dc, m_horLineColor, {0, 0, m_width, m_horLineThickness});
        if (sides & SIDE_BOTTOM)
            FillSolid(dc, m_horLineColor, {0, m_height - m_horLineThickness, m_width, m_height});
    }
}

bool CMVBorderCellMetrics::HitTest(Point p, CHitTestInfo& info) const {
    if (!Rect{0, 0, m_width, m_height}.Contains(p)) return false;
    info.row = row;
    info.col = col;
    if (m_inner->HitTest({p.x - m_inner->X(), p.y - m_inner->Y()}, info)) return true;
    info.kind = HIT_BORDER;
    info.key = "__Border";
    info.rect = {0, 0, m_width, m_height};
    return true;
}

} // namespace vinca
