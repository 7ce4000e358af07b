#include <gtest/gtest.h>

#include "platform/gdi/dc.h"
#include "support/offscreen_gui.h"

using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

TEST(GdiText, MetricsAndExtentsComeFromIntegerAdvances) {
    Font f(FontSpec{"DejaVu Sans", 100000}); // 10 pt
    EXPECT_EQ(f.PixelSize(), 13);            // MulDiv(10, 96, 72)
    const TextMetrics& tm = f.Metrics();
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_EQ(f.Extent("Wavy"), f.Advance('W') + f.Advance('a') + f.Advance('v') + f.Advance('y'));
    EXPECT_EQ(f.Extent("é€"), f.Advance(U'é') + f.Advance(U'€'));
    Dc dc;
    SelectedFont sel(dc, f);
    EXPECT_EQ(dc.GetTextExtent("Wavy"), (Size{f.Extent("Wavy"), tm.tmHeight}));
}

TEST(GdiText, TabbedExtentsStopAtTheGivenPositions) {
    Dc dc;
    const Font& f = dc.GetFont();
    int32_t a = f.Extent("a");
    int32_t tabs[] = {50};
    EXPECT_EQ(dc.GetTabbedTextExtent("a\tb", tabs).cx, 50 + f.Extent("b"));
    EXPECT_EQ(dc.GetTabbedTextExtent("a\t\tb", tabs).cx, 100 + f.Extent("b"));
    int32_t none[] = {0};
    EXPECT_EQ(dc.GetTabbedTextExtent("a\tb", std::span<const int32_t>(none, 0)).cx,
              f.Metrics().tmAveCharWidth * 8 + f.Extent("b"));
    (void)a;
}

// Word breaking as the window system does it: spaces at a break vanish, a
// word wider than the line stands alone, line ends always break.
TEST(GdiText, DrawTextBreaksLinesByWords) {
    Dc dc;
    const Font& f = dc.GetFont();
    int32_t lh = f.Metrics().tmHeight;
    struct Case {
        const char* text;
        int32_t width;
        uint32_t format;
        int32_t lines;
        int32_t calcWidth;
    } cases[] = {
        {"one two three", f.Extent("one two"), DT_WORDBREAK, 2, f.Extent("three")},
        {"one two three", f.Extent("one two") - 1, DT_WORDBREAK, 3, f.Extent("three")},
        {"unbreakableword x", 5, DT_WORDBREAK, 2, f.Extent("unbreakableword")},
        {"a\r\nb\nc", 1000, 0, 3, f.Extent("a")},
        {"a\r\nb", 1000, DT_SINGLELINE, 1, f.Extent("a\r\nb")},
        {"one two three", 5, 0, 1, f.Extent("one two three")},
    };
    for (const Case& c : cases) {
        Rect r{10, 10, 10 + c.width, 10};
        int32_t h = dc.DrawText(c.text, r, c.format | DT_CALCRECT);
        EXPECT_EQ(h, c.lines * lh) << c.text << " in " << c.width;
        EXPECT_EQ(r.Height(), c.lines * lh) << c.text;
        EXPECT_EQ(r.left, 10);
        if (c.lines > 1 || c.format & DT_SINGLELINE)
            EXPECT_GE(r.Width(), c.calcWidth) << c.text;
        else
            EXPECT_EQ(r.Width(), c.calcWidth) << c.text;
    }
}

TEST(GdiText, DrawTextPlacesAndClipsInItsRectangle) {
    Bitmap bmp(200, 60);
    Dc dc(bmp);
    dc.FillRect({0, 0, 200, 60}, Brush{RGB(255, 255, 255)});
    dc.SetBkMode(TRANSPARENT);
    const Font& f = dc.GetFont();
    auto inkColumns = [&](int top, int bottom) {
        int first = -1, last = -1;
        for (int x = 0; x < 200; ++x)
            for (int y = top; y < bottom; ++y)
                if ((bmp.Image().pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                    if (first < 0) first = x;
                    last = x;
                }
        return std::pair(first, last);
    };
    Rect right{0, 0, 200, 20};
    dc.DrawText("MMM", right, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    auto [l, r] = inkColumns(0, 20);
    EXPECT_GE(l, 200 - f.Extent("MMM") - 1);
    EXPECT_LE(r, 199);
    // Clipped to the rectangle: nothing right of x = 20.
    Rect clipped{0, 30, 20, 50};
    dc.DrawText("MMMMMMMMMM", clipped, DT_SINGLELINE);
    auto [cl, cr] = inkColumns(30, 60);
    EXPECT_GE(cl, 0);
    EXPECT_LT(cr, 20);
}

} // namespace
