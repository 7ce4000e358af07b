#pragma once
// Cells measure, lay out, hit-test and draw themselves. Every cell the
// control shows (a tree cell, a grid cell, a title, the corner) is a small
// view with a size, an offset in its parent and a parent; it reads its
// attributes through an attribute chain, works out where its picture and
// text go, and later paints them.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/dc.h"
#include "vinca/views/attr_chain.h"
#include "vinca/views/font_holder.h"
#include "vinca/views/paint.h"
#include "vinca/views/picture_render.h"

namespace vinca {

// What a point hit.
enum EHitKind : int32_t {
    HIT_NONE = 0,
    HIT_ITEM = 1,
    HIT_TEXT_ITEM = 2,
    HIT_PICTURE_ITEM = 3,
    HIT_IMAGE = 4,
    HIT_PLUSMINUS = 5,
    HIT_MARK = 6,
    HIT_BORDER = 7,
    HIT_CELL = 8,
    HIT_PICTURE = 9,
    HIT_TEXT = 10,
};

struct CHitTestInfo {
    int32_t kind{HIT_NONE};
    std::string key;
    Rect rect;
    bool allVisible{true};
    bool textFits{true};
    int32_t row{-1};
    int32_t col{-1};
};

// Cell states passed to Draw.
inline constexpr uint32_t kCellSelected = 1;
// The cell stands on a background already of its own back colour: the fill
// of its back colour can be left out.
inline constexpr uint32_t kCellOnBackColor = 2;

// Layout kinds.
enum ELayoutKind : int32_t {
    LAYOUT_FULL = 0,
    LAYOUT_FULL_FIXED_HEIGHT = 1,
    LAYOUT_HEIGHT = 2,
    LAYOUT_REFRESH = 3,
    LAYOUT_GROW_TO_TEXT = 4,
};

class CViewAbs {
  public:
    virtual ~CViewAbs() = default;

    CViewAbs* Parent() const { return m_parent; }
    void SetParent(CViewAbs* p) { m_parent = p; }
    int32_t X() const { return m_x; }
    int32_t Y() const { return m_y; }
    void SetOffset(int32_t x, int32_t y) {
        m_x = x;
        m_y = y;
    }

    // Answered by the root of the view chain: the DC measuring happens on
    // (the printer's when printing), whether output goes to a page, and
    // whether pictures on a page go through an off-screen band.
    virtual Dc* ParentHook() const { return m_parent ? m_parent->ParentHook() : nullptr; }
    virtual bool IsPrinting() const { return m_parent && m_parent->IsPrinting(); }
    virtual bool PrintScaled() const { return m_parent && m_parent->PrintScaled(); }

    virtual bool HitTest(Point, CHitTestInfo&) const { return false; }
    virtual Size GetSize() const { return {-1, -1}; }
    // Clips a rectangle in own coordinates to what shows through every
    // parent; false when nothing shows.
    virtual bool ClipToParent(Rect&) const { return false; }
    // A part's rectangle ("" the whole view), clipped to the parents.
    virtual Rect GetPartRect(std::string_view part) const;
    // Asks the root to repaint a rectangle given in own coordinates.
    virtual void Invalidate(const Rect& r) const;

  protected:
    CViewAbs() = default;
    CViewAbs(const CViewAbs& o) : m_parent(o.m_parent), m_x(o.m_x), m_y(o.m_y) {}

  private:
    CViewAbs* m_parent{nullptr};
    int32_t m_x{0};
    int32_t m_y{0};
};

class CCellMetrics : public CViewAbs {
  public:
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    Size GetSize() const override { return {m_width, m_height}; }
    bool ClipToParent(Rect& r) const override;
    // Part "" replaces the rectangle by the whole cell; then clipped.
    bool GetPartRectClipped(std::string_view part, Rect& r) const;

    virtual std::unique_ptr<CCellMetrics> Clone() const = 0;
    virtual void Draw(Dc& dc, int32_t x, int32_t y, const Rect& clip, uint32_t state) = 0;
    virtual std::string GetText(const IAttrChain&) const { return {}; }
    // Requested size: -1 for natural.
    virtual void Layout(Dc& dc, Size size, const IAttrChain& attrs, int32_t kind) = 0;
    // Answers a property query by key (automation); false for unknown keys.
    virtual bool GetProperty(std::string_view, plat::Variant&) const { return false; }

  protected:
    CCellMetrics() = default;
    CCellMetrics(const CCellMetrics&) = default;
    int32_t m_width{0};
    int32_t m_height{0};
};

class CMVCellMetrics : public CCellMetrics {
  public:
    void Layout(Dc&, Size, const IAttrChain&, int32_t) override {}

  protected:
    CMVCellMetrics() = default;
    CMVCellMetrics(const CMVCellMetrics&) = default;
};

} // namespace vinca
