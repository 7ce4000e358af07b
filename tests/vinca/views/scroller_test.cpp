#include <QtWidgets/QScrollBar>
#include <gtest/gtest.h>

#include "platform/ui/scroll_info_bar.h"
#include "platform/ui/virtual_keys.h"
#include "platform/ui/window_timers.h"
#include "support/offscreen_gui.h"
#include "vinca/views/scroller.h"

using namespace vinca;
using namespace plat::ui;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

// Two real bars and a pane of `count` rows showing `page` rows at a time.
struct Pane : IScrollBars, IScrollOwner, IScrollSteps {
    QScrollBar hBar{Qt::Horizontal}, vBar{Qt::Vertical};
    ScrollInfoBar h{&hBar}, v{&vBar};
    int32_t page = 20;
    std::vector<std::string> log;
    CScroller* scroller = nullptr;

    void SetScrollInfo(int32_t bar, const SCROLLINFO& si) override {
        (bar == SB_VERT ? v : h).SetScrollInfo(si);
    }
    void EnableScrollBar(int32_t bar, int32_t flags) override {
        (bar == SB_VERT ? v : h).EnableScrollBar(flags);
    }
    void Scrolled(plat::gdi::Point old) override {
        log.push_back("scrolled " + std::to_string(old.y) + "->" + std::to_string(scroller->Position().y));
    }
    void ScrollBegins() override { log.push_back("begin"); }
    void ScrollEnds() override { log.push_back("end"); }
    int32_t Y() const { return scroller->Position().y; }
    int32_t Top(int) override { return 0; }
    int32_t Bottom(int axis) override { return axis ? scroller->RangeY() : 0; }
    int32_t LineUp(int) override { return Y() - 1; }
    int32_t LineDown(int) override { return Y() + 1; }
    int32_t PageUp(int) override { return Y() - page; }
    int32_t PageDown(int) override { return Y() + page; }
    int32_t PositionForThumb(int, int32_t v) override { return v; }
    int32_t PageSize(int) override { return page; }
};

TEST(Scroller, LongRangesAreScaledTo16Bits) {
    Pane p;
    CScroller s(&p, &p, &p);
    p.scroller = &s;
    s.SetRange(0, 100000);
    s.SetPosition(0, 50000);
    SCROLLINFO si = p.v.GetScrollInfo();
    EXPECT_EQ(si.nMax, 32767);
    EXPECT_EQ(si.nPage, 6u);
    EXPECT_EQ(si.nPos, 16383);
    EXPECT_EQ(p.vBar.maximum(), 32762);
    EXPECT_EQ(p.vBar.pageStep(), 6);
    EXPECT_EQ(p.vBar.value(), 16383);
    EXPECT_TRUE(p.v.IsShown());
    EXPECT_FALSE(p.h.IsShown()); // no horizontal range

    EXPECT_EQ(ScaleToScrollRange(32767, 100000), 99999);
    EXPECT_EQ(ScaleToScrollRange(500, 30000), 500);
    s.VScroll(SB_THUMBPOSITION, 32767);
    EXPECT_EQ(s.Position().y, 99999);
    s.VScroll(SB_ENDSCROLL, 0);
    s.SetPosition(-5, -5);
    EXPECT_EQ(s.Position(), (plat::gdi::Point{0, 0}));
}

TEST(Scroller, DisableNoScrollKeepsAnUnneededBarShownDisabled) {
    Pane p;
    CScroller s(&p, &p, &p);
    p.scroller = &s;
    s.SetRange(0, 10); // less than a page of 20
    EXPECT_FALSE(p.v.IsShown());
    s.SetDisableNoScroll(true);
    EXPECT_TRUE(p.v.IsShown());
    EXPECT_FALSE(p.vBar.isEnabled());
    EXPECT_EQ(p.v.GetScrollInfo().nMax, 1);
    s.SetRange(0, 200);
    EXPECT_TRUE(p.vBar.isEnabled());
}

TEST(Scroller, BarActionsArriveAsScrollCodesFollowedByEndScroll) {
    Pane p;
    CScroller s(&p, &p, &p);
    p.scroller = &s;
    s.SetRange(0, 200);
    std::vector<int32_t> codes;
    p.v.onScroll = [&](int32_t code, int32_t thumb) {
        codes.push_back(code);
        s.VScroll(code, thumb);
    };
    p.vBar.triggerAction(QAbstractSlider::SliderPageStepAdd);
    p.vBar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    p.vBar.triggerAction(QAbstractSlider::SliderToMaximum);
    p.vBar.triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(codes, (std::vector<int32_t>{SB_PAGEDOWN, SB_ENDSCROLL, SB_LINEDOWN, SB_ENDSCROLL, SB_BOTTOM,
                                           SB_ENDSCROLL, SB_TOP, SB_ENDSCROLL}));
    EXPECT_EQ(s.Position().y, 0);
    EXPECT_EQ(p.vBar.value(), 0);
    p.vBar.triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(p.vBar.value(), 20);
    // One begin and one end around each scroll.
    EXPECT_EQ(p.log.front(), "begin");
    EXPECT_EQ(p.log.back(), "end");
}

TEST(Scroller, ABatchAppliesOnlyAtItsEnd) {
    Pane p;
    CScroller s(&p, &p, &p);
    p.scroller = &s;
    s.SetRange(0, 500);
    s.BeginUpdate();
    s.SetPosition(0, 100);
    EXPECT_EQ(p.v.GetScrollInfo().nPos, 0);
    EXPECT_TRUE(p.log.empty());
    s.EndUpdate();
    EXPECT_EQ(p.v.GetScrollInfo().nPos, 100);
}

TEST(WindowTimers, ManualClockFiresInOrderAndZeroMeansTenMs) {
    ManualWindowTimers t;
    std::vector<std::pair<uint64_t, uint32_t>> fired;
    t.onTimer = [&](uint32_t id) { fired.emplace_back(t.Now(), id); };
    t.SetTimer(2000, 0);
    t.SetTimer(7, 25);
    t.Advance(30);
    EXPECT_EQ(fired,
              (std::vector<std::pair<uint64_t, uint32_t>>{{10, 2000}, {20, 2000}, {25, 7}, {30, 2000}}));
    t.KillTimer(2000);
    fired.clear();
    t.Advance(25);
    EXPECT_EQ(fired, (std::vector<std::pair<uint64_t, uint32_t>>{{50, 7}}));
}

TEST(VirtualKeys, QtKeysAndModifiers) {
    struct Case {
        int qt;
        int32_t vk;
    } cases[] = {{Qt::Key_A, 'A'},
                 {Qt::Key_7, '7'},
                 {Qt::Key_F2, 0x71},
                 {Qt::Key_Return, VK_RETURN},
                 {Qt::Key_Enter, VK_RETURN},
                 {Qt::Key_Escape, VK_ESCAPE},
                 {Qt::Key_PageDown, VK_NEXT},
                 {Qt::Key_Left, VK_LEFT},
                 {Qt::Key_Delete, VK_DELETE},
                 {Qt::Key_unknown, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(VirtualKeyFromQt(c.qt), c.vk) << c.qt;
    EXPECT_EQ(ShiftMask(Qt::ShiftModifier | Qt::AltModifier), 5);
    EXPECT_EQ(ShiftMask(Qt::ControlModifier), 2);
}

} // namespace
