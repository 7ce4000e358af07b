#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/model/grid.h"
#include "vinca/model/item.h"
#include "vinca/views/grid_panes.h"
#include "vinca/views/view_window.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

using Host = viewtest::SelectionHost;

// The pointer, the screen and whether our window is the active one, as the
// test sets them.
struct Desktop : IToolTipDesktop {
    Point cursor;
    Rect screen{0, 0, 1920, 1080};
    bool active{true};
    Point CursorPos() const override { return cursor; }
    Rect ScreenRect(Point) const override { return screen; }
    bool IsActive(QWidget*) const override { return active; }
};

constexpr int kWidth = 160;
const char* kRows = "short\n"
                    "a row whose text runs well past the right edge of the view\n"
                    "tiny\n"
                    "another row that the view cuts off at its right edge\n"
                    "e\nf\ng\nh\ni\nj\nk\nl\n"; // enough rows to scroll

struct TipView {
    CVincaEngine engine;
    Host host;
    std::unique_ptr<CViewWindow> window;
    plat::ui::ManualWindowTimers* clock;
    std::shared_ptr<Desktop> desktop = std::make_shared<Desktop>();

    explicit TipView(uint32_t delay = 0, int32_t environment = 0) {
        coretest::Build(engine.RootNode(), kRows);
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(kWidth, 120);
        window->move(300, 200);
        window->show();
        auto timers = std::make_unique<plat::ui::ManualWindowTimers>();
        clock = timers.get();
        window->SetTimers(std::move(timers));
        CItemToolTip& tip = window->ToolTip();
        tip.SetDesktop(desktop);
        tip.SetEnabled(true);
        tip.SetShowDelay(delay);
        tip.SetEnvironment(environment);
    }
    Point Global(Point client) const {
        QPoint g = window->mapToGlobal(QPoint(client.x, client.y));
        return {g.x(), g.y()};
    }
    Point OnRow(int row, int x = 60) const {
        Rect r = window->RowRect(row);
        return {x, (r.top + r.bottom) / 2};
    }
    void Move(Point client) {
        desktop->cursor = Global(client);
        QPointF at(client.x, client.y);
        QMouseEvent move(QEvent::MouseMove, at, window->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(window.get(), &move);
    }
    CItemToolTip& Tip() { return window->ToolTip(); }
};

} // namespace

TEST(ToolTip, ShowsOnlyForACutOffCellOverItsRow) {
    TipView v;
    v.Move(v.OnRow(0)); // wholly visible
    EXPECT_FALSE(v.Tip().IsShown());
    v.Move(v.OnRow(1));
    ASSERT_TRUE(v.Tip().IsShown()); // delay 0: at the first move
    EXPECT_EQ(v.Tip().TipRow(), 1);
    // The tip stands over the row, frame included, and wider than the view.
    Rect row = v.window->RowRect(1);
    Point origin = v.Global({row.left, row.top});
    Rect tip = v.Tip().TipRect();
    EXPECT_EQ(tip.left, origin.x - 1);
    EXPECT_EQ(tip.top, origin.y - 1);
    EXPECT_GT(tip.Width(), kWidth);
    EXPECT_EQ(tip.Height(), row.Height() + 2);
    ASSERT_TRUE(v.Tip().Popup());
    EXPECT_TRUE(v.Tip().Popup()->isVisible());
    EXPECT_EQ(v.Tip().Popup()->geometry(), QRect(tip.left, tip.top, tip.Width(), tip.Height()));
    EXPECT_FALSE(v.Tip().Popup()->hasFocus());

    // The picture a person looks at: the view with the tip over it.
    QImage shot(kWidth + tip.Width() + 20, 140, QImage::Format_RGB32);
    shot.fill(Qt::lightGray);
    {
        QPainter p(&shot);
        p.drawImage(10, 10, v.window->Render());
        QPoint at = v.window->mapFromGlobal(QPoint(tip.left, tip.top)) + QPoint(10, 10);
        p.drawImage(at, v.Tip().Popup()->grab().toImage());
    }
    viewtest::Save(shot, "tool_tip");
    // The frame is black and the inside takes the tool-tip background.
    QImage popup = v.Tip().Popup()->grab().toImage();
    EXPECT_EQ(QColor(popup.pixel(0, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(popup.pixel(tip.Width() - 2, 1)), QApplication::palette().color(QPalette::ToolTipBase));

    v.Move(v.OnRow(2)); // a short row again: the tip goes
    EXPECT_FALSE(v.Tip().IsShown());
}

TEST(ToolTip, WaitsForTheDelayWhileThePointerRests) {
    TipView v(400);
    v.Move(v.OnRow(1));
    v.clock->Advance(399);
    EXPECT_FALSE(v.Tip().IsShown());
    v.clock->Advance(1);
    EXPECT_TRUE(v.Tip().IsShown());
    // Without auto-hide the hide timer keeps the tip while the pointer rests.
    v.clock->Advance(2000);
    EXPECT_TRUE(v.Tip().IsShown());

    // A pointer that moved on before the delay ran out gets no tip.
    TipView w(400);
    w.Move(w.OnRow(1));
    w.desktop->cursor = w.Global(w.OnRow(1, 70));
    w.clock->Advance(400);
    EXPECT_FALSE(w.Tip().IsShown());
}

TEST(ToolTip, AutoHideDoesNotBringTheSameHitBack) {
    TipView v(0, 1);
    v.Move(v.OnRow(1));
    ASSERT_TRUE(v.Tip().IsShown());
    v.clock->Advance(4999);
    EXPECT_TRUE(v.Tip().IsShown());
    v.clock->Advance(1);
    EXPECT_FALSE(v.Tip().IsShown());
    v.Move(v.OnRow(1, 61)); // the same cell part
    v.clock->Advance(10000);
    EXPECT_FALSE(v.Tip().IsShown());
    v.Move(v.OnRow(3)); // another cell
    EXPECT_TRUE(v.Tip().IsShown());
    EXPECT_EQ(v.Tip().TipRow(), 3);
}

TEST(ToolTip, StaysOnItsScreen) {
    struct Case {
        Rect screen;
        int32_t left;  // expected left edge of the tip
        int32_t right; // expected right edge
    };
    TipView probe;
    probe.Move(probe.OnRow(1));
    Rect natural = probe.Tip().TipRect();
    ASSERT_GT(natural.Width(), 0);
    const Case cases[] = {
        // Past the right edge: moved left so that its right edge is the screen's.
        {{0, 0, natural.right - 30, 1080}, natural.left - 30, natural.right - 30},
        // A screen narrower than the tip: never past the left edge.
        {{natural.left + 5, 0, natural.left + 40, 1080}, natural.left + 5, natural.left + 40},
        // A second screen to the right of the first.
        {{1920, 0, 3840, 1080}, 1920, 1920 + natural.Width()},
    };
    for (const Case& c : cases) {
        TipView v;
        v.desktop->screen = c.screen;
        v.Move(v.OnRow(1));
        ASSERT_TRUE(v.Tip().IsShown());
        EXPECT_EQ(v.Tip().TipRect().left, c.left);
        EXPECT_EQ(v.Tip().TipRect().right, c.right);
    }
}

TEST(ToolTip, GoesOnScrollKeysInactivityAndSettling) {
    {
        TipView v;
        v.Move(v.OnRow(1));
        ASSERT_TRUE(v.Tip().IsShown());
        v.window->SetTopRow(1); // the rows move under the tip
        EXPECT_FALSE(v.Tip().IsShown());
    }
    {
        TipView v;
        v.Move(v.OnRow(1));
        ASSERT_TRUE(v.Tip().IsShown());
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(v.window.get(), &key);
        EXPECT_FALSE(v.Tip().IsShown());
    }
    {
        TipView v(400);
        v.desktop->active = false; // another application is active
        v.Move(v.OnRow(1));
        v.clock->Advance(400);
        EXPECT_FALSE(v.Tip().IsShown());
    }
    {
        TipView v;
        v.Move(v.OnRow(1));
        ASSERT_TRUE(v.Tip().IsShown());
        EXPECT_EQ(v.window->Settle(), 0);
        EXPECT_FALSE(v.Tip().IsShown());
        EXPECT_FALSE(v.clock->IsRunning(kToolTipShowTimer));
        EXPECT_FALSE(v.clock->IsRunning(kToolTipHideTimer));
    }
}

TEST(ToolTip, AClickOnTheTipReachesTheViewAtTheSameScreenPoint) {
    TipView v;
    Point on3 = v.OnRow(3);
    v.Move(on3);
    ASSERT_TRUE(v.Tip().IsShown());
    plat::ui::PopupWindow* popup = v.Tip().Popup();
    QPoint global(v.Global(on3).x, v.Global(on3).y);
    QPointF inPopup = popup->mapFromGlobal(QPointF(global));
    QMouseEvent press(QEvent::MouseButtonPress, inPopup, QPointF(global), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(popup, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, inPopup, QPointF(global), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(popup, &release);
    EXPECT_EQ(v.window->CurrentRow(), 3);
    EXPECT_TRUE(v.host.selected.Contains(3));
    EXPECT_FALSE(v.Tip().IsShown()); // a button hides it
}

TEST(ToolTip, OffWhenNotEnabled) {
    TipView v;
    v.Tip().SetEnabled(false);
    v.Move(v.OnRow(1));
    EXPECT_FALSE(v.Tip().IsShown());
}

// A shown grid: the tip is the grid's cell under the pointer, placed where
// the grid shows it, and only for a cell the view's edge cuts off.
TEST(ToolTip, InAGridTheCutOffCellIsTheTip) {
    TipView v;
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::TREE_GRID, 20.0f * 15.0f);
    grid->SetOwnerItem(v.engine.Root());
    grid->SetColumnCount(3);
    grid->Column(1)->SetWidth(60);
    grid->Column(2)->SetWidth(200); // runs past the view's right edge
    for (int32_t row = 0; row < v.engine.VisibleCount(); ++row)
        v.engine.RowItem(row)->GetItemData()->Values().SetOrAddValue(
            grid->ColumnKey(2), plat::Variant(std::string_view("a value that runs well past the edge")));
    ASSERT_EQ(v.window->SetGrid(grid.get()), grid.get());
    CGridPanes& g = *v.window->GridPanes();
    const Rect tree = g.CellRect(1, 1), cut = g.CellRect(2, 2);
    ASSERT_FALSE(cut.IsEmpty());
    ASSERT_LT(cut.right, g.CellsRect().left + 60 + 200); // the view cuts it
    v.Move({tree.left + 5, tree.top + 3});               // "short" in its column: whole
    EXPECT_FALSE(v.Tip().IsShown());
    v.Move({cut.left + 5, cut.top + 3});
    ASSERT_TRUE(v.Tip().IsShown());
    EXPECT_EQ(v.Tip().TipRow(), 1);
    const auto* cell = dynamic_cast<const CMVBorderCellMetrics*>(v.Tip().TipCellShown());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->col, 2);
    const Point origin = v.Global({cut.left, cut.top});
    const Rect tip = v.Tip().TipRect();
    EXPECT_EQ(tip.left, origin.x - 1);
    EXPECT_EQ(tip.top, origin.y - 1);
    EXPECT_GT(tip.right - 1, v.Global({cut.right, 0}).x);
}
