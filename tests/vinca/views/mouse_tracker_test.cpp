#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "vinca/views/mouse_tracker.h"

using namespace vinca;
using plat::gdi::Point;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

// Ten rows of 10 pixels from y = 0.
struct Pane : CMouseTracker::IPane {
    int32_t rows = 10;
    int32_t batches = 0;
    bool capture = false;
    CResizeTracker* tracker = nullptr;
    int32_t resized = -1;
    int32_t PositionAt(Point p, int32_t mode) override {
        int32_t r = p.y < 0 ? -1 : p.y / 10;
        if (mode == 2) return r >= 0 && r < rows ? r : -1;
        return std::clamp(r, 0, rows - 1);
    }
    void ChangeBatch(int32_t which) override { batches += which == 0 ? 1 : 0; }
    void SetCapture(bool on) override { capture = on; }
    bool HasCapture() override { return capture; }
    CResizeTracker* FindResizeTracker(Point p) override {
        return tracker && tracker->HitTest(p) ? tracker : nullptr;
    }
    void ResizeDone(CResizeTracker*, int32_t size) override { resized = size; }
};

std::string Selected(const CRangeSet& s) {
    std::string out;
    for (int i = 0; i < 10; ++i)
        out += s.Contains(i) ? char('0' + i) : '.';
    return out;
}

Point RowPoint(int row) {
    return {5, row * 10 + 5};
}

TEST(MouseTracker, ClicksByModeAndModifier) {
    struct Step {
        int row;
        uint32_t keys;
    };
    struct Case {
        int32_t mode;
        std::vector<Step> clicks;
        const char* selected;
        int32_t current;
    } cases[] = {
        {SELECT_SINGLE, {{2, 0}, {5, 0}}, ".....5....", 5},
        {SELECT_SINGLE, {{2, 0}, {5, MK_CONTROL}}, ".....5....", 5},
        {SELECT_MULTIPLE, {{2, 0}, {5, 0}, {2, 0}}, ".....5....", 2},
        {SELECT_EXTENDED, {{2, 0}, {5, MK_SHIFT}}, "..2345....", 5},
        {SELECT_EXTENDED, {{6, 0}, {3, MK_SHIFT}}, "...3456...", 3},
        {SELECT_EXTENDED, {{2, 0}, {5, MK_CONTROL}, {7, MK_SHIFT}}, ".....567..", 7},
        {SELECT_EXTENDED, {{2, 0}, {5, MK_CONTROL}, {2, MK_CONTROL}}, ".....5....", 2},
        {SELECT_EXTENDED, {{2, 0}, {5, MK_SHIFT}, {8, 0}}, "........8.", 8},
    };
    for (const Case& c : cases) {
        Pane pane;
        CRangeSet rows;
        plat::ui::ManualWindowTimers timers;
        CMouseTracker t(pane, rows, timers);
        t.SetRowCount(10);
        t.SetSelectionMode(c.mode);
        for (const Step& s : c.clicks) {
            t.OnButtonDown(RowPoint(s.row), MK_LBUTTON | s.keys);
            t.OnButtonUp(RowPoint(s.row), s.keys);
        }
        EXPECT_EQ(Selected(rows), c.selected) << "mode " << c.mode;
        EXPECT_EQ(t.Current(), c.current) << "mode " << c.mode;
        EXPECT_FALSE(pane.capture);
    }
}

TEST(MouseTracker, DragExtendsAndScrollsOnTheTimerOutsideTheRows) {
    Pane pane;
    CRangeSet rows;
    plat::ui::ManualWindowTimers timers;
    CMouseTracker t(pane, rows, timers);
    timers.onTimer = [&](uint32_t id) { t.OnTimer(id, {5, 200}); };
    t.SetRowCount(10);
    t.SetSelectionMode(SELECT_EXTENDED);
    t.OnButtonDown(RowPoint(1), MK_LBUTTON);
    t.OnMouseMove(RowPoint(1), MK_LBUTTON); // captures
    EXPECT_TRUE(pane.capture);
    t.OnMouseMove(RowPoint(3), MK_LBUTTON);
    EXPECT_EQ(Selected(rows), ".123......");
    t.OnMouseMove(RowPoint(2), MK_LBUTTON);
    EXPECT_EQ(Selected(rows), ".12.......");
    t.OnMouseMove({5, 200}, MK_LBUTTON); // below the rows
    EXPECT_TRUE(timers.IsRunning(kAutoScrollTimer));
    t.OnMouseMove({5, 210}, MK_LBUTTON);
    EXPECT_EQ(timers.SetCount(kAutoScrollTimer), 1);
    timers.Advance(10);
    EXPECT_EQ(Selected(rows), ".123456789");
    EXPECT_EQ(t.Current(), 9);
    t.OnButtonUp({5, 200}, 0);
    EXPECT_FALSE(timers.IsRunning(kAutoScrollTimer));
    EXPECT_FALSE(pane.capture);
}

TEST(MouseTracker, RemovingTheCurrentRowsSelectsTheRowBefore) {
    Pane pane;
    CRangeSet rows;
    plat::ui::ManualWindowTimers timers;
    CMouseTracker t(pane, rows, timers);
    t.SetRowCount(10);
    t.OnButtonDown(RowPoint(5), MK_LBUTTON);
    t.OnButtonUp(RowPoint(5), 0);
    t.OnRowsRemoved(4, 6);
    EXPECT_EQ(t.Current(), 3);
    EXPECT_EQ(Selected(rows), "...3......");
    EXPECT_EQ(t.LastRow(), 6);
    t.OnRowsInserted(0, 1);
    EXPECT_EQ(t.Current(), 5);
    EXPECT_EQ(Selected(rows), ".....5....");
    t.OnRowsRemoved(0, 8);
    EXPECT_EQ(t.Current(), -1);
}

TEST(MouseTracker, ResizeTrackerKeepsTheDragOutsideItsBand) {
    Pane pane;
    CRangeSet rows;
    plat::ui::ManualWindowTimers timers;
    CMouseTracker t(pane, rows, timers);
    CResizeTracker tracker(false); // a row border along y
    tracker.Setup(0, 50, 20, 0, 100);
    pane.tracker = &tracker;
    t.SetRowCount(10);
    t.OnButtonDown({10, 20}, MK_LBUTTON);
    EXPECT_TRUE(tracker.IsTracking());
    EXPECT_EQ(Selected(rows), "..........");
    t.SetCursorPoint({10, 90});
    EXPECT_TRUE(t.PickResizeTracker());
    t.OnMouseMove({10, 90}, MK_LBUTTON);
    EXPECT_EQ(tracker.CurrentSize(), 50); // stops at its maximum
    t.OnButtonUp({10, 90}, 0);
    EXPECT_EQ(pane.resized, 50);
    EXPECT_FALSE(pane.capture);
}

} // namespace
