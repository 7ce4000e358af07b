// The control window's input as such: which keys the container's shortcuts
// may not take, key codes of the numeric pad, the current item after clicks
// and page keys, the window's size, and the window's timers.
#include "input_fixture.h"

#include <QtGui/QScreen>
#include <QtWidgets/QScrollBar>

#include "platform/ui/window_timers.h"
#include "vinca/control/dispids.h"
#include "vinca/model/grid.h"
#include "vinca/views/grid_panes.h"

namespace {

using kltest::ControlInputTest;
using plat::Variant;
using vinca::ItemPart;
namespace ev = vinca::dispid::event;

class ControlInput : public ControlInputTest {};

TEST_F(ControlInput, ArrowsAreNeverTheContainersShortcuts) {
    struct Case {
        int key;
        bool taken;
    } cases[] = {{Qt::Key_Left, true}, {Qt::Key_Up, true},      {Qt::Key_Right, true},
                 {Qt::Key_Down, true}, {Qt::Key_Delete, false}, {Qt::Key_A, false}};
    for (const Case& c : cases) {
        QKeyEvent e(QEvent::ShortcutOverride, c.key, Qt::NoModifier);
        e.ignore();
        QApplication::sendEvent(view, &e);
        EXPECT_EQ(e.isAccepted(), c.taken) << c.key;
    }
}

TEST_F(ControlInput, KeysGiveTheirVirtualKeyCodes) {
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        int code;
    } cases[] = {
        {Qt::Key_Plus, Qt::KeypadModifier, 107},     {Qt::Key_Minus, Qt::KeypadModifier, 109},
        {Qt::Key_Asterisk, Qt::KeypadModifier, 106}, {Qt::Key_7, Qt::KeypadModifier, 0x67},
        {Qt::Key_Plus, Qt::NoModifier, 0xBB},        {Qt::Key_Minus, Qt::NoModifier, 0xBD},
        {Qt::Key_PageDown, Qt::NoModifier, 34},      {Qt::Key_F5, Qt::NoModifier, 116},
        {Qt::Key_Return, Qt::NoModifier, 13},        {Qt::Key_Shift, Qt::ShiftModifier, 16},
    };
    for (const Case& c : cases) {
        host->clear();
        key(c.key, c.mods);
        ASSERT_GE(host->events().size(), 1u) << c.key;
        EXPECT_EQ(host->events().front().id, ev::kKeyDown);
        EXPECT_EQ(host->events().front().args[0].to_i4(), c.code) << c.key;
    }
}

TEST_F(ControlInput, NavigationKeysOnAnEmptyListOnlyFireTheirEvents) {
    key(Qt::Key_Down);
    key(Qt::Key_End);
    EXPECT_EQ(host->trace(), "KeyDown(40,0) KeyUp(40,0) KeyDown(35,0) KeyUp(35,0)");
    EXPECT_EQ(listIndex(), -1);
}

TEST_F(ControlInput, ClicksAndPageKeysMoveTheCurrentItem) {
    for (int i = 0; i < 30; ++i)
        add("Item " + std::to_string(i));
    click(at(2, ItemPart::Text));
    EXPECT_EQ(listIndex(), 2);
    // Page Down: the row before the bottom one, unless the bottom is the last.
    key(Qt::Key_PageDown);
    const int32_t bottom = view->BottomRow();
    EXPECT_EQ(listIndex(), bottom - 1);
    EXPECT_GT(view->TopRow(), 0);
    key(Qt::Key_End);
    EXPECT_EQ(listIndex(), 29);
    key(Qt::Key_PageUp);
    EXPECT_EQ(listIndex(), view->TopRow());
    // Explorer behaviour with Ctrl: Home only scrolls.
    put("ExplorerCompatible", Variant(int16_t(1)));
    const int32_t current = listIndex();
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->TopRow(), 0);
    EXPECT_EQ(listIndex(), current);
}

TEST_F(ControlInput, LeftAndRightScrollSidewaysOnlyWithAHorizontalBar) {
    add("Short");
    add("Second");
    click(at(0, ItemPart::Text));
    ASSERT_FALSE(view->HorzBarShown());
    key(Qt::Key_Right);
    EXPECT_EQ(listIndex(), 1);
    key(Qt::Key_Left);
    EXPECT_EQ(listIndex(), 0);

    add(std::string(120, 'W'));
    ASSERT_TRUE(view->HorzBarShown());
    host->clear();
    key(Qt::Key_Right);
    EXPECT_EQ(listIndex(), 0);
    EXPECT_GT(view->HorzScrollPosition(), 0);
    EXPECT_EQ(host->trace(), "KeyDown(39,0) HScroll(0,1,0) KeyUp(39,0)");
    key(Qt::Key_Left);
    EXPECT_EQ(view->HorzScrollPosition(), 0);
    EXPECT_EQ(listIndex(), 0);

    // A container that cancels the scroll keeps the view where it is.
    host->answer(ev::kHScroll, 0, Variant(int16_t(-1)));
    key(Qt::Key_Right);
    EXPECT_EQ(view->HorzScrollPosition(), 0);
    EXPECT_EQ(listIndex(), 0);
}

// A sideways wheel ends its scroll as the upright one does: the container
// hears each line, and afterwards the vertical bar follows new rows again.
TEST_F(ControlInput, SidewaysWheelEndsItsScroll) {
    add(std::string(120, 'W'));
    add("Second");
    ASSERT_TRUE(view->HorzBarShown());
    QScrollBar* vertical = nullptr;
    for (QScrollBar* bar : view->findChildren<QScrollBar*>())
        if (bar->orientation() == Qt::Vertical) vertical = bar;
    ASSERT_NE(vertical, nullptr);
    ASSERT_TRUE(vertical->isHidden());
    host->clear();
    wheel({-120, 0});
    EXPECT_EQ(host->trace(), "HScroll(0,1,0) HScroll(0,1,0) HScroll(0,1,0)");
    EXPECT_GT(view->HorzScrollPosition(), 0);
    for (int i = 0; i < 40; ++i)
        add("Item " + std::to_string(i));
    EXPECT_FALSE(vertical->isHidden());
    EXPECT_GT(vertical->maximum(), 0);
}

// A press on a grid border goes to its resize tracker: the release that
// ends the drag over a cell clicks nothing, and a click afterwards still does.
TEST_F(ControlInput, BorderDragsEndWithoutAClick) {
    for (int i = 0; i < 4; ++i)
        add("Item " + std::to_string(i));
    put("HasGrid", Variant::boolean(true));
    ASSERT_NE(ctrl->OwnGrid(), nullptr);
    ctrl->OwnGrid()->SetColumnCount(3);
    ctrl->RequestRefresh(1, 0);
    ASSERT_EQ(view->Grid(), ctrl->OwnGrid());
    vinca::CGridPanes& g = *view->GridPanes();
    const auto clicks = [&] {
        return host->count(ev::kItemClick) + host->count(ev::kGridCellClick) + host->count(ev::kClick);
    };
    struct Case {
        const char* what;
        int32_t dx, dy;
    } cases[] = {{"row border", 0, 7}, {"row titles border", 14, 0}};
    for (const Case& c : cases) {
        const vinca::Rect row1 = g.RowRect(1);
        const int32_t rowTitles = g.RowTitleWidth();
        const QPoint from = c.dx ? QPoint(g.RowTitlesRect().right, row1.top + 2)
                                 : QPoint(g.CellsRect().left + 30, row1.bottom);
        const QPoint to = from + QPoint(c.dx, c.dy);
        host->clear();
        m_time += 10000;
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        m_time += 20;
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        // The drag took effect, and it ended over the rows' cells.
        if (c.dx)
            EXPECT_EQ(g.RowTitleWidth(), rowTitles + c.dx) << c.what;
        else
            EXPECT_EQ(g.RowRect(1).Height(), row1.Height() + c.dy) << c.what;
        ASSERT_TRUE(g.CellsRect().Contains({to.x(), to.y()})) << c.what;
        EXPECT_FALSE(view->IsBusy()) << c.what;
        EXPECT_EQ(clicks(), 0u) << c.what << ": " << host->trace();

        const vinca::Rect row = g.RowRect(1);
        click(QPoint(g.CellsRect().left + 30, (row.top + row.bottom) / 2));
        EXPECT_EQ(host->count(ev::kItemClick), 1u) << c.what << ": " << host->trace();
        EXPECT_EQ(host->count(ev::kClick), 1u) << c.what << ": " << host->trace();
    }
}

TEST_F(ControlInput, WindowLargerThanTheScreenIsLaidOutAtTheScreensSize) {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    host->resize(screen.width() + 300, screen.height() + 200);
    EXPECT_EQ(view->size(), screen);
    host->resize(200, 100);
    EXPECT_EQ(view->size(), QSize(200, 100));
}

TEST(WindowTimers, ElapsesUnderTenMillisecondsRunAtTen) {
    plat::ui::ManualWindowTimers timers;
    std::vector<uint32_t> fired;
    timers.onTimer = [&](uint32_t id) { fired.push_back(id); };
    timers.SetTimer(2, 0);
    timers.SetTimer(7, 3);
    timers.SetTimer(9, 15);
    timers.Advance(9);
    EXPECT_TRUE(fired.empty());
    timers.Advance(1);
    EXPECT_EQ(fired, (std::vector<uint32_t>{2, 7}));
}

} // namespace
