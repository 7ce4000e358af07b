#pragma once
// Drives a pane's two scroll bars and turns scroll codes into pane
// positions. Bar values are 16-bit, so ranges beyond 32767 are scaled both
// ways.
#include <cstdint>

#include "platform/gdi/geometry.h"
#include "platform/ui/scroll_info_bar.h"

namespace vinca {

using plat::gdi::Point;

// Told about scrolling by the scroller.
struct IScrollOwner {
    virtual ~IScrollOwner() = default;
    virtual void Scrolled(Point oldPosition) = 0;
    virtual void ScrollBegins() {}
    virtual void ScrollEnds() {}
    virtual void Relayout() {}
};

// Answers, per axis (0 x, 1 y), where each scroll step leads.
struct IScrollSteps {
    virtual ~IScrollSteps() = default;
    virtual int32_t Top(int axis) = 0;
    virtual int32_t Bottom(int axis) = 0;
    virtual int32_t LineUp(int axis) = 0;
    virtual int32_t LineDown(int axis) = 0;
    virtual int32_t PageUp(int axis) = 0;
    virtual int32_t PageDown(int axis) = 0;
    virtual int32_t PositionForThumb(int axis, int32_t value) = 0;
    virtual int32_t PageSize(int axis) = 0;
};

// Where the scroller's bars go (the window's two bars).
struct IScrollBars {
    virtual ~IScrollBars() = default;
    virtual void SetScrollInfo(int32_t bar, const plat::ui::SCROLLINFO& si) = 0;
    virtual void EnableScrollBar(int32_t bar, int32_t flags) = 0;
};

// position x range / 32767 for ranges beyond 16 bits, truncated.
int32_t ScaleToScrollRange(int32_t position, int32_t range);

class CScroller {
  public:
    enum : int32_t { BARS_HORZ = 1, BARS_VERT = 2, BARS_BOTH = 3 };
    enum : int32_t { IDLE = 3, SCROLLING_X = 0, SCROLLING_Y = 1 };

    CScroller(IScrollBars* bars, IScrollOwner* owner, IScrollSteps* steps);

    // Another pane group answers the steps from now on.
    void SetSteps(IScrollSteps* steps) { m_steps = steps; }
    void SetBarMode(int32_t mode);
    void SetDisableNoScroll(bool on);
    void SetRange(int32_t x, int32_t y);
    void SetPosition(int32_t x, int32_t y);
    void HScroll(int32_t code, int32_t thumb) { Scroll(0, code, thumb); }
    void VScroll(int32_t code, int32_t thumb) { Scroll(1, code, thumb); }
    void SetEnableMode(int32_t mode);
    void BeginUpdate();
    void EndUpdate();

    Point Position() const { return {m_posX, m_posY}; }
    int32_t RangeX() const { return m_rangeX; }
    int32_t RangeY() const { return m_rangeY; }
    bool VBarShown() const { return m_vBarShown; }
    bool HBarShown() const { return m_hBarShown; }
    bool ThumbTracking() const { return m_thumbTracking; }
    int32_t State() const { return m_scrollState; }

  private:
    void Scroll(int axis, int32_t code, int32_t thumb);
    void ApplyBar(int axis);
    void ApplyBars();
    int32_t Page(int axis) const;

    int32_t m_posX{0}, m_posY{0};
    int32_t m_rangeX{0}, m_rangeY{0};
    IScrollBars* m_bars;
    IScrollOwner* m_owner;
    IScrollSteps* m_steps;
    bool m_thumbTracking{false};
    bool m_vBarShown{false}, m_hBarShown{false};
    int32_t m_barMode{BARS_BOTH};
    bool m_disableNoScroll{false};
    int32_t m_scrollState{IDLE};
    int32_t m_batchCount{0};
    bool m_attached{true};
    int32_t m_enableMode{0};
    bool m_dirty{false};
};

} // namespace vinca
