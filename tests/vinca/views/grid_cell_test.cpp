#include <QtGui/QPdfWriter>
#include <cstdio>
#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "support/temp_dir.h"
#include "view_fixtures.h"
#include "vinca/views/grid_cell.h"
#include "support/servers.h"

using namespace vinca;
using namespace plat::gdi;
using plat::Handle32;
using plat::Variant;
using viewtest::At;
using viewtest::Filled;
using viewtest::PictureOf;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

// The control's usual defaults for a cell.
CMapAttrChain Defaults() {
    CMapAttrChain a;
    a.SetInt("__TextAlign", 2).SetInt("__PicAlign", 2).SetInt("__Alignment", 0);
    a.SetInt("__ForeColor", 0).SetInt("__BackColor", 0xFFFFFF);
    a.SetInt("__SelFrColor", 0xFFFFFF).SetInt("__SelBkColor", 0x800000);
    a.SetInt("__Multiline", 2);
    return a;
}

QImage Solid(int w, int h, QRgb c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

Variant PictureValue(const QImage& img) {
    auto p = PictureOf(img);
    return Variant(static_cast<plat::IDispatch*>(p.get()));
}

TEST(GridCell, MarginsOfTheBorderStyles) {
    struct Case {
        int32_t style, width3D, margin;
    } cases[] = {{0, 0, 0}, {1, 0, 1}, {2, 0, 2}, {3, 2, 2}, {4, 1, 1}, {2, 5, 2}};
    Dc dc;
    for (const Case& c : cases) {
        CMapAttrChain a = Defaults();
        a.SetInt("__BorderStyle", c.style).SetInt("__3DBorder", c.width3D).SetText("__Value", "x");
        CMVGridCellMetrics cell;
        cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
        EXPECT_EQ(cell.Margin(), c.margin) << c.style;
        EXPECT_EQ(cell.Width(), cell.TextWidth() + 2 * c.margin) << c.style;
        EXPECT_EQ(cell.TextRect().left, c.margin + 1) << c.style;
    }
}

TEST(GridCell, TextMeasuredThroughTheFontAndCutAt1024Characters) {
    Dc dc;
    CMapAttrChain a = Defaults();
    a.SetText("__Value", "Wide text");
    CMVGridCellMetrics cell;
    cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
    const plat::gdi::Font& f = cell.Font().GetHandle();
    EXPECT_EQ(cell.TextWidth(), f.Extent("Wide text") + 2);
    EXPECT_EQ(cell.TextHeight(), f.Metrics().tmHeight + f.Metrics().tmExternalLeading + 2);
    EXPECT_EQ(cell.Height(), cell.TextHeight());

    a.SetText("__Value", std::string(1500, 'a'));
    cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
    EXPECT_EQ(cell.Text(), std::string(1021, 'a') + "...");
    a.SetText("__Value", std::string(1500, 'a')).SetInt("__Multiline", 1);
    cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
    EXPECT_EQ(cell.Text().size(), 1024u);
}

TEST(GridCell, PicturePlacementAndTextlessCells) {
    Dc dc;
    CMapAttrChain a = Defaults();
    a.Set("__Picture", PictureValue(Solid(16, 16, qRgb(0, 0, 255))));
    a.SetInt("__PicAlign", 5).SetInt("__TextAlign", 0);
    CMVGridCellMetrics cell;
    cell.Layout(dc, {40, 30}, a, LAYOUT_FULL);
    // 16 + 2 centred in 40, then shrunk by one on each side.
    EXPECT_EQ(cell.PictureRect(), (Rect{12, 7, 28, 23}));
    EXPECT_TRUE(cell.TextRect().IsEmpty());
    cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
    EXPECT_EQ(cell.GetSize(), (Size{18, 18}));

    // Picture left of the text: the split gives the picture its width plus
    // half of the spare room.
    a.SetInt("__TextAlign", 2).SetInt("__PicAlign", 2).SetText("__Value", "t");
    cell.Layout(dc, {100, -1}, a, LAYOUT_FULL);
    int32_t tw = cell.TextWidth();
    int32_t split = 18 + (100 - 18 - tw) / 2;
    EXPECT_EQ(cell.PictureRect().left, 1);
    EXPECT_EQ(cell.TextRect().left, split + 1);
}

TEST(BorderCell, ItemHeightInTwipsIncludesTheLine) {
    Dc dc;
    CMapAttrChain a = Defaults();
    a.SetText("__Value", "row").Set("__ItemHeight", Variant(300.0f));
    a.SetInt("__HorLineThickness", 1)
        .SetInt("__IsHorGridLinesVisible", -1)
        .SetInt("__HorLineColor", 0x808080);
    auto cell = CreateCellMetrics(nullptr, "col1");
    cell->Layout(dc, {80, -1}, a, LAYOUT_FULL);
    EXPECT_EQ(cell->Height(), 20);
    EXPECT_EQ(cell->Inner().Height(), 19);
    a.Set("__ItemHeight", Variant(-1.0f));
    cell->Layout(dc, {80, -1}, a, LAYOUT_FULL);
    EXPECT_EQ(cell->Height(), cell->Inner().Height() + 1);
}

TEST(BorderCell, HitKindsFromLineToPicture) {
    Dc dc;
    CMapAttrChain a = Defaults();
    a.SetText("__Value", "text").Set("__Picture", PictureValue(Solid(10, 10, qRgb(1, 1, 1))));
    a.SetInt("__VerLineThickness", 2).SetInt("__IsVerGridLinesVisible", -1);
    a.SetInt("__HorLineThickness", 2).SetInt("__IsHorGridLinesVisible", -1);
    auto cell = CreateCellMetrics(nullptr, "c");
    cell->row = 3;
    cell->col = 4;
    cell->Layout(dc, {120, 30}, a, LAYOUT_FULL);
    const auto& inner = static_cast<const CMVGridCellMetrics&>(cell->Inner());
    struct Case {
        Point p;
        int32_t kind;
        const char* key;
    } cases[] = {
        {{119, 5}, HIT_BORDER, "__Border"},
        {{5, 29}, HIT_BORDER, "__Border"},
        {{inner.PictureRect().left + 1, inner.PictureRect().top + 1}, HIT_PICTURE, "__Picture"},
        {{inner.TextRect().left + 1, inner.TextRect().top + 1}, HIT_TEXT, "__Text"},
        {{inner.TextRect().right + 2, 1}, HIT_CELL, ""},
    };
    for (const Case& c : cases) {
        CHitTestInfo info;
        ASSERT_TRUE(cell->HitTest(c.p, info)) << c.p.x << "," << c.p.y;
        EXPECT_EQ(info.kind, c.kind) << c.p.x << "," << c.p.y;
        EXPECT_EQ(info.key, c.key);
        EXPECT_EQ(info.row, 3);
        EXPECT_EQ(info.col, 4);
    }
    CHitTestInfo none;
    EXPECT_FALSE(cell->HitTest({120, 0}, none));
}

TEST(GridCell, RichTextOnlyWithItsStyleAndTheMarker) {
    EXPECT_TRUE(IsRichCellText("  {\\rtf1 x}", 1));
    EXPECT_FALSE(IsRichCellText("  {\\rtf1 x}", 0));
    EXPECT_FALSE(IsRichCellText("{\\rtf1", 1)); // under 7 characters
    EXPECT_FALSE(IsRichCellText("\t{\\rtf1 x}", 1));
}

// Draws one cell at (5, 5) in a 60 x 30 image and answers the image.
Bitmap DrawCell(CMapAttrChain& a, uint32_t state, Rect clip = {0, 0, 70, 40}) {
    Bitmap bmp = Filled(70, 40, RGB(0, 255, 0));
    Dc dc(bmp);
    CMVGridCellMetrics cell;
    cell.Layout(dc, {60, 30}, a, LAYOUT_FULL);
    cell.Draw(dc, 5, 5, clip, state);
    return bmp;
}

TEST(GridCellDraw, SelectionInvertsThePictureUnlessTheStyleKeepsIt) {
    CMapAttrChain a = Defaults();
    a.SetInt("__TextAlign", 0).SetInt("__PicAlign", 5);
    a.Set("__Picture", PictureValue(Solid(8, 8, qRgb(255, 0, 0))));
    Bitmap normal = DrawCell(a, 0);
    EXPECT_EQ(At(normal, 35, 20), RGB(255, 0, 0));
    Bitmap sel = DrawCell(a, kCellSelected);
    EXPECT_EQ(At(sel, 35, 20), RGB(0, 255, 255));
    a.SetInt("__InvStyle", 2);
    Bitmap kept = DrawCell(a, kCellSelected);
    EXPECT_EQ(At(kept, 35, 20), RGB(255, 0, 0));
    a.SetInt("__InvStyle", 0).Set("__PictureInv", PictureValue(Solid(8, 8, qRgb(0, 0, 255))));
    Bitmap own = DrawCell(a, kCellSelected);
    EXPECT_EQ(At(own, 35, 20), RGB(0, 0, 255));
}

TEST(GridCellDraw, NoColourBackgroundAndInvertedBorder) {
    CMapAttrChain a = Defaults();
    a.SetInt("__TextAlign", 0).SetInt("__BackColor", 0x02FFFFFF);
    Bitmap see = DrawCell(a, 0);
    EXPECT_EQ(At(see, 30, 20), RGB(0, 255, 0)); // the container shows through

    a.SetInt("__BackColor", 0xFFFFFF).SetInt("__BorderStyle", 1).SetInt("__BorderColor", 0x0000FF);
    a.SetInt("__InvBorderStyle", 1).SetInt("__SelFrColor", 0x00FFFF).SetInt("__InvStyle", 1);
    Bitmap plain = DrawCell(a, 0);
    EXPECT_EQ(At(plain, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(At(plain, 6, 6), RGB(255, 255, 255));
    Bitmap sel = DrawCell(a, kCellSelected);
    EXPECT_EQ(At(sel, 5, 5), RGB(255, 255, 0));
}

TEST(GridCellDraw, NothingOutsideTheClip) {
    CMapAttrChain a = Defaults();
    a.SetText("__Value", "Clipped text that runs on and on").SetInt("__BackColor", 0x000080);
    a.SetInt("__GradientStyle", 1).SetInt("__GrdColorFrom", 0).SetInt("__GrdColorTo", 0xFFFFFF);
    Bitmap bmp = DrawCell(a, 0, {10, 10, 30, 20});
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 70; ++x)
            if (!(x >= 10 && x < 30 && y >= 10 && y < 20)) {
                ASSERT_EQ(At(bmp, x, y), RGB(0, 255, 0)) << x << "," << y;
            }
    EXPECT_NE(At(bmp, 15, 15), RGB(0, 255, 0));
}

TEST(GridCellDraw, Screenshot) {
    // Titles, plain, rich, a picture and a 3-D border, side by side.
    Bitmap bmp = Filled(420, 66, RGB(255, 255, 255));
    Dc dc(bmp);
    struct Col {
        const char* key;
        const char* value;
        int32_t border;
    } cols[] = {{"__ColTitle", "Title", 4},
                {"c", "plain text", 1},
                {"c", "  {\\rtf1 {\\b rich} {\\i text}}", 0},
                {"c", "3-D inset", 3}};
    int x = 0;
    for (const Col& c : cols) {
        CMapAttrChain a = Defaults();
        a.SetText("__Value", c.value).SetInt("__BorderStyle", c.border).SetInt("__3DBorder", 2);
        a.SetInt("__RTFStyle", 1)
            .SetInt("__BackColor", std::string(c.key) == "__ColTitle" ? 0xC0C0C0 : 0xFFFFFF);
        a.SetInt("__IsVerGridLinesVisible", -1)
            .SetInt("__VerLineThickness", 1)
            .SetInt("__VerLineColor", 0x808080);
        a.SetInt("__IsHorGridLinesVisible", -1)
            .SetInt("__HorLineThickness", 1)
            .SetInt("__HorLineColor", 0x808080);
        a.Set("__Picture", PictureValue(Solid(12, 12, qRgb(0, 120, 0))));
        auto cell = CreateCellMetrics(nullptr, c.key);
        cell->Layout(dc, {100, 30}, a, LAYOUT_FULL);
        cell->Draw(dc, x, 0, {0, 0, 420, 66}, 0);
        cell->Draw(dc, x, 33, {0, 0, 420, 66}, kCellSelected);
        x += 105;
    }
    viewtest::Save(bmp.Image(), "grid_cells");
    // Selected cells take the selection colours, rich text included.
    EXPECT_EQ(At(bmp, 2 * 105 + 98, 50), RGB(0, 0, 0x80));
    EXPECT_EQ(At(bmp, 105 + 90, 50), RGB(0, 0, 0x80));
}

} // namespace

namespace {

// Cells printed on a 300-dpi page mapped to screen units keep their text as
// text and their pictures as images.
TEST(GridCellDraw, PrintsOnAPageInScreenUnits) {
    kltest::TempDir tmp;
    std::string pdf = (tmp / "cells.pdf").string();
    {
        QPdfWriter writer(QString::fromStdString(pdf));
        writer.setResolution(300);
        Dc dc(writer, DcKind::Printer, 300, 300);
        Handle32 h = PrinterDcs().add(&dc);
        EXPECT_EQ(PrinterDcs().get(h), &dc);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt({96, 96});
        dc.SetViewportExt({300, 300});
        int y = 20;
        for (const char* text : {"Printed plain", "  {\\rtf1 {\\b Printed} {\\i rich}}", "Second column"}) {
            CMapAttrChain a = Defaults();
            a.SetText("__Value", text).SetInt("__RTFStyle", 1).SetInt("__BorderStyle", 1);
            a.Set("__Picture", PictureValue(Solid(12, 12, qRgb(0, 120, 0))));
            CMVGridCellMetrics cell;
            cell.Layout(dc, {200, 30}, a, LAYOUT_FULL);
            cell.Draw(dc, 20, y, {0, 0, 800, 1000}, 0);
            y += 40;
        }
        PrinterDcs().remove(h);
    }
    std::string text = kltest::command_output("pdftotext '" + pdf + "' -");
    for (const char* word : {"Printed plain", "Printed", "rich", "Second column"})
        EXPECT_NE(text.find(word), std::string::npos) << word << " in " << text;
    std::string png = (tmp / "page").string();
    kltest::command_output("pdftoppm -png -r 60 -f 1 -l 1 '" + pdf + "' '" + png + "'");
    QImage page(QString::fromStdString(png + "-1.png"));
    ASSERT_FALSE(page.isNull());
    viewtest::Save(page, "printed_cells");
}

} // namespace
