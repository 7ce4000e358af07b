#include <gtest/gtest.h>

#include "platform/ui/window_timers.h"
#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/views/grid_cell.h"
#include "vinca/views/view_support.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

TEST(TimerHolder, SetsAndKillsOnceEach) {
    plat::ui::ManualWindowTimers timers;
    CTimerHolder h(2000, 0);
    h.Stop(timers);
    h.Start(timers);
    h.Start(timers);
    EXPECT_EQ(timers.SetCount(2000), 1);
    EXPECT_TRUE(timers.IsRunning(2000));
    h.Stop(timers);
    EXPECT_FALSE(timers.IsRunning(2000));
    h.Start(timers);
    EXPECT_EQ(timers.SetCount(2000), 2);
}

TEST(ResizeTracker, ClampsAtItsLimitsAndItsLineLeavesNoTrace) {
    Bitmap bmp = viewtest::Filled(100, 50, RGB(200, 210, 220));
    QImage before = bmp.Image().copy();
    Dc dc(bmp);
    CResizeTracker t(true);
    t.Setup(10, 80, 30, 0, 50); // line at x = 40
    EXPECT_TRUE(t.HitTest({44, 10}));
    EXPECT_FALSE(t.HitTest({46, 10}));
    EXPECT_EQ(t.Cursor(), TrackerCursor::SizeWE);
    t.Begin({42, 10}, dc);
    EXPECT_EQ(viewtest::At(bmp, 40, 5), RGB(55, 45, 35));
    t.Track({200, 10}, dc);
    EXPECT_EQ(t.CurrentSize(), 70);
    EXPECT_EQ(t.Cursor(), TrackerCursor::SplitH);
    t.Track({20, 10}, dc);
    EXPECT_EQ(t.CurrentSize(), 8); // 20 - grab offset 2 - minimum 10
    EXPECT_EQ(t.End(dc), 8);
    EXPECT_EQ(bmp.Image(), before);
}

TEST(Align, NearCentreFarAndClipped) {
    Rect outer{10, 10, 50, 30};
    EXPECT_EQ(AlignRect(outer, {0, 0}, {10, 4}, 1, 1), (Rect{10, 10, 20, 14}));
    EXPECT_EQ(AlignRect(outer, {0, 0}, {10, 4}, 2, 2), (Rect{25, 18, 35, 22}));
    EXPECT_EQ(AlignRect(outer, {0, 0}, {10, 4}, 3, 3), (Rect{40, 26, 50, 30}));
    // A part wider than the outer rectangle starts at the outer start.
    EXPECT_EQ(AlignRectClipped(outer, {0, 0}, {60, 4}, 2, 1), (Rect{10, 10, 50, 14}));
    EXPECT_EQ(AlignRectClipped(outer, {0, 0}, {60, 40}, 3, 3), (Rect{10, 10, 50, 30}));
}

} // namespace
