#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/views/tree_cell.h"

using namespace vinca;
using namespace plat::gdi;
using plat::Variant;
using viewtest::At;
using viewtest::Filled;
using viewtest::PictureOf;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

QImage Solid(int w, int h, QRgb c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

CMapAttrChain TextAttrs(const char* text) {
    CMapAttrChain a;
    a.SetText("__Text", text).SetInt("__InnerTextAlign", 2).SetInt("__InnerPicAlign", 0);
    a.SetInt("__Multiline", 2).SetInt("__ForeColor", 0).SetInt("__InnerBackColor", 0xFFFFFF);
    a.SetInt("__SelFrColor", 0xFFFFFF).SetInt("__SelBkColor", 0x800000);
    return a;
}

CTreeCellData Item(int level, bool picture) {
    CTreeCellData d;
    d.level = level;
    d.indent = 19;
    d.pmShown = true;
    d.pmState = PM_PLUS;
    d.hasChildren = true;
    d.lineLevels.assign(size_t(level), true);
    if (picture) d.picture = CPictureHolder(PictureOf(Solid(16, 16, qRgb(0, 128, 0))));
    return d;
}

TEST(TreeCell, HorizontalGeometryByLevel) {
    Dc dc;
    struct Case {
        int level;
        bool pm;
        int mark;
        int lineX, pmLeft, picLeft, textX;
    } cases[] = {
        {0, true, 0, 4, 0, 14, 34},    {1, true, 0, 4, 19, 34, 54},   {2, true, 0, 4, 38, 53, 73},
        {1, false, 0, -6, 19, 24, 44}, {1, true, 20, 28, 43, 58, 78},
    };
    for (const Case& c : cases) {
        CTreeCellData d = Item(c.level, true);
        d.pmShown = c.pm;
        if (c.mark) {
            d.markShown = true;
            d.markWidth = c.mark;
        }
        CMapAttrChain a = TextAttrs("item");
        a.SetTreeCellData(&d);
        CVincaTreeCellMetrics cell;
        cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
        EXPECT_EQ(cell.LineX(), c.lineX) << c.level << c.pm << c.mark;
        if (c.pm) {
            EXPECT_EQ(cell.PlusMinusRect().left, c.pmLeft) << c.level;
        }
        EXPECT_EQ(cell.PictureRect().left, c.picLeft) << c.level << c.pm << c.mark;
        EXPECT_EQ(cell.TextX(), c.textX) << c.level << c.pm << c.mark;
        EXPECT_EQ(cell.Width(), c.textX + cell.TextCell().Width());
    }
}

TEST(TreeCell, NaturalHeightAndVerticalCentring) {
    Dc dc;
    CMapAttrChain a = TextAttrs("item");
    CTreeCellData d = Item(1, true);
    a.SetTreeCellData(&d);
    CVincaTreeCellMetrics cell;
    cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
    int textH = cell.TextCell().Height();
    int h = std::max(16, textH);
    EXPECT_EQ(cell.Height(), h);
    EXPECT_EQ(cell.PictureRect().top, (h - 16) / 2);
    EXPECT_EQ(cell.LineY(), cell.PlusMinusRect().top + 4);
    EXPECT_EQ(cell.PlusMinusRect().Height(), 9);

    // Dotted lines want even heights, so the next row's dots line up.
    CTreeCellData tiny = Item(0, false);
    tiny.lineStyle = LINES_DOT;
    tiny.textShown = false;
    tiny.pmShown = false;
    a.SetTreeCellData(&tiny);
    cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
    EXPECT_EQ(cell.Height(), 6);
    tiny.pmShown = true; // 9 high
    cell.Layout(dc, {-1, -1}, a, LAYOUT_FULL);
    EXPECT_EQ(cell.Height(), 10);
}

// Draws a cell at (0, 0) on white and answers the image.
Bitmap Paint(CTreeCellData& d, const char* text, int width = 120, uint32_t state = 0) {
    Dc metrics;
    CMapAttrChain a = TextAttrs(text);
    a.SetTreeCellData(&d);
    CVincaTreeCellMetrics cell;
    cell.Layout(metrics, {width, -1}, a, LAYOUT_FULL);
    Bitmap bmp = Filled(width, cell.Height(), RGB(255, 255, 255));
    Dc dc(bmp);
    cell.Draw(dc, 0, 0, {0, 0, width, cell.Height()}, state);
    return bmp;
}

TEST(TreeCell, HandDrawnPlusAndMinusBoxes) {
    for (int state : {PM_PLUS, PM_MINUS}) {
        CTreeCellData d = Item(0, false);
        d.pmState = state;
        d.linesShown = false;
        d.linesColor = 0;
        Bitmap bmp = Paint(d, "x");
        Dc probe(bmp);
        Dc metrics;
        CMapAttrChain a = TextAttrs("x");
        a.SetTreeCellData(&d);
        CVincaTreeCellMetrics cell;
        cell.Layout(metrics, {120, -1}, a, LAYOUT_FULL);
        Rect r = cell.PlusMinusRect();
        ASSERT_EQ(r.Width(), 9);
        std::string rows;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x)
                rows += At(bmp, x, y) == 0 ? '#' : '.';
            rows += '\n';
        }
        std::string want = state == PM_PLUS ? "#########\n#.......#\n#...#...#\n#...#...#\n#.#####.#\n"
                                              "#...#...#\n#...#...#\n#.......#\n#########\n"
                                            : "#########\n#.......#\n#.......#\n#.......#\n#.#####.#\n"
                                              "#.......#\n#.......#\n#.......#\n#########\n";
        EXPECT_EQ(rows, want);
    }
}

TEST(TreeCell, LinesEndAtTheLastChildAndDotsStayOnEvenPixels) {
    CTreeCellData d = Item(1, false);
    d.pmState = PM_NONE;
    d.hasChildren = false;
    d.lastChild = true;
    d.linesColor = 0;
    Bitmap bmp = Paint(d, "last");
    Dc metrics;
    CMapAttrChain a = TextAttrs("last");
    a.SetTreeCellData(&d);
    CVincaTreeCellMetrics cell;
    cell.Layout(metrics, {120, -1}, a, LAYOUT_FULL);
    int x = cell.LineX() + 19;
    EXPECT_EQ(At(bmp, x, 0), 0u);
    EXPECT_EQ(At(bmp, x, cell.LineY()), 0u);
    EXPECT_EQ(At(bmp, x, cell.LineY() + 1), RGB(255, 255, 255));
    EXPECT_EQ(At(bmp, x + 1, cell.LineY()), 0u);             // the horizontal line
    EXPECT_EQ(At(bmp, cell.LineX(), cell.Height() - 1), 0u); // the ancestor's line goes on

    d.lineStyle = LINES_DOT;
    d.lastChild = false;
    Bitmap dots = Paint(d, "dots");
    for (int y = 0; y < dots.GetSize().cy; ++y)
        EXPECT_EQ(At(dots, cell.LineX(), y) == 0, y % 2 == 0) << y;
}

TEST(TreeCell, HitKindsOfItsParts) {
    Dc dc;
    CTreeCellData d = Item(1, true);
    d.markShown = true;
    d.markWidth = 12;
    d.markHeight = 12;
    d.column = 2;
    CMapAttrChain a = TextAttrs("hit me");
    a.SetTreeCellData(&d);
    CVincaTreeCellMetrics cell;
    cell.Layout(dc, {200, -1}, a, LAYOUT_FULL);
    auto centre = [](const Rect& r) { return Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
    struct Case {
        Point p;
        int32_t kind;
    } cases[] = {
        {centre(cell.MarkRect()), HIT_MARK},
        {centre(cell.PlusMinusRect()), HIT_PLUSMINUS},
        {centre(cell.PictureRect()), HIT_IMAGE},
        {{cell.TextX() + 3, cell.TextY() + cell.TextCell().Height() / 2}, HIT_TEXT_ITEM},
        {{190, 1}, HIT_ITEM},
    };
    for (const Case& c : cases) {
        CHitTestInfo info;
        ASSERT_TRUE(cell.HitTest(c.p, info));
        EXPECT_EQ(info.kind, c.kind) << c.p.x << "," << c.p.y;
        EXPECT_EQ(info.col, 2);
    }
    CHitTestInfo none;
    EXPECT_FALSE(cell.HitTest({200, 0}, none));
}

TEST(TreeCell, ScreenshotOfTheLineStyles) {
    // Five line styles side by side, each a small tree with pictures, marks
    // and one selected item.
    const int colW = 150;
    struct Row {
        int level;
        bool children, expanded, last;
        const char* text;
    } rows[] = {{0, true, true, false, "Root"},   {1, true, true, false, "Folder"},
                {2, false, false, false, "Leaf"}, {2, false, false, true, "Last leaf"},
                {1, true, false, true, "Closed"}, {0, false, false, true, "End"}};
    Dc metrics;
    Bitmap bmp = Filled(colW * 5, 6 * 20, RGB(255, 255, 255));
    Dc dc(bmp);
    auto mark = CPictureHolder(PictureOf(Solid(10, 10, qRgb(200, 120, 0))));
    for (int style = 0; style < 5; ++style) {
        int y = 0;
        std::vector<bool> open;
        for (size_t i = 0; i < std::size(rows); ++i) {
            const Row& r = rows[i];
            CTreeCellData d = Item(r.level, true);
            d.lineStyle = style;
            d.hasChildren = r.children;
            d.expanded = r.expanded;
            d.lastChild = r.last;
            d.pmState = r.children ? (r.expanded ? PM_MINUS : PM_PLUS) : PM_NONE;
            d.markShown = true;
            d.markWidth = 10;
            if (i % 2 == 0) d.markPicture = mark;
            // "Root" has a sibling after it ("End"): its line runs past
            // every row of its children.
            d.lineLevels.assign(size_t(r.level), true);
            d.xOffset = 2;
            CMapAttrChain a = TextAttrs(r.text);
            a.SetTreeCellData(&d);
            CVincaTreeCellMetrics cell;
            cell.Layout(metrics, {colW, 20}, a, LAYOUT_FULL);
            cell.Draw(dc, style * colW, y, {style * colW, 0, style * colW + colW, 120},
                      i == 2 ? kCellSelected : 0);
            y += 20;
        }
    }
    viewtest::Save(bmp.Image(), "tree_line_styles");
}

} // namespace
