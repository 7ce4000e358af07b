#include "vinca/views/layers.h"

#include "vinca/views/view_host.h"

namespace vinca {

using namespace plat::gdi;

void CColorLayer::DoPaint(Dc& dc, const Rect& rect, const Rect* clip) {
    FillSolid(dc, m_colour.ToColorRef(), clip ? rect.Intersect(*clip) : rect);
}

void CGradientLayer::DoPaint(Dc& dc, const Rect& rect, const Rect* clip) {
    Rect limit = clip ? rect.Intersect(*clip) : rect;
    if (limit.IsEmpty()) return;
    m_gradient.Draw(dc, rect, &limit);
}

void CPictureLayer::DoPaint(Dc& dc, const Rect& rect, const Rect* clip) {
    if (m_picture.IsEmpty() || rect.IsEmpty()) return;
    Rect outer = clip ? rect.Intersect(*clip) : rect;
    if (outer.IsEmpty()) return;
    Size natural = PictureHolderGetSize(m_picture);
    auto render = [&](const Rect& r) {
        if (dc.IsPrinter())
            RenderToPrinter(m_picture, dc, r, m_transparency, false);
        else
            RenderToScreen(m_picture, dc, r, SRCCOPY, false, m_transparency);
    };
    CDCClip scope(dc, outer, dc.GetClipBox());
    if (m_alignment == BACKPIC_STRETCH) {
        render(rect);
    } else if (m_alignment == BACKPIC_TILE) {
        if (natural.cx <= 0 || natural.cy <= 0) return;
        // Every tile is drawn from the picture itself: copying the first tile
        // back from the target would copy whatever covered it.
        for (int32_t y = rect.top; y < rect.bottom; y += natural.cy)
            for (int32_t x = rect.left; x < rect.right; x += natural.cx) {
                Rect tile{x, y, x + natural.cx, y + natural.cy};
                if (!tile.Intersect(outer).IsEmpty()) render(tile);
            }
    } else if (m_alignment >= 0 && m_alignment <= 8) {
        int32_t h = m_alignment / 3 + 1, v = m_alignment % 3 + 1;
        int32_t x = h == 1   ? rect.left
                    : h == 2 ? rect.left + (rect.Width() - natural.cx) / 2
                             : rect.right - natural.cx;
        int32_t y = v == 1   ? rect.top
                    : v == 2 ? rect.top + (rect.Height() - natural.cy) / 2
                             : rect.bottom - natural.cy;
        render({x, y, x + natural.cx, y + natural.cy});
    }
}

void CParentBackLayer::DoPaint(Dc& dc, const Rect& rect, const Rect* clip) {
    if (!m_painter) return;
    SavedDc saved(dc);
    m_painter(dc, clip ? rect.Intersect(*clip) : rect);
}

void COffscreenLayer::DoPaint(Dc& dc, const Rect& rect, const Rect* clip) {
    if (clip && *clip == Rect{}) return;
    if (rect.IsEmpty()) return;
    Size size{rect.Width(), rect.Height()};
    if (!m_cache || m_cache->GetSize() != size || IsDirty()) {
        m_cache = std::make_unique<Bitmap>(size.cx, size.cy);
        Dc cdc(*m_cache);
        if (m_painter) m_painter(cdc, {0, 0, size.cx, size.cy});
    }
    Dc cdc(*m_cache);
    Rect part = clip ? rect.Intersect(*clip) : rect;
    if (part.IsEmpty()) return;
    dc.BitBlt(part.left, part.top, part.Width(), part.Height(), cdc, part.left - rect.left,
              part.top - rect.top, SRCCOPY);
}

void CLayerStack::Push(std::unique_ptr<CBackLayer> layer) {
    if (!layer || m_count >= kMaxLayers) return;
    m_layers[m_count++] = std::move(layer);
}

// From the top down while the layers let the ones below show through.
size_t CLayerStack::FirstPainted() const {
    size_t i = m_count;
    while (i > 0) {
        --i;
        if (!m_layers[i]->LetsThrough()) return i;
    }
    return 0;
}

bool CLayerStack::NeedsPaint() const {
    for (size_t i = FirstPainted(); i < m_count; ++i)
        if (m_layers[i]->IsDirty()) return true;
    return false;
}

void CLayerStack::Paint(Dc& dc, const Rect& rect, const Rect* clip) {
    if (rect.IsEmpty()) return;
    for (size_t i = FirstPainted(); i < m_count; ++i)
        if (m_layers[i]->IsEnabled()) m_layers[i]->Paint(dc, rect, clip);
}

bool CLayerStack::AllTransparent() const {
    for (size_t i = 0; i < m_count; ++i)
        if (!m_layers[i]->LetsThrough()) return false;
    return true;
}

std::unique_ptr<CLayerStack> MakeBackgroundLayers(const ViewSettings& s, const ViewBackground& b,
                                                  CParentBackLayer::Painter parent) {
    auto layers = std::make_unique<CLayerStack>();
    layers->Push(std::make_unique<CColorLayer>(s.backColor));
    CGradient gradient;
    gradient.colorFrom = TranslateOleColor(b.gradientFrom).value_or(0xFFFFFF);
    gradient.colorTo = TranslateOleColor(b.gradientTo).value_or(0xFF0000);
    gradient.style = b.gradientStyle;
    layers->Push(std::make_unique<CGradientLayer>(gradient));
    if (b.transparentBackground && parent)
        layers->Push(std::make_unique<CParentBackLayer>(std::move(parent)));
    Transparency transparency{b.transparentBitmap, TranslateOleColor(b.transparentColor).value_or(0xFFFFFF)};
    layers->Push(
        std::make_unique<CPictureLayer>(CPictureHolder(b.picture), transparency, b.pictureAlignment));
    return layers;
}

bool LayeredBackground(const ViewBackground& b) {
    return b.gradientStyle != 0 || b.transparentBackground ||
           (b.picture && b.picture->Type() > PICTYPE_NONE && b.pictureAlignment != 11);
}

} // namespace vinca
