#pragma once
// Background layers painted under the panes, bottom first: a colour, a
// gradient, a picture, the container's own painting (for a transparent
// control) and an off-screen cache.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gdi/dc.h"
#include "vinca/views/paint.h"
#include "vinca/views/picture_render.h"

namespace vinca {

struct ViewSettings;
struct ViewBackground;

class CBackLayer {
  public:
    virtual ~CBackLayer() = default;
    // `clip` limits the painting when given.
    void Paint(Dc& dc, const Rect& rect, const Rect* clip) {
        DoPaint(dc, rect, clip);
        m_dirty = false;
    }
    bool IsDirty() const { return m_dirty; }
    void SetDirty() { m_dirty = true; }
    virtual bool IsEnabled() const { return true; }
    // Whether the layers below show through this one.
    virtual bool LetsThrough() const { return false; }

  protected:
    virtual void DoPaint(Dc& dc, const Rect& rect, const Rect* clip) = 0;

  private:
    bool m_dirty{true};
};

class CColorLayer : public CBackLayer {
  public:
    explicit CColorLayer(OLE_COLOR colour) : m_colour(colour) {}
    void SetColor(OLE_COLOR c) {
        m_colour = CVincaColor(c);
        SetDirty();
    }
    bool IsEnabled() const override { return !plat::gdi::IsNoColor(m_colour.ToColorRef()); }
    bool LetsThrough() const override { return !IsEnabled(); }

  protected:
    void DoPaint(Dc& dc, const Rect& rect, const Rect* clip) override;

  private:
    CVincaColor m_colour;
};

class CGradientLayer : public CBackLayer {
  public:
    explicit CGradientLayer(const CGradient& g) : m_gradient(g) {}
    void SetGradient(const CGradient& g) {
        m_gradient = g;
        SetDirty();
    }
    bool IsEnabled() const override { return m_gradient.style != GRADIENT_NONE; }
    bool LetsThrough() const override { return !IsEnabled(); }

  protected:
    void DoPaint(Dc& dc, const Rect& rect, const Rect* clip) override;

  private:
    CGradient m_gradient;
};

enum EBackPicAlignment : int32_t { BACKPIC_STRETCH = 9, BACKPIC_TILE = 10, BACKPIC_HIDDEN = 11 };

class CPictureLayer : public CBackLayer {
  public:
    CPictureLayer(CPictureHolder picture, Transparency transparency, int32_t alignment)
        : m_picture(std::move(picture)), m_transparency(transparency), m_alignment(alignment) {}
    bool IsEnabled() const override { return !m_picture.IsEmpty() && m_alignment != BACKPIC_HIDDEN; }
    // Only a stretched or tiled picture without transparency covers everything.
    bool LetsThrough() const override {
        return !IsEnabled() || m_transparency.enabled ||
               (m_alignment != BACKPIC_STRETCH && m_alignment != BACKPIC_TILE);
    }

  protected:
    void DoPaint(Dc& dc, const Rect& rect, const Rect* clip) override;

  private:
    CPictureHolder m_picture;
    Transparency m_transparency;
    int32_t m_alignment;
};

// The container paints itself under a transparent control. The host answers
// "paint your background into this DC, whose (0, 0) is the control's top-left".
class CParentBackLayer : public CBackLayer {
  public:
    using Painter = std::function<bool(Dc& dc, const Rect& rect)>;
    explicit CParentBackLayer(Painter painter) : m_painter(std::move(painter)) {}
    bool IsEnabled() const override { return bool(m_painter); }

  protected:
    void DoPaint(Dc& dc, const Rect& rect, const Rect* clip) override;

  private:
    Painter m_painter;
};

// Keeps what its painter drew in an image of the rectangle's size and copies
// from it until the size changes or the layer is marked dirty.
class COffscreenLayer : public CBackLayer {
  public:
    using Painter = std::function<void(Dc& dc, const Rect& rect)>;
    explicit COffscreenLayer(Painter painter) : m_painter(std::move(painter)) {}

  protected:
    void DoPaint(Dc& dc, const Rect& rect, const Rect* clip) override;

  private:
    Painter m_painter;
    std::unique_ptr<plat::gdi::Bitmap> m_cache;
    bool m_cacheDirty{true};
};

class CLayerStack {
  public:
    static constexpr size_t kMaxLayers = 5;
    // A sixth layer, or none, is ignored. The stack owns its layers.
    void Push(std::unique_ptr<CBackLayer> layer);
    size_t Count() const { return m_count; }
    CBackLayer* Layer(size_t i) const { return i < m_count ? m_layers[i].get() : nullptr; }
    bool NeedsPaint() const;
    void Paint(Dc& dc, const Rect& rect, const Rect* clip);
    bool AllTransparent() const;

  private:
    size_t FirstPainted() const;
    std::array<std::unique_ptr<CBackLayer>, kMaxLayers> m_layers;
    size_t m_count{0};
};

// The layers behind the rows as the control's settings ask, bottom first:
// the back colour, the gradient, the container under a transparent control
// (only with a `parent` painter: a printed page has no container behind
// it) and the background picture.
std::unique_ptr<CLayerStack> MakeBackgroundLayers(const ViewSettings& settings,
                                                  const ViewBackground& background,
                                                  CParentBackLayer::Painter parent);

// Whether anything but the back colour lies behind the rows (a gradient, a
// shown picture or the container): rows then let it through, and it stays
// where it is while the rows scroll over it.
bool LayeredBackground(const ViewBackground& background);

} // namespace vinca
