#pragma once
// Row selection with the mouse and the keyboard: single, multiple and
// extended modes, mouse capture, the auto-scroll timer while a drag leaves
// the rows, deferred selection while a drag may start, and the resize
// trackers under the pointer. The selected rows live in a range set the
// tracker is given; it keeps no selection of its own.
#include <cstdint>
#include <functional>

#include "platform/ui/window_timers.h"
#include "vinca/model/containers.h"
#include "vinca/views/view_support.h"

namespace vinca {

enum : uint32_t { MK_LBUTTON = 1, MK_SHIFT = 4, MK_CONTROL = 8 };
enum ESelectionMode : int32_t {
    SELECT_NONE = -1,
    SELECT_SINGLE = 0,
    SELECT_MULTIPLE = 1,
    SELECT_EXTENDED = 2
};
inline constexpr uint32_t kAutoScrollTimer = 2000;

class CMouseTracker {
  public:
    // What the view that embeds the tracker answers from its active list.
    struct IPane {
        virtual ~IPane() = default;
        // 0 opens a change batch, 1 closes it.
        virtual void ChangeBatch(int32_t which) {}
        virtual bool Accept(int32_t row) { return true; }
        // The row at a point: mode 2 exactly (-1 off the rows), mode 1 the nearest.
        virtual int32_t PositionAt(Point p, int32_t mode) = 0;
        virtual int32_t LowestRow() { return 0; }
        virtual CResizeTracker* FindResizeTracker(Point p) { return nullptr; }
        virtual void ResizeDone(CResizeTracker* tracker, int32_t size) {}
        // The current row moved (the view scrolls it into sight and repaints).
        virtual void CurrentChanged(int32_t row) {}
        virtual void SetCapture(bool on) {}
        virtual bool HasCapture() { return false; }
        // Runs a resize tracker's drawing on the DC its line goes to (a DC
        // that draws nothing unless the view has one).
        virtual void DrawTracker(const std::function<void(Dc&)>& draw) {
            Dc none;
            draw(none);
        }
    };

    CMouseTracker(IPane& pane, CRangeSet& rows, plat::ui::WindowTimers& timers)
        : m_pane(pane), m_rows(rows), m_timers(timers) {}

    void OnButtonDown(Point p, uint32_t keys);
    void OnMouseMove(Point p, uint32_t keys);
    void OnButtonUp(Point p, uint32_t keys);
    void OnTimer(uint32_t id, Point cursor);

    void SetSelection(int32_t first, int32_t last, bool select);
    void SetSelectionMode(int32_t mode);
    int32_t SelectionMode() const { return m_mode; }
    void ExtendTo(int32_t row);
    void ResetAnchor();
    // Any mode but 0: rows may be dragged away (the control's automatic
    // dragging), so a press on a selected row waits for the release.
    void SetDragMode(int32_t mode);
    int32_t DragMode() const { return m_dragMode; }
    // A drag of the rows runs: the press that started it selects nothing more.
    void SetDragging(bool on);
    void StopTracking();
    void SetCurrent(int32_t row);
    // The current row moves and the selection stays, except in single
    // mode, where the selection is the current row and follows it. This is
    // what setting the current row from outside does: a click's toggling
    // and collapsing never apply to it.
    void MoveCurrent(int32_t row);
    // A move by a navigation key. In extended mode Shift extends from the
    // anchor and a plain move selects the new row alone; in multiple mode
    // only the current row moves (Space selects); single mode as above.
    void KeyMove(int32_t row, bool shift);
    int32_t Current() const { return m_current; }
    int32_t Anchor() const { return m_anchor; }
    bool Captured() const { return m_captured; }

    void OnRowsInserted(int32_t first, int32_t last);
    void OnRowsRemoved(int32_t first, int32_t last);
    void SetRowCount(int32_t n);
    // The current item's row in a list built anew; nothing is told, as the
    // current item stays the same.
    void PlaceCurrent(int32_t row) {
        if (Valid(row)) m_current = row;
    }
    int32_t LastRow() const { return m_lastRow; }

    void SetCursorPoint(Point p) { m_cursor = p; }
    // Takes the resize tracker under the cursor unless one is tracking.
    bool PickResizeTracker();
    CResizeTracker* ActiveResizeTracker() const { return m_resize; }

  private:
    bool Valid(int32_t row) const { return row >= 0 && row <= m_lastRow; }
    void TrackTo(int32_t row, uint32_t keys);
    void Extend(int32_t row);
    void MoveSingle(int32_t row);
    void SelectRange(int32_t a, int32_t b, bool on);

    IPane& m_pane;
    CRangeSet& m_rows;
    plat::ui::WindowTimers& m_timers;
    int32_t m_mode{SELECT_SINGLE};
    int32_t m_lastRow{-1};
    int32_t m_current{-1};
    int32_t m_anchor{-1};
    int32_t m_trackAnchor{-1};
    bool m_captured{false};
    CTimerHolder m_timer{kAutoScrollTimer, 0};
    bool m_keyboardExtend{false};
    bool m_buttonDown{false};
    CResizeTracker* m_resize{nullptr};
    Point m_cursor;
    bool m_dragging{false};
    bool m_deferred{false}; // a press on a selected row waits for its release
    int32_t m_dragMode{0};
};

} // namespace vinca
