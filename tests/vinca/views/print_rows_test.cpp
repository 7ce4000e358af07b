#include <QtGui/QPdfWriter>
#include <cstdio>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "support/temp_dir.h"
#include "view_fixtures.h"
#include "vinca/model/core_fixtures.h"
#include "vinca/model/engine.h"
#include "vinca/model/grid.h"
#include "vinca/model/item.h"
#include "vinca/views/print_rows.h"
#include "support/servers.h"

using namespace vinca;
using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

struct Host : IViewHost {
    ViewSettings settings;
    std::string richItem;
    const ViewSettings& Settings() const override { return settings; }
    void ItemAttributes(CItem* item, CMapAttrChain& attrs) override {
        if (item->Text() == richItem) attrs.SetInt("__InnerRTFStyle", 1);
    }
};

// A 300-dpi PDF page mapped to 96 units an inch, as the report printer sets
// it up.
struct Page {
    QPdfWriter writer;
    Dc dc;
    explicit Page(const std::string& path)
        : writer(QString::fromStdString(path)),
          dc((writer.setResolution(300), writer), DcKind::Printer, 300, 300) {
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt({96, 96});
        dc.SetViewportExt({300, 300});
    }
};

TEST(PrintRows, RowsMeasureAsOnScreenAndMissingRowsAreEmpty) {
    CVincaEngine engine;
    Host host;
    coretest::Build(engine.RootNode(), "Top\n Child\n  Grandchild");
    engine.ExpandToLevel(100);
    CPrintRows rows(engine, host);
    kltest::TempDir tmp;
    Page page((tmp / "m.pdf").string());
    PrintContext ctx{&page.dc, false};
    Dc screen;
    CItemCellBuilder cells(host);
    for (int32_t row = 0; row < 3; ++row) {
        Size printed = rows.MeasureItemRow(row, ctx);
        Size shown = cells.Build(engine.RowItem(row), screen, {-1, -1}, nullptr)->GetSize();
        EXPECT_EQ(printed.cx, shown.cx) << row;
        EXPECT_EQ(printed.cy, shown.cy) << row;
        EXPECT_GT(printed.cx, 0);
    }
    // Deeper rows are wider by their indentation.
    EXPECT_GT(rows.MeasureItemRow(2, ctx).cx, rows.MeasureItemRow(0, ctx).cx);
    for (int32_t missing : {-1, 3, 1000}) {
        Size m = rows.MeasureItemRow(missing, ctx);
        Size p = rows.PrintItemRow(missing, ctx, 0, 0, {0, 0, 800, 1000});
        EXPECT_EQ(m.cx, 0);
        EXPECT_EQ(m.cy, 0);
        EXPECT_EQ(p.cx, 0);
        EXPECT_EQ(p.cy, 0);
    }
}

TEST(PrintRows, GridRowsStartAfterTheirRowTitles) {
    CVincaEngine engine;
    Host host;
    coretest::Build(engine.RootNode(), "One\nTwo");
    CPrintRows rows(engine, host);
    Bitmap page = viewtest::Filled(300, 120, 0xFFFFFF);
    Dc dc(page);
    const PrintContext ctx{&dc, false};
    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::TREE_GRID, 35.0f * 15.0f);
    grid->SetOwnerItem(engine.Root());
    grid->SetColumnCount(3);
    grid->Column(1)->SetWidth(90);
    grid->Column(2)->SetWidth(60);
    engine.RowItem(0)->GetItemData()->Values().SetOrAddValue(grid->ColumnKey(2),
                                                            plat::Variant(std::string_view("42")));
    rows.SetGrid(grid.get());
    const Size row = rows.MeasureItemRow(0, ctx);
    EXPECT_EQ(row.cx, 25 + 90 + 60);
    EXPECT_EQ(rows.MeasureItemRow(5, ctx), (Size{0, 0}));
    // The title row: the corner over the row titles, then the titles.
    Size titles;
    ASSERT_TRUE(rows.MeasureColumnTitles(ctx, titles));
    EXPECT_EQ(titles, (Size{175, 35}));
    EXPECT_EQ(rows.PrintColumnTitles(ctx, 0, 0, {0, 0, 300, 120}), titles);
    EXPECT_EQ(rows.PrintItemRow(0, ctx, 0, 35, {0, 0, 300, 120}), row);
    viewtest::Save(page.Image(), "printed_grid_rows");
    // Each title ends where its column's cells end.
    for (int32_t right : {25 + 90 - 1, 25 + 90 + 60 - 1}) {
        EXPECT_EQ(viewtest::At(page, right, 20), viewtest::At(page, right, 35 + 8)) << right;
        EXPECT_NE(viewtest::At(page, right - 1, 35 + 8), viewtest::At(page, right, 35 + 8)) << right;
    }
    // The row title in the titles' grey, with a line on its left; the tree
    // column after it in white.
    EXPECT_EQ(viewtest::At(page, 12, 35 + 2), 0xC0C0C0u);
    EXPECT_NE(viewtest::At(page, 0, 35 + 2), 0xC0C0C0u);
    EXPECT_EQ(viewtest::At(page, 25 + 88, 35 + 2), 0xFFFFFFu);
    // Without row titles the row is narrower by their width, and so is the
    // title row; without column titles there are none to print.
    grid->m_titleBands = 1;
    EXPECT_EQ(rows.MeasureItemRow(0, ctx).cx, 150);
    ASSERT_TRUE(rows.MeasureColumnTitles(ctx, titles));
    EXPECT_EQ(titles.cx, 150);
    grid->m_titleBands = 2;
    EXPECT_FALSE(rows.MeasureColumnTitles(ctx, titles));
    EXPECT_EQ(rows.PrintColumnTitles(ctx, 0, 0, {0, 0, 300, 120}), (Size{0, 0}));
}

TEST(PrintRows, HeaderWiderThanThePageWraps) {
    CVincaEngine engine;
    Host host;
    CReportPrinter printer(host);
    kltest::TempDir tmp;
    Page page((tmp / "h.pdf").string());
    PrintContext ctx{&page.dc, false};
    std::string text = "Quarterly report of every published update and its files";
    int32_t natural = printer.MeasureHeaderText(ctx, text, 2000);
    EXPECT_GT(natural, 0);
    EXPECT_EQ(printer.MeasureHeaderText(ctx, text, 1000), natural);
    EXPECT_GE(printer.MeasureHeaderText(ctx, text, 120), 2 * natural - 2);
}

// Printing with every item expanded shows the hidden rows; afterwards the
// tree is as it was, although expanding moved every row below.
TEST(PrintRows, ExpansionComesBackAfterPrinting) {
    CVincaEngine engine;
    Host host;
    coretest::Build(engine.RootNode(), "A\n a1\n a2\nB\n b1\n  b11\nC");
    engine.ExpandToLevel(100);
    CItem* a = engine.RowItem(0);
    engine.SetItemExpanded(a, false);
    ASSERT_EQ(engine.VisibleCount(), 5);
    struct Case {
        int32_t option;
        int32_t during;
    } cases[] = {{0, 5}, {1, 7}, {2, 3}};
    for (const Case& c : cases) {
        CExpandSnapshot snap;
        snap.Capture(engine, c.option);
        EXPECT_EQ(engine.VisibleCount(), c.during) << c.option;
        snap.Restore(engine);
        EXPECT_EQ(engine.VisibleCount(), 5) << c.option;
        EXPECT_FALSE(a->IsExpanded());
        EXPECT_TRUE(engine.RowItem(1)->IsExpanded()) << c.option; // B
    }
}

TEST(PrintRows, PagePrintsRowsHeaderAndFooterAsText) {
    CVincaEngine engine;
    Host host;
    host.richItem = "{\\rtf1 {\\b Bold} {\\i slanted} line}";
    coretest::Build(engine.RootNode(), "Release notes\n Installer\n  Files\n Uninstaller\nSummary");
    engine.ExpandToLevel(100);
    CItem* rich = nullptr;
    engine.AddItem(host.richItem, &rich);
    kltest::TempDir tmp;
    std::string pdf = (tmp / "rows.pdf").string();
    {
        Page page(pdf);
        PrintContext ctx{&page.dc, false};
        CPrintRows rows(engine, host);
        CReportPrinter printer(host);
        Rect body{40, 40, 760, 1040};
        printer.PrintPageHeader(ctx, "Header of the page", body);
        int32_t y = body.top + printer.MeasureHeaderText(ctx, "Header of the page", body.Width()) + 10;
        for (int32_t row = 0; row < engine.VisibleCount(); ++row) {
            Size s = rows.PrintItemRow(row, ctx, body.left, y, body);
            EXPECT_EQ(s.cy, rows.MeasureItemRow(row, ctx).cy);
            y += s.cy;
        }
        printer.PrintPageFooter(ctx, "Footer of the page", body);
    }
    std::string text = kltest::command_output("pdftotext '" + pdf + "' -");
    for (const char* word : {"Header of the page", "Release notes", "Installer", "Files", "Uninstaller",
                             "Summary", "Bold", "slanted", "Footer of the page"})
        EXPECT_NE(text.find(word), std::string::npos) << word << " in " << text;
    EXPECT_EQ(text.find("rtf1"), std::string::npos) << text;
    // The footer is the last line of the page.
    EXPECT_GT(text.find("Footer of the page"), text.find("Summary"));
    std::string png = (tmp / "page").string();
    kltest::command_output("pdftoppm -png -r 60 -f 1 -l 1 '" + pdf + "' '" + png + "'");
    QImage shot(QString::fromStdString(png + "-1.png"));
    ASSERT_FALSE(shot.isNull());
    viewtest::Save(shot, "printed_rows");
}

} // namespace
