#include "vinca/views/tree_cell.h"

#include <functional>
#include <span>

namespace vinca {

using namespace plat::gdi;

namespace {

COLORREF Translate(OLE_COLOR c) {
    return TranslateOleColor(c).value_or(0);
}

constexpr int32_t kMaxPart = 0x7FFF;

Size SizeOf(const CPictureHolder& p) {
    return p.IsEmpty() ? Size{} : PictureHolderGetSize(p);
}

int32_t PenStyleOf(int32_t lineStyle) {
    switch (lineStyle) {
    case LINES_DASH:
        return PS_DASH;
    case LINES_DASHDOT:
        return PS_DASHDOT;
    case LINES_DASHDOTDOT:
        return PS_DASHDOTDOT;
    default:
        return PS_SOLID;
    }
}

} // namespace

CVincaTreeCellMetrics::CVincaTreeCellMetrics() {
    m_text.SetParent(this);
}

CVincaTreeCellMetrics::CVincaTreeCellMetrics(const CVincaTreeCellMetrics& o)
    : CMVCellMetrics(o), m_data(o.m_data), m_text(o.m_text), m_markSize(o.m_markSize), m_pmSize(o.m_pmSize),
      m_pictureSize(o.m_pictureSize), m_markRect(o.m_markRect), m_pmRect(o.m_pmRect),
      m_pictureRect(o.m_pictureRect), m_lineX(o.m_lineX), m_lineY(o.m_lineY), m_textX(o.m_textX),
      m_textY(o.m_textY), m_textWidth(o.m_textWidth), m_textHeight(o.m_textHeight), m_treePart(o.m_treePart),
      m_fixedHeight(o.m_fixedHeight) {
    m_text.SetParent(this);
    auto copy = [this](const std::unique_ptr<CEmbeddedGridView>& g) {
        std::unique_ptr<CEmbeddedGridView> c = g ? std::make_unique<CEmbeddedGridView>(*g) : nullptr;
        if (c) c->SetParent(this);
        return c;
    };
    m_itemGrid = copy(o.m_itemGrid);
    m_treeGrid = copy(o.m_treeGrid);
}

bool CVincaTreeCellMetrics::HandDrawnBox() const {
    return m_data.pmShown && (m_data.plusPicture.IsEmpty() || m_data.minusPicture.IsEmpty());
}

void CVincaTreeCellMetrics::Layout(Dc& dc, Size size, const IAttrChain& attrs, int32_t kind) {
    if (kind == LAYOUT_REFRESH) {
        m_text.Layout(dc, size, attrs, LAYOUT_REFRESH);
        return;
    }
    if (kind == LAYOUT_HEIGHT) {
        if (size.cy >= 0 && size.cy != m_height) LayoutVertical(size.cy);
        return;
    }
    if (const CTreeCellData* d = attrs.TreeCellData())
        m_data = *d;
    else
        m_data = CTreeCellData{}, m_data.hasItem = false;

    // Mark, plus/minus and picture sizes.
    m_markSize = {};
    if (m_data.markShown) {
        m_markSize = SizeOf(m_data.markPicture);
        if (m_data.markWidth) m_markSize.cx = m_data.markWidth;
        if (m_data.markHeight) m_markSize.cy = m_data.markHeight;
        if (m_markSize.cy == 0) m_markSize.cy = 16;
        m_markSize.cx = std::min(m_markSize.cx, kMaxPart);
        m_markSize.cy = std::min(m_markSize.cy, kMaxPart);
    }
    m_pmSize = {};
    if (m_data.pmShown) {
        if (!m_data.plusPicture.IsEmpty() && !m_data.minusPicture.IsEmpty()) {
            Size p = SizeOf(m_data.plusPicture), m = SizeOf(m_data.minusPicture);
            m_pmSize = {std::max(p.cx, m.cx), std::max(p.cy, m.cy)};
        } else {
            m_pmSize = {9, 9};
        }
        m_pmSize.cx = std::clamp(m_pmSize.cx, 0, std::max(0, m_data.indent));
        m_pmSize.cy = std::min(m_pmSize.cy, kMaxPart);
    }
    m_pictureSize = {};
    // The item's own grid stands in place of its picture and text; the tree
    // grid row only shows under an expanded item.
    m_itemGrid.reset();
    m_treeGrid.reset();
    if (m_data.hasItem && m_data.itemGridShown && m_data.itemGrid) {
        m_itemGrid = std::make_unique<CEmbeddedGridView>();
        m_itemGrid->SetParent(this);
        m_itemGrid->LayoutItemGrid(dc, *m_data.itemGrid, m_data.host);
        if (m_itemGrid->Height() <= 0) m_itemGrid.reset();
    }
    if (m_data.hasItem && m_data.treeGridShown && m_data.treeGrid && m_data.expanded) {
        m_treeGrid = std::make_unique<CEmbeddedGridView>();
        m_treeGrid->SetParent(this);
        m_treeGrid->LayoutTreeGridRow(dc, *m_data.treeGrid, m_data.item, m_data.host);
    }
    const bool itemGrid = m_itemGrid != nullptr;
    if (!itemGrid && m_data.picturesShown && !m_data.picture.IsEmpty()) {
        m_pictureSize = SizeOf(m_data.picture);
        if (m_data.stretchImages) {
            if (m_data.defPictureWidth) m_pictureSize.cx = m_data.defPictureWidth;
            if (m_data.defPictureHeight) m_pictureSize.cy = m_data.defPictureHeight;
        }
    }

    // The text part at its natural size.
    m_textWidth = m_textHeight = 0;
    if (m_data.hasItem && m_data.textShown && !itemGrid) {
        m_text.Layout(dc, {-1, -1}, attrs, LAYOUT_FULL);
        m_textWidth = m_text.Width();
        m_textHeight = m_text.Height();
    }
    LayoutHorizontal(size.cx);
    m_fixedHeight = size.cy != -1 && kind == LAYOUT_FULL_FIXED_HEIGHT;
    LayoutVertical(size.cy == -1 ? NaturalHeight() : size.cy);
}

void CVincaTreeCellMetrics::LayoutHorizontal(int32_t requestedWidth) {
    const CTreeCellData& d = m_data;
    const int32_t pmW = m_pmSize.cx;
    int32_t x = d.xOffset;
    m_markRect = {x, 0, x + m_markSize.cx, 0};
    if (m_markSize.cx != 0 && d.markShown) x += m_markSize.cx + 4;
    m_lineX = x + pmW / 2 - (pmW == 0 ? 6 : 0);
    x += d.indent * std::max(0, d.level);
    m_pmRect = {x, 0, x + pmW, 0};
    int32_t picLeft = x + (pmW != 0 ? 6 : 0) + 2 * (pmW / 2);
    // The grids start where the picture would, before any centring move.
    const int32_t gridLeft = picLeft;
    if (m_pictureSize.cx > 0 && d.level > 0) {
        int32_t used = pmW / 2 + m_pictureSize.cx / 2 + ((d.level > 0 || pmW != 0) ? 6 : 0);
        if (used < d.indent) picLeft += d.indent - used; // centred under the next level's line
    }
    m_pictureRect = {picLeft, 0, picLeft + m_pictureSize.cx, 0};
    m_textX = m_pictureRect.right + (m_pictureSize.cx > 0 ? 4 : 0);
    m_width = std::max(
        {requestedWidth, m_markRect.right, m_pmRect.right, m_pictureRect.right, m_textX + m_textWidth});
    if (m_itemGrid) {
        m_itemGrid->SetOffset(gridLeft, m_itemGrid->Y());
        m_width = std::max(m_width, gridLeft + m_itemGrid->Width());
    }
    if (m_treeGrid) {
        m_treeGrid->SetOffset(gridLeft + d.indent, m_treeGrid->Y());
        m_width = std::max(m_width, gridLeft + d.indent + m_treeGrid->Width());
    }
}

int32_t CVincaTreeCellMetrics::NaturalHeight() const {
    if (!m_data.hasItem) return 0;
    // The last child's grid sits one pixel lower than the cell.
    int32_t h = m_itemGrid ? m_itemGrid->Height() + (m_data.lastChild ? 1 : 0)
                           : std::max(m_pictureSize.cy, m_textHeight);
    if (m_treeGrid) h += m_treeGrid->Height() + (m_data.hasChildren ? 0 : 1) + (h > 0 ? 1 : 0);
    h = std::max({h, m_pmSize.cy, m_markSize.cy, 6});
    if (m_data.lineStyle != LINES_SOLID && h % 2) ++h; // dotted lines of the next row join up
    return h;
}

void CVincaTreeCellMetrics::LayoutVertical(int32_t H) {
    m_height = H;
    const CTreeCellData& d = m_data;
    int32_t markTop = std::max(0, (H - m_markSize.cy) / 2);
    m_markRect.top = markTop;
    m_markRect.bottom = std::min(markTop + m_markSize.cy, H);

    // The tree grid part takes the bottom of the cell; the item line the rest.
    const int32_t C = m_itemGrid ? m_itemGrid->Height() : std::max(m_textHeight, m_pictureSize.cy);
    m_treePart = 0;
    if (m_treeGrid) {
        m_treePart = m_treeGrid->Height() + (d.hasChildren ? 0 : 1) + (C > 0 ? 1 : 0);
        if (!m_fixedHeight && C + m_treePart < H) m_treePart = C == 0 ? H : m_treePart + (H - C - m_treePart) / 2;
        m_treePart = std::min(m_treePart, std::max(H, 0));
    }
    const int32_t L = H - m_treePart;
    if (m_itemGrid) m_itemGrid->SetOffset(m_itemGrid->X(), d.lastChild ? 1 : 0);
    if (m_treeGrid) {
        int32_t top = C > 0 ? H - m_treePart + 1 : H - m_treePart;
        if (m_treeGrid->Height() == 0 && d.hasChildren) top = H - 1;
        m_treeGrid->SetOffset(m_treeGrid->X(), std::min(top, H));
    }
    const int32_t ph = m_pictureSize.cy;
    int32_t th = m_textHeight;
    const bool hasText = m_textHeight > 0, hasPic = ph > 0;
    int32_t picTop = 0;
    m_textY = 0;
    if (d.compactLayout) {
        m_textY = 0;
        th = std::max(0, L);
        picTop = (L - ph) / 2;
        if (hasText && m_text.MultiLine())
            picTop = d.picInMultiLine == 0 ? 0 : d.picInMultiLine == 2 ? L - ph : picTop;
    } else if (hasText && hasPic) {
        if (std::max(th, ph) > L) {
            if (th > L) th = L;
            m_textY = 0;
            picTop = hasText && m_text.MultiLine() ? (d.picInMultiLine == 0   ? 0
                                                      : d.picInMultiLine == 1 ? (L - ph) / 2
                                                                              : L - ph)
                                                   : (L - ph) / 2;
        } else if (th > ph) {
            m_textY = (L - th) / 2;
            picTop = m_text.MultiLine() ? (d.picInMultiLine == 0   ? m_textY
                                           : d.picInMultiLine == 1 ? m_textY + (th - ph) / 2
                                                                   : m_textY + th - ph)
                                        : m_textY + (th - ph) / 2;
        } else {
            picTop = (L - ph) / 2;
            m_textY = picTop + (ph - th) / 2;
        }
    } else if (hasText) {
        if (th <= L) {
            m_textY = (L - th) / 2;
        } else {
            m_textY = 0;
            th = L;
        }
    } else if (hasPic) {
        picTop = ph <= L ? (L - ph) / 2 : 0;
    }
    int32_t picH = hasPic && ph > L ? L : ph;
    m_pictureRect.top = picTop;
    m_pictureRect.bottom = picTop + picH;
    if (hasText && th != m_text.Height()) {
        Dc metrics;
        m_text.Layout(metrics, {m_text.Width(), th}, CMapAttrChain(), LAYOUT_HEIGHT);
    }
    m_text.SetOffset(m_textX, m_textY);

    // The box sits on the middle of the picture, else of the text.
    int32_t centre = hasPic    ? picTop + picH / 2
                     : hasText ? m_textY + th / 2
                     : m_itemGrid ? m_itemGrid->Y() + m_itemGrid->Height() / 2
                                  : -1;
    if (m_pmSize.cx > 0 && d.pmShown) {
        int32_t c = centre >= 0 ? centre : H / 2;
        m_pmRect.top = c - m_pmSize.cy / 2;
        m_pmRect.bottom = m_pmRect.top + m_pmSize.cy;
        m_lineY = m_pmRect.top + m_pmSize.cy / 2;
    } else {
        m_pmRect.top = m_pmRect.bottom = 0;
        m_lineY = centre >= 0 ? centre : (H < 1 ? H : 1);
    }
}

COLORREF CVincaTreeCellMetrics::LineColour(bool selected) const {
    return Translate(selected && m_data.invStyle == 3 ? m_data.selForeColor : m_data.linesColor);
}

void CVincaTreeCellMetrics::Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) {
    const bool selected = state & kCellSelected;
    CDCClipOrigin frame(dc, {x, y, x + m_width, y + m_height}, clip);
    if (frame.IsEmpty()) return;
    const CTreeCellData& d = m_data;
    // On a background of the cell's own colour the back needs no fill.
    const COLORREF back = state & kCellOnBackColor ? COLORREF(kNoColorBit) : Translate(d.backColor);
    const COLORREF selBack = Translate(d.selBackColor);
    const Rect cell{0, 0, m_width, m_height};
    if (!selected) {
        FillSolid(dc, back, cell);
    } else if (d.invStyle <= 2) {
        FillSolid(dc, back, cell);
    } else if (d.invStyle == 4) {
        FillSolid(dc, back, cell);
        Rect text{m_textX, m_textY, m_textX + m_text.Width(), m_textY + m_text.Height()};
        FillSolid(dc, selBack, m_pictureRect.Union(text).Inflate(2, 2));
    } else if (d.invStyle == 5) {
        bool hasText = m_textWidth > 0;
        FillSolid(dc, back, {0, 0, hasText ? m_textX : m_width, m_height});
        if (hasText) FillSolid(dc, selBack, {m_textX, 0, m_width, m_height});
    } else {
        FillSolid(dc, selBack, cell);
    }
    if (!d.hasItem || d.level < 0) return;
    if (d.linesShown) DrawLines(dc, selected);
    const Transparency tr{d.transparent, Translate(d.transparentColor)};
    const bool printing = IsPrinting();
    auto render = [&](const CPictureHolder& p, const Rect& r, uint32_t rop) {
        if (printing)
            RenderToPrinter(p, dc, r, tr, PrintScaled());
        else
            RenderToScreen(p, dc, r, rop, false, tr);
    };
    if (d.markShown && !d.markPicture.IsEmpty()) render(d.markPicture, m_markRect, SRCCOPY);
    if (m_pictureSize.cx > 0) {
        const CPictureHolder* pic = &d.picture;
        uint32_t rop = SRCCOPY;
        if (selected && d.invStyle != 2 && d.invStyle != 5) {
            if (!d.pictureSelected.IsEmpty())
                pic = &d.pictureSelected;
            else
                rop = NOTSRCCOPY;
        }
        render(*pic, m_pictureRect, rop);
    }
    // The parts inside have backgrounds of their own.
    state &= kCellSelected;
    if (m_textWidth > 0) m_text.Draw(dc, m_textX, m_textY, frame.Visible(), state);
    DrawPlusMinus(dc, selected);
    if (m_itemGrid) m_itemGrid->Draw(dc, m_itemGrid->X(), m_itemGrid->Y(), frame.Visible(), state);
    if (m_treeGrid) m_treeGrid->Draw(dc, m_treeGrid->X(), m_treeGrid->Y(), frame.Visible(), state);
}

void CVincaTreeCellMetrics::DrawLines(Dc& dc, bool selected) {
    const CTreeCellData& d = m_data;
    const COLORREF colour = LineColour(selected);
    if (IsNoColor(colour)) return;
    static constexpr int32_t kDots[] = {1, 1};
    const std::span<const int32_t> pattern =
        d.lineStyle == LINES_DOT ? std::span<const int32_t>(kDots) : PenPattern(PenStyleOf(d.lineStyle));
    int32_t period = 0;
    for (int32_t n : pattern)
        period += n;
    // A styled line's pattern is laid from the brush origin in the
    // coordinates the rows are placed in, not from each row's top: the
    // lines of one row run on into the next, and the owner moves the origin
    // with the rows when it scrolls them. The drawn parts are filled; the
    // gaps show the row's background.
    const Point anchor{dc.GetBrushOrg().x + dc.GetWindowOrg().x, dc.GetBrushOrg().y + dc.GetWindowOrg().y};
    auto styled = [&](int32_t from, int32_t to, int32_t shift, const std::function<void(int32_t, int32_t)>& fill) {
        int32_t pos = ((from - shift) % period + period) % period;
        size_t part = 0;
        while (pos >= pattern[part])
            pos -= pattern[part++];
        for (int32_t at = from; at < to;) {
            const int32_t len = std::min(pattern[part] - pos, to - at);
            if (part % 2 == 0) fill(at, at + len);
            at += len;
            pos = 0;
            part = (part + 1) % pattern.size();
        }
    };
    auto vline = [&](int32_t x, int32_t y0, int32_t y1) {
        if (y1 <= y0) return;
        if (period == 0)
            FillSolid(dc, colour, {x, y0, x + 1, y1});
        else
            styled(y0, y1, anchor.y, [&](int32_t a, int32_t b) { FillSolid(dc, colour, {x, a, x + 1, b}); });
    };
    auto hline = [&](int32_t x0, int32_t x1, int32_t y) {
        if (x1 <= x0) return;
        if (period == 0)
            FillSolid(dc, colour, {x0, y, x1, y + 1});
        else
            styled(x0, x1, anchor.x, [&](int32_t a, int32_t b) { FillSolid(dc, colour, {a, y, b, y + 1}); });
    };
    for (int32_t i = 0; i < d.level && size_t(i) < d.lineLevels.size(); ++i)
        if (d.lineLevels[size_t(i)]) vline(m_lineX + i * d.indent, 0, m_height);
    const int32_t x = m_lineX + d.level * d.indent;
    const bool box = HandDrawnBox() && (d.pmState == PM_PLUS || d.pmState == PM_MINUS);
    if (box) {
        vline(x, 0, m_pmRect.top + 1);
        if (!d.lastChild) vline(x, m_pmRect.bottom, m_height);
    } else {
        vline(x, 0, d.lastChild ? m_lineY + 1 : m_height);
    }
    int32_t from = box ? m_pmRect.right : x + 1;
    hline(from, m_pictureRect.left, m_lineY);
    if (d.expanded && d.hasChildren && m_pictureSize.cx > 0) {
        int32_t cx = x + d.indent;
        if (m_pictureRect.bottom < m_height && cx < m_pictureRect.right)
            vline(cx, m_pictureRect.bottom, m_height);
    }
    // Down past the item to the tree grid row and the children below it.
    if (d.expanded && d.hasChildren && m_treeGrid) {
        const int32_t partTop = m_treeGrid->Y();
        int32_t from = m_itemGrid ? m_itemGrid->Y() + m_itemGrid->Height() : partTop - 1;
        if (!m_itemGrid && m_lineY >= partTop) from = m_lineY;
        vline(x + d.indent, from, m_height);
    }
}

void CVincaTreeCellMetrics::DrawPlusMinus(Dc& dc, bool selected) {
    const CTreeCellData& d = m_data;
    if (d.pmState != PM_PLUS && d.pmState != PM_MINUS) return;
    if (!d.pmShown || m_pmRect.IsEmpty()) return;
    if (!HandDrawnBox()) {
        const CPictureHolder& p = d.pmState == PM_MINUS ? d.minusPicture : d.plusPicture;
        if (IsPrinting())
            RenderToPrinter(p, dc, m_pmRect, {}, PrintScaled());
        else
            RenderToScreen(p, dc, m_pmRect, SRCCOPY, false, {});
        return;
    }
    const COLORREF c = LineColour(selected);
    if (IsNoColor(c)) return;
    const Rect& r = m_pmRect;
    const int32_t w = r.Width(), h = r.Height();
    FillSolid(dc, c, {r.left, r.top, r.right, r.top + 1});
    FillSolid(dc, c, {r.left, r.bottom - 1, r.right, r.bottom});
    FillSolid(dc, c, {r.left, r.top, r.left + 1, r.bottom});
    FillSolid(dc, c, {r.right - 1, r.top, r.right, r.bottom});
    const int32_t mx = r.left + w / 2, my = r.top + h / 2;
    const int32_t hx = (w - 5) / 2, vy = (h - 5) / 2;
    FillSolid(dc, c, {r.left + hx, my, r.right - hx, my + 1});
    if (d.pmState == PM_PLUS) FillSolid(dc, c, {mx, r.top + vy, mx + 1, r.bottom - vy});
}

bool CVincaTreeCellMetrics::HitTest(Point p, CHitTestInfo& info) const {
    if (!Rect{0, 0, m_width, m_height}.Contains(p)) return false;
    info.col = m_data.column;
    auto hit = [&](int32_t kind, const char* key, const Rect& r) {
        info.kind = kind;
        info.key = key;
        info.rect = r;
        return true;
    };
    if (m_markRect.Contains(p)) return hit(HIT_MARK, "__Mark", m_markRect);
    if (m_pmRect.Contains(p)) return hit(HIT_PLUSMINUS, "__PlusMinus", m_pmRect);
    if (m_pictureRect.Contains(p)) return hit(HIT_IMAGE, "__Image", m_pictureRect);
    auto inside = [&](const CCellMetrics& cell, int32_t x, int32_t y) {
        CHitTestInfo inner = info;
        if (!cell.HitTest({p.x - x, p.y - y}, inner)) return false;
        inner.rect = inner.rect.Offset(x, y);
        info = inner;
        return true;
    };
    if (m_textWidth > 0 && inside(m_text, m_textX, m_textY)) return true;
    if (m_itemGrid && inside(*m_itemGrid, m_itemGrid->X(), m_itemGrid->Y())) return true;
    if (m_treeGrid && inside(*m_treeGrid, m_treeGrid->X(), m_treeGrid->Y())) return true;
    return hit(HIT_ITEM, "", {0, 0, m_width, m_height});
}

Rect CVincaTreeCellMetrics::GetPartRect(std::string_view part) const {
    Rect r;
    if (part.empty())
        r = {0, 0, m_width, m_height};
    else if (part == "__Mark")
        r = m_markRect;
    else if (part == "__PlusMinus")
        r = m_pmRect;
    else if (part == "__Image")
        r = m_pictureRect;
    else if (part == "__Text")
        return m_text.GetPartRect(part);
    if (r.IsEmpty()) return {};
    ClipToParent(r);
    return r;
}

} // namespace vinca
