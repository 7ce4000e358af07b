// A grid shown in the window in place of the tree: attaching and detaching
// it, its panes' layout, drawing, scrolling and hit testing.
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/model/item.h"
#include "vinca/views/grid_panes.h"
#include "vinca/views/tree_cell.h"
#include "vinca/views/view_window.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

using Host = viewtest::SelectionHost;

using viewtest::DarkPixels;
using viewtest::SetCell;

// A tree grid of four columns (row titles, the tree, two more) over a list
// of items, each with values in columns 2 and 3.
Ref<CTreeGrid> MakeGrid(CVincaEngine& engine) {
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::TREE_GRID, 35.0f * 15.0f);
    grid->SetOwnerItem(engine.Root());
    grid->SetColumnCount(4);
    grid->Column(1)->SetWidth(90);
    grid->Column(2)->SetWidth(70);
    grid->Column(3)->SetWidth(70);
    grid->Column(1)->TitleEntry()->SetValue(plat::Variant(std::string_view("Name")));
    grid->Column(2)->TitleEntry()->SetValue(plat::Variant(std::string_view("Size")));
    for (int32_t row = 0; row < engine.VisibleCount(); ++row) {
        CItem* item = engine.RowItem(row);
        SetCell(item, grid->ColumnKey(2), std::to_string(row * 10));
        SetCell(item, grid->ColumnKey(3), "x" + std::to_string(row));
    }
    return grid;
}

struct GridView {
    CVincaEngine engine;
    Host host;
    std::unique_ptr<CViewWindow> window;
    Ref<CTreeGrid> grid;
    explicit GridView(int rows = 6, int w = 260, int h = 180) {
        std::string tree;
        for (int i = 0; i < rows; ++i)
            tree += "item " + std::to_string(i) + "\n";
        coretest::Build(engine.RootNode(), tree);
        window = std::make_unique<CViewWindow>(engine, host);
        window->resize(w, h);
        window->EnsureLayout();
        grid = MakeGrid(engine);
    }
};

TEST(GridView, SetGridSwitchesBetweenTheTreeAndAShownGrid) {
    GridView v;
    Ref<CTreeGrid> other = MakeGrid(v.engine);
    // A hidden grid while the tree shows: nothing changes.
    v.grid->m_gridFlag = 0;
    EXPECT_EQ(v.window->SetGrid(v.grid.get()), nullptr);
    EXPECT_EQ(v.window->Grid(), nullptr);
    EXPECT_EQ(v.window->SetGrid(nullptr), nullptr);
    // Shown: attached; the same again changes nothing.
    v.grid->m_gridFlag = 1;
    EXPECT_EQ(v.window->SetGrid(v.grid.get()), v.grid.get());
    EXPECT_EQ(v.window->SetGrid(v.grid.get()), v.grid.get());
    EXPECT_EQ(v.window->GridPanes()->RowCount(), 6);
    // Another shown grid takes its place.
    EXPECT_EQ(v.window->SetGrid(other.get()), other.get());
    EXPECT_EQ(v.window->Grid(), other.get());
    // The attached grid hidden, or none: the tree comes back.
    other->m_gridFlag = 0;
    EXPECT_EQ(v.window->SetGrid(other.get()), nullptr);
    EXPECT_EQ(v.window->Grid(), nullptr);
    EXPECT_EQ(v.window->SetGrid(v.grid.get()), v.grid.get());
    EXPECT_EQ(v.window->SetGrid(nullptr), nullptr);
    EXPECT_EQ(v.window->Grid(), nullptr);
}

TEST(GridView, TheWindowKeepsTheGridItShows) {
    GridView v;
    v.window->SetGrid(v.grid.get());
    CTreeGrid* shown = v.grid.get();
    v.grid = Ref<CTreeGrid>(); // the caller lets go
    ASSERT_EQ(v.window->Grid(), shown);
    QImage img = v.window->Render(); // draws from the grid it holds
    EXPECT_FALSE(img.isNull());
    v.window->SetGrid(nullptr);
}

TEST(GridView, PanesLayOutFromTheGridsTitles) {
    GridView v;
    Host host;
    CGridPanes panes(v.engine, host);
    panes.Connect(v.grid.get());
    // Without width nothing is laid out.
    panes.SetRect({0, 0, 0, 100});
    EXPECT_TRUE(panes.CellsRect().IsEmpty());
    panes.SetRect({0, 0, 200, 100});
    EXPECT_EQ(panes.CornerRect(), (Rect{0, 0, 25, 35}));
    EXPECT_EQ(panes.ColumnTitlesRect(), (Rect{25, 0, 200, 35}));
    EXPECT_EQ(panes.RowTitlesRect(), (Rect{0, 35, 25, 100}));
    EXPECT_EQ(panes.CellsRect(), (Rect{25, 35, 200, 100}));
    // A title height below 4 is kept as 4, by the grid too.
    panes.SetTitleHeight(3);
    EXPECT_EQ(panes.TitleHeight(), 4);
    EXPECT_EQ(v.grid->ColTitleHeightPixels(), 4);
    EXPECT_EQ(panes.CellsRect().top, 4);
    // Hidden titles take no room.
    v.grid->m_titleBands = 0;
    panes.SetRect({0, 0, 200, 100});
    EXPECT_EQ(panes.CellsRect(), (Rect{0, 0, 200, 100}));
    EXPECT_TRUE(panes.CornerRect().IsEmpty());
}

TEST(GridView, DrawsTitlesAndCells) {
    GridView v;
    v.window->SetGrid(v.grid.get());
    QImage img = v.window->Render();
    const std::string path = viewtest::Save(img, "grid_with_titles");
    CGridPanes& panes = *v.window->GridPanes();
    // Titles in their grey, with text in the named ones.
    const Rect nameTitle = panes.CellRect(0, 1), sizeTitle = panes.CellRect(0, 2);
    ASSERT_FALSE(nameTitle.IsEmpty());
    EXPECT_EQ(nameTitle.top, 0);
    EXPECT_EQ(img.pixel(nameTitle.left + 3, nameTitle.top + 3) & 0xFFFFFF, 0xC0C0C0u);
    EXPECT_GT(DarkPixels(img, nameTitle), 10);
    EXPECT_GT(DarkPixels(img, sizeTitle), 10);
    // Row titles numbered, cells with their values, under their titles.
    const Rect rowTitle = panes.CellRect(2, 0), cell = panes.CellRect(2, 3);
    EXPECT_GT(DarkPixels(img, rowTitle), 4);
    EXPECT_GT(DarkPixels(img, cell), 4);
    EXPECT_EQ(cell.left, panes.CellRect(0, 3).left);
    EXPECT_EQ(cell.top, rowTitle.top);
    EXPECT_EQ(cell.top, panes.CellRect(1, 3).bottom);
}

TEST(GridView, CellsScrollSidewaysUnderTheirTitles) {
    GridView v(40, 200, 160);
    v.window->SetGrid(v.grid.get());
    CGridPanes& panes = *v.window->GridPanes();
    const int32_t x = panes.CellsRect().left + 5;
    CHitTestInfo title, cell;
    ASSERT_TRUE(v.window->HitTest({x, 10}, title));
    EXPECT_EQ(title.col, 1);
    v.window->HScroll(plat::ui::SB_LINEDOWN, 0);
    v.window->HScroll(plat::ui::SB_ENDSCROLL, 0);
    EXPECT_EQ(panes.FirstColumn(), 1);
    ASSERT_TRUE(v.window->HitTest({x, 10}, title));
    ASSERT_TRUE(v.window->HitTest({x, panes.CellsRect().top + 3}, cell));
    EXPECT_EQ(title.col, 2);
    EXPECT_EQ(cell.col, 2);
    // Rows go down by whole rows, titles and cells together.
    v.window->VScroll(plat::ui::SB_PAGEDOWN, 0);
    v.window->VScroll(plat::ui::SB_ENDSCROLL, 0);
    EXPECT_GT(v.window->TopRow(), 0);
    EXPECT_EQ(panes.TopRow(), v.window->TopRow());
    CItem* top = v.engine.RowItem(v.window->TopRow());
    CItem* hit = nullptr;
    ASSERT_TRUE(v.window->HitTest({3, panes.CellsRect().top + 3}, cell, &hit));
    EXPECT_EQ(hit, top);
    EXPECT_EQ(cell.col, 0);
    viewtest::Save(v.window->Render(), "grid_scrolled");
}

TEST(GridView, HitKindsOfCellsTitlesAndBorders) {
    GridView v;
    v.window->SetGrid(v.grid.get());
    CGridPanes& panes = *v.window->GridPanes();
    const Rect cell = panes.CellRect(1, 2);
    CHitTestInfo info;
    CItem* item = nullptr;
    // The grid line at the cell's right edge.
    ASSERT_TRUE(v.window->HitTest({cell.right - 1, cell.top + 3}, info, &item));
    EXPECT_EQ(info.kind, HIT_BORDER);
    EXPECT_EQ(item, v.engine.RowItem(0));
    EXPECT_EQ(info.row, 0);
    EXPECT_EQ(info.col, 2);
    // Inside the cell: its text or the cell.
    ASSERT_TRUE(v.window->HitTest({cell.left + 4, (cell.top + cell.bottom) / 2}, info, &item));
    EXPECT_TRUE(info.kind == HIT_TEXT || info.kind == HIT_CELL) << info.kind;
    // A column title has no item.
    ASSERT_TRUE(v.window->HitTest({panes.CellRect(0, 2).left + 4, 10}, info, &item));
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(info.row, -1);
    EXPECT_GE(info.kind, HIT_BORDER);
    // Below the last row nothing is hit.
    EXPECT_FALSE(v.window->HitTest({cell.left + 4, 170}, info, &item));
}

// ---- dragging the borders of a shown grid ----

struct Drag {
    CViewWindow& w;
    void Press(Point p) { QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(p.x, p.y)); }
    void Move(Point p) { QTest::mouseMove(&w, QPoint(p.x, p.y)); }
    void Release(Point p) { QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(p.x, p.y)); }
    Qt::CursorShape Cursor() const { return w.cursor().shape(); }
};

TEST(GridResize, DragsTitlesAndRowsByExactlyTheDraggedAmount) {
    struct Case {
        const char* what;
        int32_t dx, dy;
    };
    // Row borders go down and up, even below what the row's text needs.
    const Case cases[] = {
        {"title row", 0, 9}, {"row titles", 14, 0}, {"row taller", 0, 7}, {"row lower", 0, -8}};
    for (const Case& c : cases) {
        GridView v(6, 300, 220);
        v.window->SetGrid(v.grid.get());
        v.window->show();
        CGridPanes& g = *v.window->GridPanes();
        Drag d{*v.window};
        const Rect row1 = g.RowRect(1);
        const int32_t title = g.TitleHeight(), rowTitles = g.RowTitleWidth();
        Point at;
        if (c.dx)
            at = {g.RowTitlesRect().right, row1.top + 2};
        else if (std::string(c.what) == "title row")
            at = {g.CellsRect().left + 30, g.CellsRect().top};
        else
            at = {g.CellsRect().left + 30, row1.bottom};
        d.Press(at);
        d.Move({at.x + c.dx / 2, at.y + c.dy / 2});
        d.Move({at.x + c.dx, at.y + c.dy});
        EXPECT_EQ(d.Cursor(), c.dx ? Qt::SizeHorCursor : Qt::SizeVerCursor) << c.what;
        d.Release({at.x + c.dx, at.y + c.dy});
        if (c.dx) {
            EXPECT_EQ(g.RowTitleWidth(), rowTitles + c.dx) << c.what;
            EXPECT_EQ(g.CellsRect().left, g.GetRect().left + rowTitles + c.dx) << c.what;
            EXPECT_EQ(g.TitleHeight(), title) << c.what;
        } else if (std::string(c.what) == "title row") {
            EXPECT_EQ(g.TitleHeight(), title + c.dy) << c.what;
            EXPECT_EQ(v.grid->ColTitleHeightPixels(), title + c.dy) << c.what;
            EXPECT_EQ(g.RowRect(0).top, g.GetRect().top + title + c.dy) << c.what;
        } else {
            EXPECT_EQ(g.RowRect(1).Height(), row1.Height() + c.dy) << c.what;
            EXPECT_EQ(g.RowRect(1).top, row1.top) << c.what;
            EXPECT_EQ(g.RowRect(2).top, row1.bottom + c.dy) << c.what;
            // The other rows keep their heights, row titles follow the cells.
            EXPECT_EQ(g.RowRect(0).Height(), row1.Height()) << c.what;
            EXPECT_EQ(g.CellRect(2, 0).Height(), row1.Height() + c.dy) << c.what;
        }
        // A drag selects nothing.
        EXPECT_TRUE(v.host.selected.Ranges().empty()) << c.what;
        if (c.dy == -8) viewtest::Save(v.window->Render(), "grid_row_resized");
    }
}

TEST(GridResize, StopsAtItsLimitsWithTheSplitCursor) {
    GridView v(6, 300, 220);
    v.window->SetGrid(v.grid.get());
    v.window->show();
    CGridPanes& g = *v.window->GridPanes();
    Drag d{*v.window};
    // A row dragged past the grid's bottom stops there.
    const Rect row2 = g.RowRect(2);
    const int32_t x = g.CellsRect().left + 30;
    d.Press({x, row2.bottom});
    d.Move({x, g.GetRect().bottom + 50});
    EXPECT_EQ(v.window->Tracker().ActiveResizeTracker()->CurrentSize(), g.GetRect().bottom - row2.top);
    EXPECT_EQ(d.Cursor(), Qt::SplitVCursor);
    d.Move({x, row2.bottom - 3}); // back inside: the sizing cursor again
    EXPECT_EQ(d.Cursor(), Qt::SizeVerCursor);
    d.Move({x, g.GetRect().bottom + 50});
    d.Release({x, g.GetRect().bottom + 50});
    EXPECT_EQ(g.RowRect(2).top, row2.top);
    EXPECT_EQ(g.RowRect(2).bottom, g.GetRect().bottom);
    // Dragged above its top it stops at 0 and keeps 4 pixels.
    const Rect row0 = g.RowRect(0);
    d.Press({x, row0.bottom});
    d.Move({x, row0.top - 20});
    EXPECT_EQ(v.window->Tracker().ActiveResizeTracker()->CurrentSize(), 0);
    EXPECT_EQ(d.Cursor(), Qt::SplitVCursor);
    d.Release({x, row0.top - 20});
    EXPECT_EQ(g.RowRect(0).Height(), 4);
    // The row titles dragged past the left edge keep 4 pixels too.
    const int32_t y = (g.RowRect(3).top + g.RowRect(3).bottom) / 2;
    d.Press({g.RowTitlesRect().right, y});
    d.Move({-30, y});
    EXPECT_EQ(d.Cursor(), Qt::SplitHCursor);
    d.Release({-30, y});
    EXPECT_EQ(g.RowTitleWidth(), 4);
    EXPECT_EQ(g.CellsRect().left, g.GetRect().left + 4);
}

TEST(GridResize, TheInvertedLineShowsOverThePaintAndLeavesNoTrace) {
    GridView v(6, 300, 220);
    v.window->SetGrid(v.grid.get());
    v.window->show();
    CGridPanes& g = *v.window->GridPanes();
    Drag d{*v.window};
    const QImage before = v.window->grab().toImage();
    const Rect row1 = g.RowRect(1);
    const int32_t x = g.CellsRect().left + 30, line = row1.bottom + 6;
    d.Press({x, row1.bottom});
    d.Move({x, line});
    // Painted while dragging: the line inverts exactly one row of pixels
    // across the grid, drawn over everything else.
    const QImage during = v.window->grab().toImage();
    viewtest::Save(during, "grid_resize_line");
    const Rect area = g.GetRect();
    int inverted = 0, other = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int xx = area.left; xx < area.right - 1; ++xx) {
            const QRgb was = before.pixel(xx, y) & 0xFFFFFF, now = during.pixel(xx, y) & 0xFFFFFF;
            if (y == line)
                inverted += now == (~was & 0xFFFFFF);
            else
                other += now != was;
        }
    EXPECT_EQ(inverted, area.Width() - 1);
    EXPECT_EQ(other, 0);
    // Back to where it started: released, the picture is the one before.
    d.Move({x, row1.bottom});
    d.Release({x, row1.bottom});
    EXPECT_EQ(g.RowRect(1), row1);
    EXPECT_TRUE(v.window->grab().toImage() == before);
}

TEST(GridResize, OnlyAShownGridsBordersAreTrackers) {
    GridView v(6, 300, 220);
    v.window->show();
    CViewWindow& w = *v.window;
    QCursor shape;
    const Rect row0 = w.RowRect(0);
    // The tree has no borders to drag.
    EXPECT_NE(w.ClaimCursor({40, row0.bottom}, shape), CursorClaim::Tracker);
    w.SetGrid(v.grid.get());
    CGridPanes& g = *w.GridPanes();
    const Rect r0 = g.RowRect(0);
    EXPECT_EQ(w.ClaimCursor({g.CellsRect().left + 30, r0.bottom + 4}, shape), CursorClaim::Tracker);
    EXPECT_EQ(shape.shape(), Qt::SizeVerCursor);
    EXPECT_NE(w.ClaimCursor({g.CellsRect().left + 30, (r0.top + r0.bottom) / 2 + 1}, shape),
              CursorClaim::Tracker);
    // The right button drags nothing.
    const QPoint border(g.CellsRect().left + 30, r0.bottom);
    QTest::mousePress(&w, Qt::RightButton, {}, border);
    QTest::mouseMove(&w, border + QPoint(0, 9));
    QTest::mouseRelease(&w, Qt::RightButton, {}, border + QPoint(0, 9));
    EXPECT_EQ(g.RowRect(0), r0);
    // Without column titles neither the title row nor the rows resize; the
    // row titles still do.
    v.grid->m_titleBands = 2;
    w.Redraw(RedrawFlag::Relayout);
    const Rect r1 = g.RowRect(1);
    EXPECT_NE(w.ClaimCursor({g.CellsRect().left + 30, r1.bottom}, shape), CursorClaim::Tracker);
    EXPECT_EQ(w.ClaimCursor({g.RowTitlesRect().right, r1.top + 2}, shape), CursorClaim::Tracker);
    EXPECT_EQ(shape.shape(), Qt::SizeHorCursor);
}

// ---- item rectangles and rows of a shown grid ----

TEST(GridView, ItemPartsStandInTheTreeColumn) {
    GridView v(40, 300, 200);
    v.window->SetGrid(v.grid.get());
    CViewWindow& w = *v.window;
    CGridPanes& g = *w.GridPanes();
    CItem* item = v.engine.RowItem(2);
    const Rect row = w.ItemPartRect(item, ItemPart::Row), text = w.ItemPartRect(item, ItemPart::Text);
    const Rect treeCell = g.CellRect(3, 1);
    EXPECT_EQ(row, g.RowRect(2));
    // The text lies inside the tree column's cell, right of the row titles.
    ASSERT_FALSE(text.IsEmpty());
    EXPECT_EQ(text.Intersect(treeCell), text);
    EXPECT_GE(text.left, g.CellsRect().left);
    CHitTestInfo info;
    ASSERT_TRUE(w.HitTest({text.left + 1, (text.top + text.bottom) / 2}, info));
    EXPECT_EQ(info.kind, HIT_TEXT_ITEM);
    // Anywhere: a row below the page lies past the cells' bottom at its
    // place, and the same rectangle comes back once it is scrolled in.
    CItem* far = v.engine.RowItem(30);
    EXPECT_TRUE(w.ItemPartRect(far, ItemPart::Text).IsEmpty());
    const Rect away = w.ItemPartRectAnywhere(far, ItemPart::Text);
    const int32_t offset = away.top - w.RowRectAnywhere(30).top;
    EXPECT_GT(away.top, g.CellsRect().bottom);
    w.SetTopRow(30);
    ASSERT_EQ(w.TopRow(), 30);
    const Rect shown = w.ItemPartRect(far, ItemPart::Text);
    EXPECT_EQ(shown.top, g.CellsRect().top + offset);
    EXPECT_EQ(shown.left, away.left);
    EXPECT_EQ(w.ItemPartRectAnywhere(far, ItemPart::Text), shown);
    // Rows above the top stand above the cells, one after another.
    EXPECT_EQ(w.RowRectAnywhere(29).bottom, g.CellsRect().top);
    EXPECT_EQ(w.RowRectAnywhere(28).bottom, w.RowRectAnywhere(29).top);
}

// An item grid over the children of one item: its rows follow the children.
TEST(GridView, AnItemGridsRowsFollowItsOwnersChildren) {
    CVincaEngine engine;
    Host host;
    coretest::Build(engine.RootNode(), "before\nowner\n c0\n c1\n c2\n c3\nafter");
    CItem* owner = engine.RootNode()->GetAt(1);
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
    grid->SetOwnerItem(owner);
    grid->SetColumnCount(3);
    grid->Column(1)->SetWidth(80);
    grid->Column(2)->SetWidth(80);
    CViewWindow w(engine, host);
    w.resize(260, 200);
    w.EnsureLayout();
    ASSERT_EQ(w.SetGrid(grid.get()), grid.get());
    CGridPanes& g = *w.GridPanes();
    auto items = [&] {
        std::string out;
        for (int32_t r = 0; r < g.RowCount(); ++r)
            out += std::string(g.RowItem(r)->Text()) + ",";
        return out;
    };
    auto hitItem = [&](int32_t row) {
        const Rect r = g.RowRect(row);
        CItem* item = nullptr;
        CHitTestInfo info;
        return !r.IsEmpty() && w.HitTest({g.CellsRect().left + 5, (r.top + r.bottom) / 2}, info, &item)
                   ? item
                   : nullptr;
    };
    w.Render();
    EXPECT_EQ(items(), "c0,c1,c2,c3,");
    struct Step {
        const char* what;
        std::function<void()> change;
        const char* rows;
        int32_t firstMeasuredAgain; // rows before it keep their measurement (-1: not looked at)
    };
    CItem* made = nullptr;
    // While the owner is closed the tree tells nothing of its children.
    const Step steps[] = {
        {"other items change", [&] { engine.InsertItem({engine.RootNode(), 0}, "top", 0, 0); },
         "c0,c1,c2,c3,", 4},
        {"a row inserted", [&] { grid->InsertRow(engine, 2, "mid", &made); }, "c0,mid,c1,c2,c3,", 1},
        {"the owner opened", [&] { engine.SetItemExpanded(owner, true); }, "c0,mid,c1,c2,c3,", -1},
        {"a row appended", [&] { grid->AppendRow(engine, "end"); }, "c0,mid,c1,c2,c3,end,", 5},
        {"a row removed", [&] { grid->RemoveRow(engine, 1); }, "mid,c1,c2,c3,end,", 0},
        {"a row removed, open", [&] { grid->RemoveRow(engine, 3); }, "mid,c1,c3,end,", 2},
    };
    for (const Step& s : steps) {
        std::vector<CGridRowView*> before;
        for (int32_t r = 0; r < g.RowCount(); ++r)
            before.push_back(g.LaidOutRow(r));
        s.change();
        w.Render();
        EXPECT_EQ(items(), s.rows) << s.what;
        for (int32_t r = 0; r < s.firstMeasuredAgain; ++r)
            EXPECT_EQ(g.LaidOutRow(r), before[size_t(r)]) << s.what << " row " << r;
        if (s.firstMeasuredAgain >= 0 && s.firstMeasuredAgain < g.RowCount()) {
            EXPECT_NE(g.LaidOutRow(s.firstMeasuredAgain), before[size_t(s.firstMeasuredAgain)]) << s.what;
        }
        // What shows and what is hit is the child at each place.
        for (int32_t r = 0; r < g.RowCount(); ++r)
            EXPECT_EQ(hitItem(r), g.RowItem(r)) << s.what << " row " << r;
    }
}

} // namespace
