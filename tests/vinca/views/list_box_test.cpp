#include <gtest/gtest.h>

#include <vector>

#include "support/offscreen_gui.h"
#include "vinca/views/list_box.h"

using namespace vinca;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

// Items of given extents along the list's axis, 20 px across; counts how
// often items are measured.
struct Items : CMVListBox {
    Items(bool horizontal, int32_t count, int32_t extent, int32_t mode = MODE_ITEM_STEP)
        : CMVListBox(horizontal, 0, mode, false), extents(size_t(count), extent) {
        SetCount(count);
    }
    std::unique_ptr<CCellMetrics> MeasureItem(int32_t index, Dc&, Size& extent) override {
        ++measured;
        const int32_t along = extents[size_t(index)];
        extent = Axis().Swaps() ? Size{along, 20} : Size{20, along};
        return nullptr;
    }
    std::vector<int32_t> extents;
    int measured = 0;
};

// The client: 50 px along the items, 100 across.
Rect Client(bool horizontal) {
    return horizontal ? Rect{0, 0, 50, 100} : Rect{0, 0, 100, 50};
}

TEST(ListBox, BothOrientationsAnswerTheSameStepsOnTheirOwnAxis) {
    for (bool horizontal : {false, true}) {
        SCOPED_TRACE(horizontal ? "horizontal" : "vertical");
        Items list(horizontal, 20, 10);
        list.SetClientRect(Client(horizontal));
        const int along = horizontal ? 0 : 1, across = 1 - along;
        EXPECT_TRUE(list.IsItemAxis(along));
        EXPECT_EQ(list.PageSize(along), 5); // items 0..4, the last whole
        EXPECT_EQ(list.LineDown(along), 1);
        EXPECT_EQ(list.PageDown(along), 5);
        EXPECT_EQ(list.Bottom(along), 15);
        EXPECT_EQ(list.PositionForThumb(along, 19), 15);
        EXPECT_EQ(list.ScrollToItem(7), 7);
        EXPECT_EQ(list.LineUp(along), 6);
        EXPECT_EQ(list.PageUp(along), 2);
        // Across the items: 30-px lines and client-sized pages.
        list.SetCrossOffset(40);
        EXPECT_EQ(list.LineDown(across), 70);
        EXPECT_EQ(list.LineUp(across), 10);
        EXPECT_EQ(list.PageDown(across), 140);
        EXPECT_EQ(list.PageSize(across), 100);
        // The item under a point along the axis.
        const Point p = horizontal ? Point{25, 5} : Point{5, 25};
        EXPECT_EQ(list.ItemFromPoint(p, 2), 9);
        const Rect r = list.GetItemRect(9);
        EXPECT_EQ(horizontal ? r.left : r.top, 20);
    }
}

TEST(ListBox, LineDownWithTheLastItemWholeDoesNothing) {
    Items shortList(false, 3, 10);
    shortList.SetClientRect(Client(false));
    EXPECT_EQ(shortList.LineDown(1), 0);
    EXPECT_EQ(shortList.PageDown(1), 0);

    Items list(false, 8, 10);
    list.SetClientRect(Client(false));
    EXPECT_EQ(list.ScrollToItem(3), 3); // items 3..7 fill the client exactly
    EXPECT_EQ(list.GetItemVisibility(7), 2);
    EXPECT_EQ(list.LineDown(1), 3);

    // A last item cut off at the bottom still lets the list move on.
    Items cut(false, 6, 12);
    cut.SetClientRect(Client(false));
    EXPECT_EQ(cut.GetItemVisibility(4), 1);
    EXPECT_EQ(cut.LineDown(1), 1);
}

TEST(ListBox, SetCountWithTheSameCountMeasuresAgainAndKeepsTheTop) {
    Items list(false, 20, 10);
    list.SetClientRect(Client(false));
    list.ScrollToItem(5);
    list.Recalc();
    const int before = list.measured;
    list.extents[6] = 25;
    list.SetCount(20);
    EXPECT_EQ(list.TopIndex(), 5);
    EXPECT_EQ(list.GetItemRect(7).top, 35); // item 6 is measured at its new extent
    EXPECT_GT(list.measured, before);
    // Fewer and more items: the top stays on its item where it can.
    list.SetCount(4);
    EXPECT_EQ(list.TopIndex(), 3);
    list.SetCount(0);
    EXPECT_EQ(list.TopIndex(), -1);
    EXPECT_EQ(list.GetItemVisibility(0), 2); // a list without items
}

TEST(ListBox, InsertAndRemoveKeepTheTopItem) {
    Items list(false, 20, 10);
    list.SetClientRect(Client(false));
    list.ScrollToItem(10);
    list.InsertItems(0, 2);
    list.extents.insert(list.extents.begin(), 3, 10);
    EXPECT_EQ(list.TopIndex(), 13);
    list.RemoveItems(12, 14);
    list.extents.erase(list.extents.begin() + 12, list.extents.begin() + 15);
    EXPECT_EQ(list.TopIndex(), 12);
    EXPECT_EQ(list.Count(), 20);
    EXPECT_EQ(list.GetItemRect(12).top, 0);
}

TEST(ListBox, NearestItemsBeforeAndAfterThePage) {
    Items list(false, 20, 10);
    list.SetClientRect({0, 10, 100, 60});
    list.ScrollToItem(4);
    EXPECT_EQ(list.ItemFromPoint({5, 5}, 1), 3);   // above the client
    EXPECT_EQ(list.ItemFromPoint({5, 5}, 2), -1);  // exact: nothing
    EXPECT_EQ(list.ItemFromPoint({5, 65}, 3), 9);  // below: after the last laid out
    EXPECT_EQ(list.ItemFromPoint({5, 12}, 2), 4);
}

TEST(ListBox, PixelModeStopsWhereNothingNewWouldShow) {
    Items list(false, 5, 12, CMVListBox::MODE_PIXELS);
    list.SetClientRect(Client(false));
    EXPECT_EQ(list.ScrollToItem(0), 0);
    // The last item is cut off: moving down goes one item at a time.
    EXPECT_EQ(list.ScrollToItem(3), 1);
    EXPECT_EQ(list.ScrollToItem(99), 1); // out of range
}

} // namespace
