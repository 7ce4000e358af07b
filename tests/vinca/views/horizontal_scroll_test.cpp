// Rows wider than the window scroll sideways: the range follows the widest
// row on the page, the bar shows only then, positions stay in range, and
// painting, hit tests and part rectangles move with the rows.
#include <QtWidgets/QScrollBar>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/views/view_window.h"

using namespace vinca;
using namespace plat::gdi;
using plat::ui::SB_BOTTOM;
using plat::ui::SB_ENDSCROLL;
using plat::ui::SB_LINEDOWN;
using plat::ui::SB_LINEUP;
using plat::ui::SB_PAGEDOWN;
using plat::ui::SB_TOP;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

struct Host : IViewHost {
    ViewSettings settings;
    ViewBehaviour behaviour;
    CRangeSet selected;
    const ViewSettings& Settings() const override { return settings; }
    const ViewBehaviour& Behaviour() const override { return behaviour; }
    CRangeSet* SelectedRows() override { return &selected; }
};

const char* kLong = "a row whose text runs well past the right edge of a narrow window";

struct View {
    CVincaEngine engine;
    Host host;
    std::unique_ptr<CViewWindow> window;
    explicit View(const std::string& tree, int w = 200, int h = 160) {
        coretest::Build(engine.RootNode(), tree);
        engine.ExpandToLevel(100);
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(w, h);
        window->Render(); // lays the window out as a first paint does
    }
    QScrollBar* HorzBar() {
        for (QScrollBar* b : window->findChildren<QScrollBar*>())
            if (b->orientation() == Qt::Horizontal) return b;
        return nullptr;
    }
};

std::string Tree(int rows, bool longFirst) {
    std::string t = longFirst ? std::string("A\n ") + kLong + "\n" : "A\n";
    for (int i = 0; i < rows; ++i)
        t += " item " + std::to_string(i) + "\n";
    return t;
}

TEST(HorizontalScroll, NarrowRowsGiveNoRangeAndNoBar) {
    View v(Tree(3, false));
    EXPECT_EQ(v.window->HorzScrollMax(), 0);
    EXPECT_FALSE(v.window->HorzBarShown());
    v.window->SetHorzScrollPosition(50);
    EXPECT_EQ(v.window->HorzScrollPosition(), 0);
}

TEST(HorizontalScroll, WideRowGivesTheRangeTheBarAndClampedPositions) {
    View v(Tree(3, true));
    const int32_t max = v.window->HorzScrollMax();
    ASSERT_GT(max, 100);
    EXPECT_TRUE(v.window->HorzBarShown());
    QScrollBar* bar = v.HorzBar();
    ASSERT_TRUE(bar);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->maximum(), max);
    // The bar sits under the rows: a point on it is on no row.
    EXPECT_EQ(v.window->RowFromPoint({5, bar->geometry().top() + 1}), -1);

    struct Case {
        int32_t to;
        int32_t expect;
    } cases[] = {{40, 40}, {-5, 0}, {max + 1000, max}, {max, max}, {0, 0}};
    for (const Case& c : cases) {
        v.window->SetHorzScrollPosition(c.to);
        EXPECT_EQ(v.window->HorzScrollPosition(), c.expect) << c.to;
        EXPECT_EQ(bar->value(), c.expect) << c.to;
    }
}

TEST(HorizontalScroll, StepsMoveByLinesPagesAndToTheEnds) {
    View v(Tree(3, true));
    const int32_t max = v.window->HorzScrollMax();
    const int32_t page = v.window->HorzBarShown() ? v.HorzBar()->pageStep() : 0;
    ASSERT_GT(page, 100);
    auto step = [&](int32_t code) {
        v.window->HScroll(code, 0);
        v.window->HScroll(SB_ENDSCROLL, 0);
        return v.window->HorzScrollPosition();
    };
    EXPECT_EQ(step(SB_LINEDOWN), 30);
    EXPECT_EQ(step(SB_LINEUP), 0);
    EXPECT_EQ(step(SB_LINEUP), 0);
    EXPECT_EQ(step(SB_PAGEDOWN), std::min(page, max));
    EXPECT_EQ(step(SB_BOTTOM), max);
    EXPECT_EQ(step(SB_LINEDOWN), max);
    EXPECT_EQ(step(SB_TOP), 0);
    // The bar's own arrows drive the same steps.
    v.HorzBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(v.window->HorzScrollPosition(), 30);
}

TEST(HorizontalScroll, RowsPaintAndHitWhereTheyMoved) {
    View scrolled(Tree(3, true)), still(Tree(3, true));
    const int32_t dx = 40;
    scrolled.window->SetHorzScrollPosition(dx);
    const QImage a = scrolled.window->Render(), b = still.window->Render();
    viewtest::Save(a, "horizontal_scroll");
    // Every row pixel shows what the unscrolled view shows dx to the right.
    const int32_t w = 200 - scrolled.window->findChild<QScrollBar*>()->sizeHint().width();
    const int32_t rowsBottom = scrolled.window->RowRect(3).bottom;
    ASSERT_GT(rowsBottom, 0);
    int32_t differ = 0;
    for (int y = 0; y < rowsBottom; ++y)
        for (int x = 0; x + dx < w; ++x)
            if (a.pixel(x, y) != b.pixel(x + dx, y)) ++differ;
    EXPECT_EQ(differ, 0);

    // Part rectangles and hits follow the rows (row 2 has a short text,
    // clipped on neither side).
    CItem* item = still.engine.RowItem(2);
    CItem* same = scrolled.engine.RowItem(2);
    const Rect text0 = still.window->ItemPartRect(item, ItemPart::Text);
    const Rect text1 = scrolled.window->ItemPartRect(same, ItemPart::Text);
    ASSERT_GT(text0.right, dx + 4);
    EXPECT_EQ(text1.right, text0.right - dx);
    CHitTestInfo hit0, hit1;
    const Point at{text0.right - 2, text0.top + 2};
    ASSERT_TRUE(still.window->HitTest(at, hit0));
    ASSERT_TRUE(scrolled.window->HitTest({at.x - dx, at.y}, hit1));
    EXPECT_EQ(hit1.row, 2);
    EXPECT_EQ(hit1.kind, hit0.kind);
    EXPECT_EQ(hit1.rect.left, hit0.rect.left - dx);
    EXPECT_EQ(hit1.rect.right, hit0.rect.right - dx);

    // The plus/minus box of row 0 has moved out of sight: a click where it
    // was leaves the item open.
    const Rect pm = still.window->ItemPartRect(still.engine.RowItem(0), ItemPart::PlusMinus);
    ASSERT_FALSE(pm.IsEmpty());
    ASSERT_LT(pm.right, dx);
    EXPECT_TRUE(scrolled.window->ItemPartRect(scrolled.engine.RowItem(0), ItemPart::PlusMinus).IsEmpty());
}

TEST(HorizontalScroll, PastTheEndOfANarrowRowTheBackgroundShows) {
    // Painted first unscrolled, so the paint buffer holds the rows there;
    // then scrolled to the end, where the narrow rows stop short of the
    // right edge and the background shows past them.
    View v(Tree(3, true), 200, 160);
    v.window->Render();
    v.window->SetHorzScrollPosition(v.window->HorzScrollMax());
    const QImage reused = v.window->Render();
    Bitmap fresh(200, 160);
    {
        Dc dc(fresh);
        v.window->DrawInto(dc, {0, 0, 200, 160});
    }
    const QImage& drawn = fresh.Image();
    const Rect rows = v.window->RowsArea();
    const Rect narrow = v.window->RowRect(2);
    ASSERT_FALSE(narrow.IsEmpty());
    // Below the last row only the background lies.
    const QRgb background = drawn.pixel(rows.left + 2, rows.bottom - 2);
    ASSERT_LT(v.window->RowRect(4).bottom, rows.bottom - 2);
    EXPECT_EQ(drawn.pixel(rows.right - 2, (narrow.top + narrow.bottom) / 2), background);
    int32_t differ = 0;
    for (int y = rows.top; y < rows.bottom; ++y)
        for (int x = rows.left; x < rows.right; ++x)
            differ += drawn.pixel(x, y) != reused.pixel(x, y);
    EXPECT_EQ(differ, 0);
}

TEST(HorizontalScroll, APageOfNarrowRowsTakesTheRangeAway) {
    View v(Tree(60, true), 200, 120);
    v.window->SetHorzScrollPosition(60);
    ASSERT_EQ(v.window->HorzScrollPosition(), 60);
    v.window->SetTopRow(30); // the wide row is far above
    EXPECT_EQ(v.window->HorzScrollMax(), 0);
    EXPECT_EQ(v.window->HorzScrollPosition(), 0);
    EXPECT_FALSE(v.window->HorzBarShown());
    v.window->SetTopRow(0);
    EXPECT_GT(v.window->HorzScrollMax(), 0);
}

TEST(HorizontalScroll, VerticalOnlyBarsShowNoHorizontalBar) {
    View v(Tree(3, true));
    v.host.behaviour.scrollBars = 2;
    v.window->PropertyChanged(ViewProperty::ScrollBars);
    EXPECT_FALSE(v.window->HorzBarShown());
}

} // namespace
