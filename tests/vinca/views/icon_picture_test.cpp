#include <gtest/gtest.h>

#include <QtGui/QPainter>

#include "support/offscreen_gui.h"
#include "view_fixtures.h"
#include "vinca/views/icon_picture.h"

using namespace vinca;
using namespace plat::gdi;
using viewtest::At;
using viewtest::Filled;

namespace {

const bool kGui = kltest::InstallOffscreenGui();

// 8 x 8: the left half opaque red, the right half transparent.
QImage HalfIcon() {
    QImage icon(8, 8, QImage::Format_ARGB32);
    icon.fill(qRgba(0, 0, 0, 0));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x)
            icon.setPixel(x, y, qRgba(255, 0, 0, 255));
    return icon;
}

constexpr COLORREF kBack = RGB(40, 90, 200);

TEST(IconPicture, DrawAnswers) {
    const QImage icon = HalfIcon();
    const QImage none;
    struct Case {
        const QImage* icon;
        Rect rect;
        int32_t answer;
        bool drawn;
    };
    const Case cases[] = {
        {nullptr, {2, 2, 10, 10}, 0, false}, {&none, {2, 2, 10, 10}, 0, false},
        {&icon, {2, 2, 2, 10}, 1, false},    {&icon, {2, 2, 10, 2}, 1, false},
        {&icon, {2, 2, 10, 10}, 1, true},
    };
    for (uint32_t rop : {SRCCOPY, NOTSRCCOPY})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << rop << " " << c.rect.Width() << "x" << c.rect.Height());
            Bitmap bmp = Filled(12, 12, kBack);
            Dc dc(bmp);
            EXPECT_EQ(CIconPicture(c.icon).Draw(dc, c.rect, rop), c.answer);
            EXPECT_EQ(At(bmp, 3, 3) != kBack, c.drawn);
        }
    Bitmap bmp = Filled(12, 12, kBack);
    Dc dc(bmp);
    EXPECT_EQ(CIconPicture(nullptr).DrawStretched(dc, {0, 0, 12, 12}), 0);
    EXPECT_EQ(CIconPicture(&icon).DrawStretched(dc, {0, 0, 12, 12}), 1);
    EXPECT_EQ(At(bmp, 5, 11), RGB(255, 0, 0)); // stretched: half of 12
    EXPECT_EQ(At(bmp, 6, 0), kBack);
}

// Inverted: the icon's pixels come out inverted, the background under its
// transparent part and around it as it was, and the target DC as it was.
// A page that cannot be read back comes out the same.
TEST(IconPicture, InvertedIconOverUnchangedBackground) {
    const QImage icon = HalfIcon();
    Bitmap bmp = Filled(20, 20, kBack);
    {
        Dc dc(bmp);
        dc.SetViewportOrg({4, 4});
        dc.SetBkColor(RGB(1, 2, 3));
        dc.SetTextColor(RGB(4, 5, 6));
        const size_t dcs = PrinterDcs().size();
        EXPECT_EQ(CIconPicture(&icon).Draw(dc, {2, 2, 10, 10}, NOTSRCCOPY), 1);
        EXPECT_EQ(PrinterDcs().size(), dcs);
        EXPECT_EQ(dc.GetBkColor(), RGB(1, 2, 3));
        EXPECT_EQ(dc.GetTextColor(), RGB(4, 5, 6));
        EXPECT_EQ(dc.GetViewportOrg(), (Point{4, 4}));
        EXPECT_EQ(dc.GetDeviceClip(), std::nullopt);
    }
    EXPECT_EQ(At(bmp, 6, 6), RGB(0, 255, 255));
    EXPECT_EQ(At(bmp, 9, 13), RGB(0, 255, 255));
    EXPECT_EQ(At(bmp, 10, 6), kBack);
    EXPECT_EQ(At(bmp, 13, 13), kBack);
    EXPECT_EQ(At(bmp, 5, 5), kBack);

    QImage page(20, 20, QImage::Format_RGB32);
    page.fill(QColor(40, 90, 200));
    {
        Dc dc(page, DcKind::Printer, 96, 96);
        dc.SetViewportOrg({4, 4});
        EXPECT_EQ(CIconPicture(&icon).Draw(dc, {2, 2, 10, 10}, NOTSRCCOPY), 1);
        dc.EndDoc();
    }
    EXPECT_EQ(page, bmp.Image().convertToFormat(QImage::Format_RGB32));
}

} // namespace
