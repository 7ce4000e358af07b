#include <gtest/gtest.h>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/views/layers.h"
#include "vinca/views/picture_render.h"

using namespace vinca;
using namespace plat::gdi;
using viewtest::At;
using viewtest::Filled;
using viewtest::PictureOf;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

QImage Quad() {
    QImage img(2, 2, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(255, 0, 0));
    img.setPixel(1, 0, qRgb(0, 255, 0));
    img.setPixel(0, 1, qRgb(0, 0, 255));
    img.setPixel(1, 1, qRgb(255, 0, 255));
    return img;
}

TEST(PictureRender, NaturalSizeIsCopiedOtherSizesStretched) {
    CPictureHolder pic(PictureOf(Quad()));
    EXPECT_EQ(PictureHolderGetSize(pic), (Size{2, 2}));
    Bitmap bmp = Filled(10, 10, 0);
    Dc dc(bmp);
    EXPECT_EQ(RenderToScreen(pic, dc, {0, 0, 2, 2}, SRCCOPY, false, {}), 1);
    EXPECT_EQ(At(bmp, 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(At(bmp, 2, 0), 0u);
    RenderToScreen(pic, dc, {4, 4, 8, 8}, SRCCOPY, false, {});
    EXPECT_EQ(At(bmp, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(At(bmp, 6, 5), RGB(0, 255, 0));
    EXPECT_EQ(At(bmp, 7, 7), RGB(255, 0, 255));
    RenderToScreen(pic, dc, {0, 4, 2, 6}, NOTSRCCOPY, false, {});
    EXPECT_EQ(At(bmp, 0, 4), RGB(0, 255, 255));

    CPictureHolder empty;
    EXPECT_EQ(PictureHolderGetSize(empty), (Size{0, 0}));
    EXPECT_EQ(RenderToScreen(empty, dc, {0, 0, 2, 2}, SRCCOPY, false, {}), 0);
    EXPECT_EQ(RenderToScreen(pic, dc, {0, 0, 0, 2}, SRCCOPY, false, {}), 1);
}

TEST(PictureRender, TransparentBitmapInvertedKeepsTheBackground) {
    CPictureHolder pic(PictureOf(Quad()));
    Bitmap bmp = Filled(2, 2, RGB(7, 7, 7));
    Dc dc(bmp);
    RenderToScreen(pic, dc, {0, 0, 2, 2}, NOTSRCCOPY, false, {true, RGB(255, 0, 255)});
    EXPECT_EQ(At(bmp, 1, 1), RGB(7, 7, 7));
    EXPECT_EQ(At(bmp, 0, 0), RGB(0, 255, 255));
}

TEST(PictureRender, IconMaskSurvivesInversion) {
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(qRgba(0, 0, 0, 255));
    for (int x = 0; x < 16; ++x)
        icon.setPixel(x, 0, qRgba(0, 0, 0, 0));
    CPictureHolder pic(PictureOf(icon, "ICO"));
    ASSERT_FALSE(pic.IsEmpty());
    Bitmap bmp = Filled(16, 16, RGB(50, 60, 70));
    Dc dc(bmp);
    RenderToScreen(pic, dc, {0, 0, 16, 16}, NOTSRCCOPY, false, {});
    EXPECT_EQ(At(bmp, 3, 0), RGB(50, 60, 70));
    EXPECT_EQ(At(bmp, 3, 3), RGB(255, 255, 255));
}

TEST(PictureRender, ListAnswersItsPicturesAndNullBeyond) {
    CPictureList list;
    auto p = PictureOf(Quad());
    list.Add(p);
    list.Add(nullptr);
    EXPECT_EQ(list.Count(), 2u);
    plat::IDispatch* d = list.GetPictureDisp(0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d, static_cast<plat::IDispatch*>(p.get()));
    d->Release();
    EXPECT_EQ(list.GetPictureDisp(1), nullptr);
    EXPECT_EQ(list.GetPictureDisp(2), nullptr);
}

TEST(PictureLayer, PlacesTilesAndStretches) {
    CPictureHolder pic(PictureOf(Quad()));
    struct Case {
        int32_t align;
        Point probe;
        COLORREF want;
    } cases[] = {
        {0, {0, 0}, RGB(255, 0, 0)},   // left top
        {4, {4, 5}, RGB(0, 0, 255)},   // centre: picture at (4, 4)
        {8, {9, 9}, RGB(255, 0, 255)}, // right bottom
        {BACKPIC_TILE, {7, 9}, RGB(255, 0, 255)},
        {BACKPIC_STRETCH, {9, 0}, RGB(0, 255, 0)},
        {BACKPIC_HIDDEN, {0, 0}, RGB(1, 1, 1)},
    };
    for (const Case& c : cases) {
        Bitmap bmp = Filled(10, 10, RGB(1, 1, 1));
        Dc dc(bmp);
        CPictureLayer layer(pic, {}, c.align);
        if (layer.IsEnabled()) layer.Paint(dc, {0, 0, 10, 10}, nullptr);
        EXPECT_EQ(At(bmp, c.probe.x, c.probe.y), c.want) << c.align;
    }
}

} // namespace
