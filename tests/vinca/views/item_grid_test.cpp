// Grids inside tree cells: an item's own grid shown in place of its picture
// and text, and a tree grid row below an expanded item.
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/model/grid.h"
#include "vinca/model/item.h"
#include "vinca/views/item_cell.h"
#include "vinca/views/view_window.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

using Host = viewtest::SelectionHost;

using viewtest::DarkPixels;
using viewtest::SetCell;

// "Group" with three children and a sibling after it; the group has an item
// grid of three shown columns (the item column and two value columns), the
// row-title column hidden.
struct GroupView {
    CVincaEngine engine;
    Host host;
    std::unique_ptr<CViewWindow> window;
    CItem* group{nullptr};
    Ref<CTreeGrid> grid;
    static constexpr int32_t kWidths[] = {0, 80, 60, 50};

    explicit GroupView(bool visible, int w = 360, int h = 240) {
        coretest::Build(engine.RootNode(), "Group\n alpha\n beta\n gamma\nOther\n");
        engine.ExpandToLevel(100);
        group = engine.RowItem(0);
        grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
        group->SetGrid(grid.get());
        grid->SetColumnCount(4);
        grid->Column(0)->SetVisible(false);
        for (int32_t c = 1; c < 4; ++c)
            grid->Column(c)->SetWidth(kWidths[c]);
        grid->Column(1)->TitleEntry()->SetValue(plat::Variant(std::string_view("Name")));
        grid->Column(2)->TitleEntry()->SetValue(plat::Variant(std::string_view("Size")));
        grid->Column(3)->TitleEntry()->SetValue(plat::Variant(std::string_view("Ver")));
        for (int32_t r = 1; r <= 3; ++r) {
            SetCell(grid->RowItem(r), grid->ColumnKey(2), std::to_string(r * 100));
            SetCell(grid->RowItem(r), grid->ColumnKey(3), "v" + std::to_string(r));
        }
        grid->m_gridFlag = visible ? 1 : 0;
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(w, h);
        window->EnsureLayout();
    }
    // The group's cell as the window lays it out.
    std::unique_ptr<CVincaTreeCellMetrics> Cell(CItem* item) {
        CItemCellBuilder cells(host);
        Dc metrics;
        return cells.Build(item, metrics, {-1, -1}, nullptr);
    }
};

TEST(ItemGrid, AShownGridTakesThePlaceOfPictureAndText) {
    GroupView v(true);
    ASSERT_EQ(v.grid->RowCount(), 3);
    auto cell = v.Cell(v.group);
    const CEmbeddedGridView* g = cell->ItemGrid();
    ASSERT_NE(g, nullptr);
    // The title row and one row per child.
    EXPECT_EQ(g->RowCount(), 4);
    EXPECT_EQ(cell->TextCell().Width(), 0);

    // The grid starts where the picture would: past the box and its gap.
    const Rect pm = cell->PlusMinusRect();
    EXPECT_EQ(g->X(), pm.left + 6 + 2 * (pm.Width() / 2));
    // Columns follow each other at their widths; every row is as high as
    // its cells and rows stack without gaps.
    int32_t x = 0;
    for (int32_t c = 1; c < 4; ++c) {
        const Rect r = g->CellRect(1, c);
        EXPECT_EQ(r.left, x) << c;
        EXPECT_EQ(r.Width(), GroupView::kWidths[c]) << c;
        x = r.right;
    }
    EXPECT_EQ(g->CellRect(0, 0), Rect{}); // hidden row-title column
    EXPECT_EQ(g->CellRect(2, 1).top, g->CellRect(1, 1).bottom);
    EXPECT_EQ(g->CellRect(3, 1).bottom, g->Height());
    EXPECT_EQ(g->Width(), 80 + 60 + 50);
    // The cell grows to hold the grid.
    EXPECT_EQ(cell->Height(), g->Height());
    EXPECT_GE(cell->Width(), g->X() + g->Width());
    auto plain = v.Cell(v.engine.RowItem(4));
    EXPECT_GT(cell->Height(), 3 * plain->Height());
}

TEST(ItemGrid, TheWindowDrawsAndHitsTheGridCells) {
    GroupView v(true);
    auto cell = v.Cell(v.group);
    const CEmbeddedGridView* g = cell->ItemGrid();
    ASSERT_NE(g, nullptr);
    const Rect row = v.window->RowRect(0);
    EXPECT_EQ(row.Height(), cell->Height());
    QImage img = v.window->Render();
    viewtest::Save(img, "item_grid");
    auto inWindow = [&](const Rect& r) { return r.Offset(row.left + g->X(), row.top + g->Y()); };

    // Cell texts are drawn inside their cells: the title, the item column
    // (the child's text) and the value columns.
    const std::pair<int32_t, int32_t> cells[] = {{0, 1}, {0, 2}, {1, 1}, {1, 2}, {3, 3}};
    for (auto [r, c] : cells)
        EXPECT_GT(DarkPixels(img, inWindow(g->CellRect(r, c)).Inflate(-2, -2)), 5) << r << "," << c;

    // A point in a value cell: the cell answers its grid row and column;
    // the window names its own row (the group's) and the grid column.
    const Rect target = g->CellRect(2, 3).Offset(g->X(), g->Y());
    const Point at{target.left + 5, target.top + target.Height() / 2};
    CHitTestInfo info;
    ASSERT_TRUE(cell->HitTest(at, info));
    EXPECT_EQ(info.row, 2);
    EXPECT_EQ(info.col, 3);
    EXPECT_TRUE(info.kind == HIT_CELL || info.kind == HIT_TEXT) << info.kind;
    EXPECT_TRUE(info.rect.Contains(at));
    CHitTestInfo inWin;
    ASSERT_TRUE(v.window->HitTest({row.left + at.x, row.top + at.y}, inWin));
    EXPECT_EQ(inWin.row, 0);
    EXPECT_EQ(inWin.col, 3);
    EXPECT_EQ(inWin.kind, info.kind);
    // Beside the grid the item itself answers.
    CHitTestInfo beside;
    ASSERT_TRUE(v.window->HitTest({inWindow({0, 0, g->Width(), 1}).right + 20, row.top + 2}, beside));
    EXPECT_EQ(beside.kind, HIT_ITEM);
}

TEST(ItemGrid, AHiddenGridLeavesThePlainCell) {
    GroupView hidden(false);
    auto cell = hidden.Cell(hidden.group);
    EXPECT_EQ(cell->ItemGrid(), nullptr);
    EXPECT_GT(cell->TextCell().Width(), 0);
    auto plain = hidden.Cell(hidden.engine.RowItem(4));
    EXPECT_EQ(cell->Height(), plain->Height());
    EXPECT_EQ(hidden.window->RowRect(0).Height(), plain->Height());

    // Shown but with no data column left: only row titles would show, so
    // the item keeps its plain cell.
    hidden.grid->m_gridFlag = 1;
    for (int32_t c = 1; c < 4; ++c)
        hidden.grid->Column(c)->SetVisible(false);
    hidden.grid->Column(0)->SetVisible(true);
    hidden.grid->Column(0)->SetWidth(25);
    EXPECT_EQ(hidden.Cell(hidden.group)->ItemGrid(), nullptr);
    EXPECT_EQ(hidden.Cell(hidden.group)->Height(), plain->Height());
    for (int32_t c = 1; c < 4; ++c)
        hidden.grid->Column(c)->SetVisible(true);
    hidden.grid->Column(0)->SetVisible(false);
    hidden.grid->m_gridFlag = 0;

    // Shown, then hidden again once the rows are laid out afresh.
    hidden.grid->m_gridFlag = 1;
    hidden.window->Redraw(RedrawFlag::Repaint | RedrawFlag::Relayout);
    EXPECT_GT(hidden.window->RowRect(0).Height(), plain->Height());
    hidden.grid->m_gridFlag = 0;
    hidden.window->Redraw(RedrawFlag::Repaint | RedrawFlag::Relayout);
    EXPECT_EQ(hidden.window->RowRect(0).Height(), plain->Height());
}

TEST(ItemGrid, TheLastChildsGridSitsOnePixelLower) {
    GroupView v(true);
    // Move the grid to the last top-level item.
    CItem* last = v.engine.RowItem(4);
    v.group->SetGrid(nullptr);
    last->SetGrid(v.grid.get());
    auto cell = v.Cell(last);
    const CEmbeddedGridView* g = cell->ItemGrid();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->RowCount(), 1); // only the title row: the item has no children
    EXPECT_EQ(g->Y(), 1);
    EXPECT_EQ(cell->Height(), g->Height() + 1);
}

// A tree grid row for an item, built straight from the cell data.
struct TreeGridRow {
    CVincaEngine engine;
    Host host;
    Ref<CTreeGrid> grid;
    CItem* item{nullptr};
    TreeGridRow() {
        coretest::Build(engine.RootNode(), "Parent\n child\n");
        item = engine.RowItem(0);
        grid = CTreeGrid::New(CTreeGrid::TREE_GRID, 35.0f * 15.0f);
        grid->SetOwnerItem(engine.Root());
        grid->SetColumnCount(3);
        grid->Column(1)->SetWidth(90);
        grid->Column(2)->SetWidth(70);
        SetCell(item, grid->ColumnKey(2), "42");
    }
    std::unique_ptr<CVincaTreeCellMetrics> Cell(bool expanded, bool shown = true) {
        CTreeCellData d;
        FillTreeData(host.settings, item, d);
        d.host = &host;
        d.expanded = expanded;
        d.pmState = expanded ? PM_MINUS : PM_PLUS;
        d.treeGridShown = shown;
        d.treeGrid = grid;
        CItemCellBuilder builder(host);
        CMapAttrChain attrs;
        builder.Attributes(item, attrs);
        attrs.SetTreeCellData(&d);
        auto cell = std::make_unique<CVincaTreeCellMetrics>();
        Dc metrics;
        cell->Layout(metrics, {-1, -1}, attrs, LAYOUT_FULL);
        return cell;
    }
};

TEST(ItemGrid, TheTreeGridRowShowsOnlyUnderAnExpandedItem) {
    TreeGridRow t;
    auto collapsed = t.Cell(false);
    auto plain = t.Cell(true, false);
    EXPECT_EQ(collapsed->TreeGrid(), nullptr);
    EXPECT_EQ(collapsed->Height(), plain->Height());

    auto open = t.Cell(true);
    const CEmbeddedGridView* g = open->TreeGrid();
    ASSERT_NE(g, nullptr);
    // Beside the tree column only: the value column.
    EXPECT_EQ(g->RowCount(), 1);
    EXPECT_EQ(g->CellRect(1, 1), Rect{});
    EXPECT_EQ(g->CellRect(1, 2).Width(), 70);
    // One level in from where the picture would start, below the item line
    // and one pixel apart from it.
    const Rect pm = open->PlusMinusRect();
    EXPECT_EQ(g->X(), pm.left + 6 + 2 * (pm.Width() / 2) + 19);
    const int32_t itemLine = plain->Height();
    EXPECT_EQ(g->Y(), itemLine + 1);
    EXPECT_EQ(open->Height(), itemLine + 1 + g->Height());
    EXPECT_GE(open->Width(), g->X() + g->Width());

    // The row's cell draws its value.
    Bitmap bmp = viewtest::Filled(open->Width(), open->Height(), RGB(255, 255, 255));
    Dc dc(bmp);
    open->Draw(dc, 0, 0, {0, 0, open->Width(), open->Height()}, 0);
    const Rect value = g->CellRect(1, 2).Offset(g->X(), g->Y());
    EXPECT_GT(DarkPixels(bmp.Image(), value.Inflate(-2, -2)), 3);
}

} // namespace
