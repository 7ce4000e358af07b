#pragma once
// Small pieces the panes and the composite view stand on: a window timer
// started and stopped at most once in a row, the trackers that drag a column, row or title border
// with an inverted line, and rectangle alignment.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/gdi/dc.h"
#include "platform/ui/window_timers.h"
#include "vinca/views/cell_metrics.h"

namespace vinca {

// A window timer that is set once when started and killed once when stopped.
class CTimerHolder {
  public:
    CTimerHolder(uint32_t id, uint32_t elapse) : m_id(id), m_elapse(elapse) {}
    void Start(plat::ui::WindowTimers& timers);
    void Stop(plat::ui::WindowTimers& timers);
    bool IsRunning() const { return m_running; }
    void SetElapse(uint32_t ms) { m_elapse = ms; }

  private:
    bool m_running{false};
    uint32_t m_id;
    uint32_t m_elapse;
};

// Cursor shapes the trackers ask for.
enum class TrackerCursor { None, SizeWE, SizeNS, SplitH, SplitV };

// Drags a border line between a minimum and a maximum. The vertical-line
// tracker moves along x (column widths), the horizontal-line one along y.
class CResizeTracker {
  public:
    static constexpr int32_t kHalfBand = 5;
    explicit CResizeTracker(bool verticalLine) : m_vertical(verticalLine) {}

    // Sets the line's range (along the axis) and its band (across it).
    void Setup(int32_t minimum, int32_t maximum, int32_t size, int32_t bandStart, int32_t bandEnd);
    bool HitTest(Point p) const;
    // The line is drawn with R2_NOT into `dc`, so drawing it twice
    // restores what was there.
    void Begin(Point p, Dc& dc);
    void Track(Point p, Dc& dc);
    int32_t End(Dc& dc);
    bool IsTracking() const { return m_tracking; }
    int32_t CurrentSize() const { return m_size; }
    int32_t Minimum() const { return m_min; }
    int32_t Maximum() const { return m_max; }
    TrackerCursor Cursor() const;
    // Draws the line where it stands (once more to take it away); a window
    // repainting under a drag draws it last over what it painted.
    void DrawLine(Dc& dc) const;
    // The pixels the line covers.
    Rect LineRect() const;

  private:
    bool m_vertical;
    int32_t m_size{0};
    int32_t m_bandStart{0}, m_bandEnd{0};
    int32_t m_min{0}, m_max{0};
    int32_t m_grab{0};
    bool m_tracking{false};
};

// Places a part of `size` with an `offset` in `outer`: 1 near, 2 centre, 3
// far on each axis. The clipped form never runs past the outer rectangle.
Rect AlignRect(const Rect& outer, Point offset, Size size, int32_t hAlign, int32_t vAlign);
Rect AlignRectClipped(const Rect& outer, Point offset, Size size, int32_t hAlign, int32_t vAlign);

} // namespace vinca
