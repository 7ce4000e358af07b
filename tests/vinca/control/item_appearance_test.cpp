// What a container sets for items' looks through the control's members,
// seen in the drawn rows of a control made by class id in a host widget:
// colours, fonts, the default item cell and multi-line text, on the screen
// and on a printed page; and a transparent control showing its container.
// This program never links the model.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>

#include "platform/com/dispatch_client.h"
#include "platform/com/safearray.h"
#include "platform/ui/window_table.h"
#include "support/gui/printer_object.h"
#include "support/offscreen_gui.h"
#include "support/temp_dir.h"
#include "tests/vinca/control/hosted_control.h"

using plat::Variant;
using kltest::Rect4;

namespace {

namespace id {
constexpr plat::DISPID WidthOfText = 57, DefMultiLine = 59, GetItemRect = 83, ItemBackColor = 109, ItemFontBold = 111,
                       ItemFontSize = 114, ItemForeColor = 117, ItemMultiLine = 121, DefItemCellBorderStyle = 178,
                       DefItemCellTextAlignment = 181, DefItemCellBackColor = 202, TransparentBackground = 189,
                       TransparentBitmapColor = 217, TransparentBitmap = 218;
}

Variant I2(int16_t v) {
    return Variant(v);
}
Variant I4(int32_t v) {
    return Variant(v);
}

// Pixels of `colour` inside a rectangle of an image.
int CountColour(const QImage& img, const Rect4& r, QColor colour) {
    int n = 0;
    for (int y = std::max(0, r.top); y < std::min(img.height(), r.bottom); ++y)
        for (int x = std::max(0, r.left); x < std::min(img.width(), r.right); ++x)
            n += QColor(img.pixel(x, y)) == colour;
    return n;
}

const QColor kYellow(255, 255, 0), kRed(255, 0, 0), kGreen(0, 255, 0), kBlack(0, 0, 0), kWhite(255, 255, 255);

class ItemAppearance : public kltest::HostedControl {
  protected:
    void SetUp() override {
        HostedControl::SetUp();
        host.set_scale_units("Pixel");
        call("AddItem", {Variant(std::string_view("Alpha"))});
    }
    void add(std::initializer_list<const char*> texts) {
        for (const char* text : texts)
            call("AddItem", {Variant(std::string_view(text))});
    }
    // Puts a member by its number, with the item index first when given.
    void put_id(plat::DISPID member, const Variant& value, std::initializer_list<Variant> index = {}) {
        plat::CallError e;
        std::vector<Variant> args(index);
        EXPECT_EQ(plat::dispatch_put(ctl.get(), member, value, args, &e), plat::S_OK) << member << ": " << e.number;
    }
    QColor pixel(const QImage& img, int x, int y) { return QColor(img.pixel(x, y)); }
};

// Each member, written for an item, shows in that item's row and nowhere
// else: item 0, of the same text, keeps the control's own looks.
TEST_F(ItemAppearance, ItemMembersReachTheirRowOnly) {
    const Rect4 row0 = rect(0), text0 = rect(0, 4);
    struct Case {
        const char* what;
        plat::DISPID member;
        Variant value;
        std::function<void(const QImage&, const Rect4& row, const Rect4& text)> check;
    };
    const Case cases[] = {
        {"ItemBackColor fills the row, under the text too", id::ItemBackColor, I4(0x00FFFF),
         [&](const QImage& img, const Rect4& row, const Rect4& text) {
             EXPECT_EQ(pixel(img, row.right - 3, row.top + 1), kYellow);
             EXPECT_EQ(pixel(img, text.left + 1, text.top + 1), kYellow);
             EXPECT_EQ(CountColour(img, row0, kYellow), 0);
         }},
        {"ItemForeColor draws the text", id::ItemForeColor, I4(0x0000FF),
         [&](const QImage& img, const Rect4&, const Rect4& text) {
             EXPECT_GT(CountColour(img, text, kRed), 20);
             EXPECT_EQ(CountColour(img, text, kBlack), 0);
             EXPECT_GT(CountColour(img, text0, kBlack), 20);
             EXPECT_EQ(CountColour(img, text0, kRed), 0);
         }},
        {"ItemFontSize makes the row taller and the text wider", id::ItemFontSize, Variant(20.0f),
         [&](const QImage&, const Rect4& row, const Rect4& text) {
             EXPECT_GT(row.height(), row0.height() + 8);
             EXPECT_GT(text.width(), text0.width() * 3 / 2);
             EXPECT_EQ(rect(0).height(), row0.height());
         }},
        {"ItemFontBold widens the text", id::ItemFontBold, Variant::boolean(true),
         [&](const QImage&, const Rect4&, const Rect4& text) { EXPECT_GT(text.width(), text0.width()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        call("AddItem", {Variant(std::string_view("Alpha"))});
        const int32_t index = get("NewIndex").to_i4();
        put_id(c.member, c.value, {I4(index)});
        const QImage img = shot();
        c.check(img, rect(index), rect(index, 4));
    }
    kltest::SaveArtifact(shot(), "vinca", "item_members");
}

// DefMultiLine lets every item's text break at its line ends; an item's own
// ItemMultiLine wins over it either way.
TEST_F(ItemAppearance, MultiLineTextMakesTheRowTaller) {
    add({"First line\r\nSecond line"});
    const int32_t single = rect(1).height();
    EXPECT_EQ(single, rect(0).height());
    put_id(id::DefMultiLine, Variant::boolean(true));
    EXPECT_GT(rect(1).height(), single + 8);
    EXPECT_EQ(rect(0).height(), single);
    put_id(id::ItemMultiLine, I2(2), {I4(1)}); // single line for this item
    EXPECT_EQ(rect(1).height(), single);
    put_id(id::DefMultiLine, Variant::boolean(false));
    put_id(id::ItemMultiLine, I2(1), {I4(1)});
    EXPECT_GT(rect(1).height(), single + 8);

    // A text width of 0 wraps a long multi-line text at the rows' pane.
    add({"one two three four five six seven eight nine ten eleven twelve thirteen fourteen"});
    put_id(id::DefMultiLine, Variant::boolean(true));
    const Rect4 unlimited = rect(2, 4);
    EXPECT_LT(unlimited.height(), single + 4); // one line, running off the pane
    put_id(id::WidthOfText, Variant(0.0f));
    const Rect4 wrapped = rect(2, 4);
    EXPECT_GT(wrapped.height(), unlimited.height() + 8);
    EXPECT_GT(wrapped.width(), view()->width() / 2);
}

// The default item cell is the text part of every item's cell: its back
// colour fills behind the text only, its border grows the text part, and
// an item's own colour still fills the rest of its row.
TEST_F(ItemAppearance, DefaultItemCellShapesEveryItemsText) {
    add({"Beta", "Gamma"});
    const Rect4 text = rect(0, 4);
    put_id(id::DefItemCellBackColor, I4(0x00FF00));
    QImage img = shot();
    for (int32_t i = 0; i < 3; ++i) {
        const Rect4 t = rect(i, 4), r = rect(i);
        EXPECT_EQ(pixel(img, t.left + 1, t.top + 1), kGreen) << i;
        EXPECT_EQ(pixel(img, r.right - 3, r.top + 1), kWhite) << i;
    }
    put_id(id::ItemBackColor, I4(0x00FFFF), {I4(1)});
    img = shot();
    kltest::SaveArtifact(img, "vinca", "default_item_cell_back_colour");
    EXPECT_EQ(pixel(img, rect(1, 4).left + 1, rect(1, 4).top + 1), kGreen);
    EXPECT_EQ(pixel(img, rect(1).right - 3, rect(1).top + 1), kYellow);

    // The value 1 takes the colour away: the row's colour shows again.
    put_id(id::DefItemCellBackColor, I4(1));
    img = shot();
    EXPECT_EQ(pixel(img, rect(0, 4).left + 1, rect(0, 4).top + 1), kWhite);

    put_id(id::DefItemCellBorderStyle, I2(2)); // two pixels round the text
    EXPECT_EQ(rect(0, 4).width(), text.width() + 4);
    EXPECT_GE(rect(0).height(), text.height() + 4);
    put_id(id::DefItemCellTextAlignment, I2(0)); // no text
    EXPECT_LT(rect(0, 4).width(), text.width() / 2);
}

// TransparentBitmap leaves the items' pictures out where they have the
// transparent colour: the row shows there instead.
TEST_F(ItemAppearance, TransparentBitmapAppliesToItemPictures) {
    kltest::TempDir dir;
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    QPainter(&image).fillRect(4, 4, 8, 8, QColor(0, 128, 0));
    const std::string path = (dir.path() / "framed.png").string();
    ASSERT_TRUE(image.save(QString::fromStdString(path)));
    put("Image", call("LoadPicture", {Variant(std::string_view(path))}), {I4(0)});
    put_id(id::ItemBackColor, I4(0x00FFFF), {I4(0)});
    const Rect4 pic = rect(0, 2);
    ASSERT_GE(pic.width(), 16);
    auto corner = [&] { return pixel(shot(), pic.left + 2, pic.top + 2); };
    auto centre = [&] { return pixel(shot(), pic.left + pic.width() / 2, pic.top + pic.height() / 2); };
    EXPECT_EQ(corner(), QColor(255, 0, 255));
    put_id(id::TransparentBitmapColor, I4(0xFF00FF));
    put_id(id::TransparentBitmap, Variant::boolean(true));
    EXPECT_EQ(corner(), kYellow);
    EXPECT_EQ(centre(), QColor(0, 128, 0));
}

// A transparent control shows what its container paints behind it, its
// rows included; without it the window colour covers the container.
TEST_F(ItemAppearance, TransparentBackgroundShowsTheContainer) {
    class PaintedHost : public plat::forms::ControlHost {
      protected:
        void paintEvent(QPaintEvent*) override {
            QPainter p(this);
            p.fillRect(rect(), QColor(0, 0, 255));
            p.fillRect(QRect(width() / 2, 0, width() - width() / 2, height()), QColor(255, 0, 0));
        }
    };
    PaintedHost painted;
    painted.resize(240, 160);
    painted.show();
    ctl = painted.create(kControl);
    ASSERT_TRUE(ctl);
    call("AddItem", {Variant(std::string_view("Over the container"))});
    call("AddItem", {Variant(std::string_view("Second"))});
    put_id(id::ItemBackColor, I4(0x00FF00), {I4(1)}); // an item of its own colour stays opaque

    QImage img = shot();
    const QPoint origin = view()->mapToParent(QPoint(0, 0));
    // Points of the control over the blue and over the red half of the host.
    const QPoint overBlue(30, 120), overRed(painted.width() - origin.x() - 20, 120);
    EXPECT_EQ(pixel(img, overBlue.x(), overBlue.y()), kWhite);
    put_id(id::TransparentBackground, Variant::boolean(true));
    img = shot();
    kltest::SaveArtifact(img, "vinca", "transparent_background");
    EXPECT_EQ(pixel(img, overBlue.x(), overBlue.y()), QColor(0, 0, 255));
    EXPECT_EQ(pixel(img, overRed.x(), overRed.y()), kRed);
    const Rect4 row0 = rect(0), row1 = rect(1);
    EXPECT_EQ(pixel(img, row0.right - 3, row0.top + 1), kRed); // the row lets it through
    EXPECT_EQ(pixel(img, row1.right - 3, row1.top + 1), kGreen);
    EXPECT_GT(CountColour(img, rect(0, 4), kBlack), 20); // the text is drawn over it
    put_id(id::TransparentBackground, Variant::boolean(false));
    EXPECT_EQ(pixel(shot(), overBlue.x(), overBlue.y()), kWhite);
    ctl.reset();
    painted.release();
}

// The rows print with the looks they show.
TEST_F(ItemAppearance, PrintedRowsKeepTheItemsLooks) {
    add({"Beta", "Gamma"});
    put_id(id::ItemBackColor, I4(0x00FFFF), {I4(1)});
    put_id(id::ItemForeColor, I4(0x0000FF), {I4(2)});
    put_id(id::ItemFontSize, Variant(24.0f), {I4(2)});
    put_id(id::ItemFontBold, Variant::boolean(true), {I4(0)});
    kltest::SaveArtifact(shot(), "vinca", "item_appearance");

    kltest::TempDir tmp;
    const std::string pdf = (tmp.path() / "rows.pdf").string();
    auto printer = plat::make_object<kltest::PrinterObject>(pdf, 96);
    Variant report = get("Report");
    ASSERT_EQ(report.vt, plat::VT_DISPATCH);
    plat::CallError e;
    ASSERT_EQ(plat::dispatch_put(report.pdispVal, "PrinterObject", I4(int32_t(printer->hdc())), {}, &e), plat::S_OK);
    Variant out;
    ASSERT_EQ(plat::dispatch_call(report.pdispVal, "Start", {}, &out, &e), plat::S_OK) << e.number;
    printer->finish();
    const std::string png = (tmp.path() / "rows").string();
    ASSERT_EQ(std::system(("pdftoppm -png -r 96 -f 1 -l 1 '" + pdf + "' '" + png + "'").c_str()), 0);
    QImage page(QString::fromStdString(png + "-1.png"));
    ASSERT_FALSE(page.isNull());
    page = page.convertToFormat(QImage::Format_RGB32);
    kltest::SaveArtifact(page, "vinca", "item_appearance_printed");
    // The top part of the page, where the three rows are.
    const Rect4 top{0, 0, page.width(), page.height() / 4};
    auto near = [&](QColor want) {
        int n = 0;
        for (int y = top.top; y < top.bottom; ++y)
            for (int x = top.left; x < top.right; ++x) {
                const QColor c(page.pixel(x, y));
                n += std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                         std::abs(c.blue() - want.blue()) <
                     40;
            }
        return n;
    };
    EXPECT_GT(near(kYellow), 200);
    EXPECT_GT(near(kRed), 30);
}

} // namespace
