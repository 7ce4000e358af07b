// A grid shown in the window in place of the tree: attaching and detaching
// it, its panes' layout, drawing, scrolling and hit testing.
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/model/item.h"
#include "vinca/views/grid_panes.h"
#include "vinca/views/view_window.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

struct Host : IViewHost {
    ViewSettings settings;
    CRangeSet selected;
    const ViewSettings& Settings() const override { return settings; }
    CRangeSet* SelectedRows() override { return &selected; }
};

void SetCell(CItem* item, const CVincaName* key, std::string_view text) {
    item->GetItemData()->Values().SetOrAddValue(key, plat::Variant(text));
}

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

bool Dark(COLORREF c) {
    return (c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && ((c >> 16) & 0xFF) < 0x60;
}

int DarkPixels(const QImage& img, const Rect& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += Dark(img.pixel(x, y) & 0xFFFFFF) ? 1 : 0;
    return n;
}

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

} // namespace
