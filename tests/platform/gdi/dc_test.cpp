#include <gtest/gtest.h>

#include "platform/gdi/color.h"
#include "platform/gdi/dc.h"
#include "support/offscreen_gui.h"

using namespace plat::gdi;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

TEST(GdiMulDiv, RoundsHalfAwayFromZeroAndFlagsOverflow) {
    struct Case {
        int32_t a, b, c, want;
    } cases[] = {
        {300, 96, 1440, 20},
        {5, 1, 2, 3},
        {-5, 1, 2, -3},
        {7, 1, -2, -4},
        {1, 1, 0, -1},
        {0x7FFFFFFF, 2, 1, -1},
        {0x7FFFFFFF, 2, 2, 0x7FFFFFFF},
        {-0x7FFFFFFF - 1, 1, 1, -0x7FFFFFFF - 1},
    };
    for (auto& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(GdiColor, OleColorsTranslate) {
    QPalette pal = QApplication::palette();
    EXPECT_EQ(TranslateOleColor(0x80000000u | COLOR_WINDOW), FromQColor(pal.color(QPalette::Base)));
    EXPECT_EQ(TranslateOleColor(0x80000000u | COLOR_HIGHLIGHT), FromQColor(pal.color(QPalette::Highlight)));
    EXPECT_EQ(TranslateOleColor(0x00123456u), 0x00123456u);
    // The no-colour bit survives translation, so a later fill leaves the area alone.
    EXPECT_EQ(TranslateOleColor(0x02FFFFFFu), 0x02FFFFFFu);
    EXPECT_TRUE(IsNoColor(*TranslateOleColor(0x02000000u)));
    EXPECT_FALSE(TranslateOleColor(0x80000099u));
    EXPECT_FALSE(TranslateOleColor(0x05000000u));
}

// Destination and source each hold the four combinations of two values per
// channel, so every raster operation is checked against its bit formula.
TEST(GdiBlit, RasterOperationsFollowTheirBitFormulas) {
    const QRgb dstVals[2] = {qRgb(0x0F, 0xF0, 0x33), qRgb(0xAA, 0x55, 0xCC)};
    const QRgb srcVals[2] = {qRgb(0x3C, 0xC3, 0x5A), qRgb(0xFF, 0x00, 0x81)};
    struct Op {
        uint32_t rop;
        uint32_t (*f)(uint32_t d, uint32_t s);
    } ops[] = {
        {SRCCOPY, [](uint32_t, uint32_t s) { return s; }},
        {NOTSRCCOPY, [](uint32_t, uint32_t s) { return ~s; }},
        {SRCINVERT, [](uint32_t d, uint32_t s) { return d ^ s; }},
        {SRCAND, [](uint32_t d, uint32_t s) { return d & s; }},
        {SRCPAINT, [](uint32_t d, uint32_t s) { return d | s; }},
        {SRCINVERTNOT, [](uint32_t d, uint32_t s) { return ~(d ^ s); }},
    };
    for (const Op& op : ops) {
        Bitmap dst(4, 4), src(4, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                dst.Image().setPixel(x, y, dstVals[x % 2]);
                src.Image().setPixel(x, y, srcVals[y % 2]);
            }
        {
            Dc d(dst), s(src);
            ASSERT_TRUE(d.BitBlt(0, 0, 4, 4, s, 0, 0, op.rop));
        }
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                uint32_t want = op.f(dstVals[x % 2], srcVals[y % 2]) & 0xFFFFFF;
                EXPECT_EQ(dst.Image().pixel(x, y) & 0xFFFFFF, want)
                    << std::hex << op.rop << " at " << x << "," << y;
            }
    }
}

TEST(GdiBlit, MonoAndColourConvertByTheDcColours) {
    Bitmap colour(3, 1);
    colour.Image().setPixel(0, 0, qRgb(10, 20, 30));
    colour.Image().setPixel(1, 0, qRgb(1, 2, 3));
    colour.Image().setPixel(2, 0, qRgb(10, 20, 30));
    Bitmap mask(3, 1, true);
    {
        Dc c(colour), m(mask);
        c.SetBkColor(RGB(10, 20, 30)); // the source's background colour becomes white
        m.BitBlt(0, 0, 3, 1, c, 0, 0, SRCCOPY);
    }
    EXPECT_EQ(mask.Image().pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(mask.Image().pixel(1, 0) & 0xFFFFFF, 0u);

    Bitmap out(3, 1);
    {
        Dc o(out), m(mask);
        o.SetTextColor(RGB(255, 0, 0)); // black mask bits
        o.SetBkColor(RGB(0, 0, 255));   // white mask bits
        o.BitBlt(0, 0, 3, 1, m, 0, 0, SRCCOPY);
        EXPECT_EQ(o.GetPixel(0, 0), RGB(0, 0, 255));
        EXPECT_EQ(o.GetPixel(1, 0), RGB(255, 0, 0));
    }
}

TEST(GdiBlit, StretchAndClip) {
    Bitmap src(2, 2), dst(8, 8);
    src.Image().fill(qRgb(0, 128, 0));
    Dc s(src), d(dst);
    d.FillRect({0, 0, 8, 8}, Brush{RGB(255, 255, 255)});
    d.SetDeviceClip(Rect{0, 0, 4, 8});
    d.StretchBlt(0, 0, 8, 8, s, 0, 0, 2, 2, SRCCOPY);
    EXPECT_EQ(d.GetPixel(3, 7), RGB(0, 128, 0));
    EXPECT_EQ(d.GetPixel(4, 0), RGB(255, 255, 255)); // clipped away
}

TEST(GdiDc, AnisotropicMappingAndWindowOrigin) {
    Dc dc;
    dc.SetWindowOrg({10, 20});
    EXPECT_EQ(dc.LPtoDP(Point{10, 20}), (Point{0, 0}));
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt({96, 96});
    dc.SetViewportExt({300, 300});
    EXPECT_EQ(dc.LPtoDP(Point{106, 20}), (Point{300, 0}));
    EXPECT_EQ(dc.DPtoLP(Point{300, 300}), (Point{106, 116}));
    dc.Save();
    dc.SetMapMode(MM_TEXT);
    dc.SetWindowOrg({0, 0});
    EXPECT_EQ(dc.LPtoDP(Point{5, 5}), (Point{5, 5}));
    dc.Restore();
    EXPECT_EQ(dc.LPtoDP(Point{106, 20}), (Point{300, 0}));
}

TEST(GdiLines, DotsLeaveOutTheEndPointAndFillGapsWhenOpaque) {
    Bitmap bmp(12, 3);
    Dc dc(bmp);
    dc.FillRect({0, 0, 12, 3}, Brush{RGB(255, 255, 255)});
    dc.SelectPen(Pen{PS_DOT, 1, RGB(0, 0, 0)});
    dc.SetBkColor(RGB(0, 0, 255));
    dc.SetBkMode(OPAQUE);
    dc.MoveTo({0, 0});
    dc.LineTo({9, 0});
    dc.SetBkMode(TRANSPARENT);
    dc.MoveTo({0, 2});
    dc.LineTo({9, 2});
    std::string opaque, transparent;
    for (int x = 0; x < 10; ++x) {
        auto code = [](COLORREF c) { return c == 0 ? 'x' : c == RGB(0, 0, 255) ? 'o' : '.'; };
        opaque += code(dc.GetPixel(x, 0));
        transparent += code(dc.GetPixel(x, 2));
    }
    EXPECT_EQ(opaque, "xxxoooxxx.");
    EXPECT_EQ(transparent, "xxx...xxx.");
}

TEST(GdiLines, InvertingLineDrawnTwiceRestoresTheImage) {
    Bitmap bmp(20, 20);
    Dc dc(bmp);
    for (int y = 0; y < 20; ++y)
        dc.FillRect({0, y, 20, y + 1}, Brush{RGB(uint8_t(y * 10), 40, 200)});
    QImage before = bmp.Image().copy();
    dc.SetROP2(R2_NOT);
    for (int pass = 0; pass < 2; ++pass) {
        dc.MoveTo({5, 0});
        dc.LineTo({5, 20});
        dc.MoveTo({0, 3});
        dc.LineTo({17, 15});
        if (pass == 0) {
            EXPECT_EQ(dc.GetPixel(5, 10), RGB(255 - 100, 255 - 40, 255 - 200));
        }
    }
    EXPECT_EQ(bmp.Image(), before);
}

TEST(GdiShapes, PatBltAndFillsRespectTheMapping) {
    Bitmap bmp(10, 10);
    Dc dc(bmp);
    dc.FillRect({0, 0, 10, 10}, Brush{RGB(255, 255, 255)});
    dc.SetWindowOrg({-2, -2});
    dc.SelectBrush(Brush{RGB(0, 0, 0)});
    dc.PatBlt(0, 0, 3, 3, PATCOPY);
    EXPECT_EQ(dc.GetPixel(0, 0), 0u);
    dc.SetWindowOrg({0, 0});
    EXPECT_EQ(dc.GetPixel(2, 2), 0u);
    EXPECT_EQ(dc.GetPixel(4, 4), 0u);
    EXPECT_EQ(dc.GetPixel(5, 5), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetPixel(1, 1), RGB(255, 255, 255));
}

} // namespace
