// Painting a laid-out grid cell: background, borders, picture and text.
#include "platform/gdi/font.h"
#include "vinca/views/grid_cell.h"

namespace vinca {

using namespace plat::gdi;

namespace {

// No prefix, external leading, tab expansion.
constexpr uint32_t kDrawTextExtra = 0xA40;

void FrameInside(Dc& dc, const Rect& r, int32_t w, COLORREF c) {
    FillSolid(dc, c, {r.left, r.top, r.right, r.top + w});
    FillSolid(dc, c, {r.left, r.bottom - w, r.right, r.bottom});
    FillSolid(dc, c, {r.left, r.top + w, r.left + w, r.bottom - w});
    FillSolid(dc, c, {r.right - w, r.top + w, r.right, r.bottom - w});
}

} // namespace

void CMVGridCellMetrics::Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) {
    const bool selected = state & kCellSelected;
    CDCClipOrigin frame(dc, {x, y, x + m_width, y + m_height}, clip);
    if (frame.IsEmpty()) return;
    const Rect visible = frame.Visible();
    COLORREF oldBk = dc.GetBkColor();
    COLORREF bk = selected ? m_selBackColor : m_backColor;
    if (!IsNoColor(bk)) dc.SetBkColor(bk);

    Rect work{0, 0, m_width, m_height};
    if (m_borderWidth > 0) {
        COLORREF c = selected && m_invertBorder ? m_selForeColor : m_borderColor;
        if (!IsNoColor(c)) FrameInside(dc, work, m_borderWidth, c);
        work = work.Inflate(-m_borderWidth, -m_borderWidth);
    }
    if (m_has3D) {
        bool inset = m_border3D.inset;
        if (selected && m_invertBorder) inset = !inset;
        m_border3D.Draw(dc, work, inset);
        work = work.Inflate(-m_border3D.width, -m_border3D.width);
    }

    const Transparency tr{m_transparent, m_transparentColor};
    const DecodedPicture* pic = DecodedOf(m_picture);
    bool covered = m_picAlign == PICALIGN_STRETCH && pic && pic->kind == PIC_BITMAP && !m_picture.IsEmpty() &&
                   !m_pictureSelected.IsEmpty() && !tr.enabled;
    if (!covered && !work.IsEmpty()) {
        if (selected && m_invStyle != 1)
            FillSolid(dc, m_selBackColor, work);
        else if (m_gradient.style != GRADIENT_NONE)
            m_gradient.Draw(dc, work, &visible);
        else
            FillSolid(dc, m_backColor, work);
    }

    if (IsPrinting() && m_picAlign != PICALIGN_STRETCH && m_picAlign != PICALIGN_TILE) {
        DrawText(dc, visible, selected);
        DrawPicture(dc, selected);
    } else {
        DrawPicture(dc, selected);
        DrawText(dc, visible, selected);
    }
    dc.SetBkColor(oldBk);
}

void CMVGridCellMetrics::DrawText(Dc& dc, const Rect& clip, bool selected) {
    if (m_textAlign == 0 || m_textRect.IsEmpty()) return;
    if (m_useTextDrawRect && m_textDrawRect.IsEmpty()) return;
    COLORREF colour = selected && m_invStyle != 1 ? m_selForeColor : m_foreColor;
    if (IsRich()) {
        CRichTextHost& host = RichHostFor(m_multiLine);
        FontDesc d = m_font.IsEmpty() ? DefaultFontDesc() : m_font.Get()->Desc();
        host.ApplyFormat(CellCharFormat(d, colour), CellParaFormat(uint32_t(m_drawFormat)));
        CDCClip scope(dc, m_textRect, clip);
        host.Draw(dc, m_text, m_useTextDrawRect ? m_textDrawRect : m_textRect, IsPrinting());
        return;
    }
    COLORREF oldText = dc.SetTextColor(colour & 0xFFFFFF);
    int32_t oldMode = dc.SetBkMode(TRANSPARENT);
    SelectedFont sel(dc, m_font.GetHandle());
    {
        CDCClip scope(dc, m_textRect, clip);
        Rect target = m_useTextDrawRect ? m_textDrawRect : m_textRect;
        if (m_multiLine || m_tabStop <= 0) {
            // The clip scope above keeps the text inside its rectangle.
            uint32_t fmt = uint32_t(m_drawFormat) | kDrawTextExtra | DT_NOCLIP;
            dc.DrawText(m_text, target, fmt);
        } else {
            int32_t tabs[] = {m_tabStop};
            dc.TabbedTextOut(target.left, target.top, m_text, tabs, target.left);
        }
    }
    dc.SetBkMode(oldMode);
    dc.SetTextColor(oldText);
}

void CMVGridCellMetrics::DrawPicture(Dc& dc, bool selected) {
    if (m_picAlign == PICALIGN_HIDDEN || (m_picAlign == PICALIGN_COUPLED && m_textAlign == 0)) return;
    uint32_t rop = SRCCOPY;
    const CPictureHolder* pic = &m_picture;
    if (selected && m_invStyle != 2 && m_invStyle != 5) {
        if (!m_pictureSelected.IsEmpty())
            pic = &m_pictureSelected;
        else
            rop = NOTSRCCOPY;
    }
    if (pic->IsEmpty()) return;
    const Transparency tr{m_transparent, m_transparentColor};
    auto render = [&](const Rect& r) {
        if (IsPrinting())
            RenderToPrinter(*pic, dc, r, tr, PrintScaled());
        else
            RenderToScreen(*pic, dc, r, rop, false, tr);
    };
    if (m_picAlign != PICALIGN_TILE) {
        render(m_pictureRect);
        return;
    }
    Size natural = PictureHolderGetSize(*pic);
    if (natural.cx <= 0 || natural.cy <= 0 || m_pictureRect.IsEmpty()) return;
    CDCClip scope(dc, m_pictureRect, dc.GetClipBox());
    for (int32_t ty = 0; ty < m_pictureRect.bottom; ty += natural.cy)
        for (int32_t tx = 0; tx < m_pictureRect.right; tx += natural.cx)
            if (tx + natural.cx >= m_pictureRect.left && ty + natural.cy >= m_pictureRect.top)
                render({tx, ty, tx + natural.cx, ty + natural.cy});
}

} // namespace vinca
