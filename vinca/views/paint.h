#pragma once
// Paint primitives the views and cells draw with: blits (plain, stretched,
// transparent), a fill that leaves "no colour" alone, linear gradients, 3-D
// borders and the clip scopes that cells draw through.
#include <cstdint>
#include <optional>

#include <QtGui/QImage>

#include "platform/gdi/color.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/geometry.h"

namespace vinca {

using plat::gdi::COLORREF;
using plat::gdi::Dc;
using plat::gdi::OLE_COLOR;
using plat::gdi::Point;
using plat::gdi::Rect;
using plat::gdi::Size;

inline constexpr COLORREF kNoColor = plat::gdi::kNoColorBit;

// An OLE colour as the control stores it.
class CVincaColor {
  public:
    CVincaColor() = default;
    explicit CVincaColor(OLE_COLOR c) : m_color(c) {}
    OLE_COLOR Get() const { return m_color; }
    // System colours resolved now; 0 when the colour cannot be translated.
    COLORREF ToColorRef() const { return plat::gdi::TranslateOleColor(m_color).value_or(0); }

  private:
    OLE_COLOR m_color{0};
};

// 1 for a system colour, or when the screen shows the colour exactly (always,
// as there are no palettes); 0 for a colour that does not translate.
int32_t IsExactScreenColor(OLE_COLOR colour, Dc* dc = nullptr);

// Copies an image into a rectangle: 1:1 when the sizes agree, else stretched.
// An empty rectangle draws nothing and succeeds.
bool Blit(const QImage& image, Dc& dc, const Rect& rect, uint32_t rop);
// Draws an image leaving out the pixels of one colour; `inverted` shows the
// other pixels inverted. Worked by mask and XOR, so what lies under the
// transparent pixels is untouched.
void TransparentBlit(const QImage& image, Dc& dc, const Rect& rect, COLORREF transparent, bool inverted);
// Fills with a colour; a colour with the no-colour bit fills nothing.
void FillSolid(Dc& dc, COLORREF colour, const Rect& rect);
// The focus mark: every other pixel of the rectangle's outline inverted, so
// it shows on any colour and drawing it twice takes it away. Only the
// pixels inside `clip` change.
void DrawFocusMark(Dc& dc, const Rect& rect, const Rect& clip);

enum EGradientStyle : int32_t {
    GRADIENT_NONE = 0,
    GRADIENT_LEFT_RIGHT = 1,
    GRADIENT_TOP_BOTTOM = 2,
    GRADIENT_HOR_CENTER = 3,
    GRADIENT_VER_CENTER = 4,
};

struct CGradient {
    COLORREF colorFrom{0xFFFFFF};
    COLORREF colorTo{0xFF0000};
    int32_t style{GRADIENT_NONE};
    // Fills `rect` in bands of at most 255 steps per run, drawing only the
    // bands that meet `clip` (the whole rectangle without one).
    void Draw(Dc& dc, const Rect& rect, const Rect* clip = nullptr) const;
};

struct C3DBorder {
    COLORREF shadow{0x808080};
    COLORREF fill{0xC0C0C0};
    int32_t width{1};
    bool inset{false};
    // Dark top and left when inset, light ones when not; corners stepped.
    void Draw(Dc& dc, const Rect& rect, bool insetBorder) const;
};

// Clips a DC to a rectangle for a scope, then back to the outer rectangle.
class CDCClip {
  public:
    CDCClip(Dc& dc, const Rect& rect, const Rect& outer);
    ~CDCClip();
    CDCClip(const CDCClip&) = delete;
    CDCClip& operator=(const CDCClip&) = delete;
    // An empty rectangle removes the clip altogether.
    void SetClip(const Rect& rect);
    void Restore();
    const Rect& Clip() const { return m_clip; }

  private:
    Dc& m_dc;
    Rect m_clip;
    Rect m_outer;
    bool m_restored{false};
};

// Clips to a target and moves the origin to its top-left for a scope.
class CDCClipOrigin {
  public:
    CDCClipOrigin(Dc& dc, const Rect& target, const Rect& outer);
    ~CDCClipOrigin();
    CDCClipOrigin(const CDCClipOrigin&) = delete;
    CDCClipOrigin& operator=(const CDCClipOrigin&) = delete;
    // The part of the target that shows, in target coordinates.
    const Rect& Visible() const { return m_visible; }
    bool IsEmpty() const { return m_visible.IsEmpty(); }

  private:
    CDCClip m_clip;
    Dc& m_dc;
    Point m_savedOrigin;
    bool m_moved{false};
    Rect m_visible;
};

} // namespace vinca
