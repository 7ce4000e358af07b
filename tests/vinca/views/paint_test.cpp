#include <gtest/gtest.h>
#include <set>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/views/layers.h"
#include "vinca/views/paint.h"

using namespace vinca;
using namespace plat::gdi;
using viewtest::At;
using viewtest::Filled;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

TEST(Gradient, LongRunsUseAtMost255BandsAndShortOnesNothing) {
    Bitmap bmp = Filled(300, 4, RGB(1, 2, 3));
    Dc dc(bmp);
    CGradient g{RGB(0, 0, 0), RGB(255, 255, 255), GRADIENT_LEFT_RIGHT};
    g.Draw(dc, {0, 0, 300, 4});
    std::set<COLORREF> colours;
    for (int x = 0; x < 300; ++x)
        colours.insert(At(bmp, x, 2));
    EXPECT_EQ(colours.size(), 255u);
    EXPECT_EQ(At(bmp, 299, 0), RGB(255, 255, 255));

    Bitmap one = Filled(10, 10, RGB(1, 2, 3));
    Dc odc(one);
    g.Draw(odc, {0, 0, 1, 10});
    CGradient{RGB(0, 0, 0), RGB(255, 255, 255), GRADIENT_TOP_BOTTOM}.Draw(odc, {0, 0, 10, 1});
    EXPECT_EQ(one.Image(), Filled(10, 10, RGB(1, 2, 3)).Image());
}

TEST(Gradient, CentreStyleRunsOutFromTheMiddle) {
    Bitmap bmp = Filled(300, 2, 0);
    Dc dc(bmp);
    const COLORREF from = RGB(200, 0, 0), to = RGB(0, 0, 200);
    CGradient{from, to, GRADIENT_HOR_CENTER}.Draw(dc, {0, 0, 300, 2});
    auto near = [](COLORREF a, COLORREF b) {
        const int step = 200 / 150 + 1; // one band of a 150-pixel run
        return std::abs(GetRValue(a) - GetRValue(b)) <= step && std::abs(GetBValue(a) - GetBValue(b)) <= step;
    };
    EXPECT_TRUE(near(At(bmp, 0, 0), to));
    EXPECT_TRUE(near(At(bmp, 299, 0), to));
    EXPECT_TRUE(near(At(bmp, 149, 0), from));
    EXPECT_TRUE(near(At(bmp, 150, 0), from));

    // Limited to a clip, only the clip's bands are drawn, across its full height.
    Bitmap clipped = Filled(300, 20, RGB(9, 9, 9));
    Dc cdc(clipped);
    Rect clip{100, 5, 120, 15};
    CGradient{from, to, GRADIENT_HOR_CENTER}.Draw(cdc, {0, 0, 300, 20}, &clip);
    EXPECT_EQ(At(clipped, 99, 10), RGB(9, 9, 9));
    EXPECT_EQ(At(clipped, 120, 10), RGB(9, 9, 9));
    EXPECT_EQ(At(clipped, 110, 4), RGB(9, 9, 9));
    EXPECT_EQ(At(clipped, 110, 10), At(bmp, 110, 1));
}

TEST(Border3D, WidthTwoInsetHasStairsAtTheMeetingCorners) {
    Bitmap bmp = Filled(10, 10, RGB(1, 1, 1));
    Dc dc(bmp);
    C3DBorder border{RGB(128, 128, 128), kNoColor, 2, true};
    border.Draw(dc, {0, 0, 10, 10}, true);
    const COLORREF S = RGB(128, 128, 128), W = RGB(255, 255, 255), I = RGB(1, 1, 1);
    // Bottom-left corner, rows 7..9, columns 0..2.
    EXPECT_EQ(At(bmp, 0, 7), S);
    EXPECT_EQ(At(bmp, 1, 7), S);
    EXPECT_EQ(At(bmp, 0, 8), S);
    EXPECT_EQ(At(bmp, 1, 8), W);
    EXPECT_EQ(At(bmp, 0, 9), W);
    // Top-right corner.
    EXPECT_EQ(At(bmp, 8, 0), S);
    EXPECT_EQ(At(bmp, 9, 0), W);
    EXPECT_EQ(At(bmp, 8, 1), W);
    EXPECT_EQ(At(bmp, 7, 1), S);
    EXPECT_EQ(At(bmp, 5, 5), I); // no fill colour: the interior stays
    border.Draw(dc, {0, 0, 10, 10}, false);
    EXPECT_EQ(At(bmp, 0, 0), W);
    EXPECT_EQ(At(bmp, 9, 9), S);
}

TEST(Blits, TransparentBlitSparesTheTransparentColourPlainAndInverted) {
    QImage src(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 255) : qRgb(10, 100, 200));
    for (bool inverted : {false, true}) {
        Bitmap bmp = Filled(8, 8, RGB(30, 60, 90));
        Dc dc(bmp);
        dc.SetTextColor(RGB(1, 2, 3));
        TransparentBlit(src, dc, {2, 2, 6, 6}, RGB(255, 0, 255), inverted);
        EXPECT_EQ(dc.GetTextColor(), RGB(1, 2, 3));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                COLORREF want = (x + y) % 2 ? RGB(30, 60, 90)
                                : inverted  ? RGB(245, 155, 55)
                                            : RGB(10, 100, 200);
                EXPECT_EQ(At(bmp, x + 2, y + 2), want) << inverted << " " << x << "," << y;
            }
        EXPECT_EQ(At(bmp, 0, 0), RGB(30, 60, 90));
    }
}

TEST(Blits, NoColourFillsNothing) {
    Bitmap bmp = Filled(4, 4, RGB(5, 5, 5));
    Dc dc(bmp);
    FillSolid(dc, 0x02FFFFFF, {0, 0, 4, 4});
    EXPECT_EQ(At(bmp, 1, 1), RGB(5, 5, 5));
    FillSolid(dc, RGB(7, 7, 7), {0, 0, 2, 2});
    EXPECT_EQ(At(bmp, 1, 1), RGB(7, 7, 7));
    EXPECT_EQ(At(bmp, 2, 2), RGB(5, 5, 5));
}

TEST(ClipFrame, DrawsOnlyInsideTheVisiblePartAndRestoresTheOrigin) {
    Bitmap bmp = Filled(20, 20, RGB(255, 255, 255));
    Dc dc(bmp);
    dc.SetWindowOrg({1, 1});
    {
        CDCClipOrigin frame(dc, {5, 5, 15, 15}, {0, 0, 10, 30});
        EXPECT_EQ(frame.Visible(), (Rect{0, 0, 5, 10}));
        FillSolid(dc, 0, {-100, -100, 100, 100});
    }
    EXPECT_EQ(dc.GetWindowOrg(), (Point{1, 1}));
    // Device pixels 4..8 x 4..13 (logical 5..10 x 5..15 with the origin at 1).
    EXPECT_EQ(At(bmp, 4, 4), 0u);
    EXPECT_EQ(At(bmp, 8, 13), 0u);
    EXPECT_EQ(At(bmp, 9, 4), RGB(255, 255, 255));
    EXPECT_EQ(At(bmp, 4, 14), RGB(255, 255, 255));
    EXPECT_EQ(At(bmp, 3, 4), RGB(255, 255, 255));
    // Nothing visible: nothing is drawn at all, and the outer clip returns.
    {
        CDCClipOrigin frame(dc, {50, 50, 60, 60}, {0, 0, 10, 10});
        EXPECT_TRUE(frame.IsEmpty());
        FillSolid(dc, RGB(9, 9, 9), {-100, -100, 100, 100});
    }
    EXPECT_EQ(At(bmp, 15, 15), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetDeviceClip(), (Rect{-1, -1, 9, 9}));
}

// A layer that records when it paints.
class Probe : public CBackLayer {
  public:
    Probe(std::vector<int>& log, int id, bool through) : m_log(log), m_id(id), m_through(through) {}
    bool LetsThrough() const override { return m_through; }

  protected:
    void DoPaint(Dc&, const Rect&, const Rect*) override { m_log.push_back(m_id); }

  private:
    std::vector<int>& m_log;
    int m_id;
    bool m_through;
};

TEST(Layers, PaintFromTheTopmostOpaqueLayerUpwards) {
    std::vector<int> log;
    CLayerStack stack;
    auto* bottom = new Probe(log, 1, false);
    stack.Push(std::unique_ptr<CBackLayer>(bottom));
    stack.Push(std::make_unique<Probe>(log, 2, false));
    stack.Push(std::make_unique<Probe>(log, 3, true));
    stack.Push(nullptr);
    stack.Push(std::make_unique<Probe>(log, 4, true));
    stack.Push(std::make_unique<Probe>(log, 5, true));
    stack.Push(std::make_unique<Probe>(log, 6, false)); // a sixth: ignored
    EXPECT_EQ(stack.Count(), 5u);
    EXPECT_FALSE(stack.AllTransparent());

    Bitmap bmp(4, 4);
    Dc dc(bmp);
    EXPECT_TRUE(stack.NeedsPaint());
    stack.Paint(dc, {0, 0, 4, 4}, nullptr);
    EXPECT_EQ(log, (std::vector<int>{2, 3, 4, 5}));
    EXPECT_FALSE(stack.NeedsPaint());
    bottom->SetDirty(); // hidden under layer 2
    EXPECT_FALSE(stack.NeedsPaint());
    stack.Layer(3)->SetDirty();
    EXPECT_TRUE(stack.NeedsPaint());
    log.clear();
    stack.Paint(dc, {0, 0, 0, 4}, nullptr);
    EXPECT_TRUE(log.empty());
}

TEST(Layers, ColourAndGradientLayersLetThroughOnlyWhenOff) {
    Bitmap bmp = Filled(10, 10, 0);
    Dc dc(bmp);
    CLayerStack stack;
    stack.Push(std::make_unique<CColorLayer>(RGB(255, 0, 0)));
    stack.Push(std::make_unique<CGradientLayer>(CGradient{0, 0, GRADIENT_NONE}));
    stack.Push(std::make_unique<CColorLayer>(0x02000000)); // no colour
    Rect clip{0, 0, 5, 10};
    stack.Paint(dc, {0, 0, 10, 10}, &clip);
    EXPECT_EQ(At(bmp, 4, 4), RGB(255, 0, 0));
    EXPECT_EQ(At(bmp, 5, 4), 0u);
    EXPECT_FALSE(stack.AllTransparent());
}

TEST(Layers, OffscreenCacheRepaintsOnlyWhenResizedOrDirty) {
    int painted = 0;
    COffscreenLayer layer([&](Dc& dc, const Rect& r) {
        ++painted;
        FillSolid(dc, RGB(0, 200, 0), r);
    });
    Bitmap bmp = Filled(20, 20, 0);
    Dc dc(bmp);
    layer.Paint(dc, {0, 0, 10, 10}, nullptr);
    layer.Paint(dc, {0, 0, 10, 10}, nullptr);
    EXPECT_EQ(painted, 1);
    layer.Paint(dc, {0, 0, 12, 10}, nullptr);
    EXPECT_EQ(painted, 2);
    layer.SetDirty();
    Rect clip{0, 0, 3, 3};
    layer.Paint(dc, {0, 0, 12, 10}, &clip);
    EXPECT_EQ(painted, 3);
    Rect none{};
    layer.Paint(dc, {0, 0, 12, 10}, &none);
    EXPECT_EQ(painted, 3);
    EXPECT_EQ(At(bmp, 11, 9), RGB(0, 200, 0));
}

} // namespace
