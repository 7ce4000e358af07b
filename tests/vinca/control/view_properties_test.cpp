// The control's drawing and behaviour properties, set by DISPID on a
// control made by class id in a host widget, seen in its window: item
// rectangles, pixels, the selection the mouse makes and the pointer.
// This program never links the model.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include "platform/com/dispatch_client.h"
#include "platform/com/safearray.h"
#include "platform/ui/window_table.h"
#include "support/offscreen_gui.h"
#include "support/temp_dir.h"
#include "tests/vinca/control/hosted_control.h"

using plat::Variant;
using kltest::Rect4;

namespace {

namespace id {
constexpr plat::DISPID MousePointer = 1, ViewStyle = 11, MultiSelect = 13, FixedSize = 25, Scrollbars = 27,
                       PicturePlus = 31, PictureMinus = 32, ViewStyleEx = 35, TreeLinesStyle = 37, ShiftStep = 50,
                       XOffset = 58, MouseIcon = 60, GetItemRect = 83, TreeLinesColor = 153, WebAutoNavigate = 161,
                       BorderStyle = -504, Appearance = -520;
}

// No picture, as a container passes it.
Variant Nothing() {
    Variant v;
    v.vt = plat::VT_DISPATCH;
    v.pdispVal = nullptr;
    return v;
}

Variant I2(int16_t v) {
    return Variant(v);
}
Variant I4(int32_t v) {
    return Variant(v);
}

// Saves a screenshot as build/<test build>/screenshots/<name>.png.
void Screenshot(const QImage& img, const std::string& name) {
    const std::string dir = std::string(KL_TEST_BINARY_DIR) + "/screenshots";
    std::filesystem::create_directories(dir);
    img.save(QString::fromStdString(dir + "/" + name + ".png"));
}

class ViewProperties : public kltest::HostedControl {
  protected:
    void SetUp() override {
        HostedControl::SetUp();
        host.set_scale_units("Pixel"); // sizes below are pixels
        // A parent with a child, then two more items: the child shows.
        call("AddItem", {Variant(std::string_view("Parent"))});
        call("AddItem", {Variant(std::string_view("Child")), I4(0)});
        put("Expand", Variant::boolean(true), {I4(0)});
        call("AddItem", {Variant(std::string_view("Second"))});
        call("AddItem", {Variant(std::string_view("Third"))});
    }
    void put_id(plat::DISPID member, const Variant& value) {
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_put(ctl.get(), member, value, {}, &e), plat::S_OK) << member << ": " << e.number;
    }
    uint16_t put_id_error(plat::DISPID member, const Variant& value) {
        plat::CallError e;
        plat::dispatch_put(ctl.get(), member, value, {}, &e);
        return e.number;
    }
    void click(int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QPointF at(x, y);
        QMouseEvent press(QEvent::MouseButtonPress, at, view()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          mods);
        QApplication::sendEvent(view(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, mods);
        QApplication::sendEvent(view(), &release);
    }
    Variant picture(const char* name, int size, QColor colour) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(colour);
        const std::string path = (dir.path() / name).string();
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        return call("LoadPicture", {Variant(std::string_view(path))});
    }
    kltest::TempDir dir;
};

// Each property, set by number, moves or hides a part of the rows.
TEST_F(ViewProperties, TreeCellPropertiesReachTheRows) {
    const Rect4 parentText = rect(0, 4), childText = rect(1, 4), pm = rect(0, 8);
    ASSERT_FALSE(pm.empty());
    ASSERT_EQ(childText.left - parentText.left, 20); // the default indent
    struct Case {
        const char* what;
        plat::DISPID member;
        Variant value, reset;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"ShiftStep 40 indents the child by 40", id::ShiftStep, Variant(40.0f), Variant(20.0f),
         [&] { EXPECT_EQ(rect(1, 4).left - rect(0, 4).left, 40); }},
        {"XOffset moves every row's content", id::XOffset, Variant(10.0f), Variant(0.0f),
         [&] {
             EXPECT_EQ(rect(0, 4).left, parentText.left + 10);
             EXPECT_EQ(rect(0, 8).left, pm.left + 10);
         }},
        {"ViewStyle 2 hides the text", id::ViewStyle, I2(2), I2(0), [&] { EXPECT_TRUE(rect(0, 4).empty()); }},
        {"ViewStyleEx 0 hides the plus/minus box", id::ViewStyleEx, I2(0), I2(1),
         [&] { EXPECT_TRUE(rect(0, 8).empty()); }},
        {"PicturePlus alone keeps the drawn box", id::PicturePlus, picture("plus.png", 15, Qt::blue), Nothing(),
         [&] { EXPECT_EQ(rect(0, 8).width(), pm.width()); }},
    };
    for (const Case& c : cases) {
        put_id(c.member, c.value);
        c.check();
        put_id(c.member, c.reset);
        EXPECT_EQ(rect(0, 4).left, parentText.left) << c.what;
        EXPECT_EQ(rect(0, 8).width(), pm.width()) << c.what;
    }
    // Both pictures set: the box takes their size.
    put_id(id::PicturePlus, picture("plus.png", 15, Qt::blue));
    put_id(id::PictureMinus, picture("minus.png", 15, Qt::red));
    EXPECT_EQ(rect(0, 8).width(), 15);
    // The parent is open: its minus picture shows.
    const Rect4 box = rect(0, 8);
    const QImage img = shot();
    EXPECT_EQ(QColor(img.pixel(box.left + 7, box.top + 7)), QColor(Qt::red));
    Screenshot(img, "plus_minus_pictures");
}

TEST_F(ViewProperties, TreeLinesShowInTheirColourAndStyle) {
    put_id(id::TreeLinesColor, I4(0x0000FF)); // red
    put_id(id::ViewStyleEx, I2(0));           // no box over the lines
    auto red = [&] {
        const QImage img = shot();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < 60; ++x)
                n += QColor(img.pixel(x, y)) == QColor(Qt::red);
        return n;
    };
    const int solid = red();
    Screenshot(shot(), "tree_lines_red");
    EXPECT_GT(solid, 10); // the child's corner: root items have no line without the box
    put_id(id::TreeLinesStyle, I2(2)); // dots: every other pixel
    const int dots = red();
    EXPECT_GT(dots, solid / 3);
    EXPECT_LT(dots, solid * 2 / 3);
    put_id(id::ViewStyle, I2(1)); // pictures and text, no lines
    EXPECT_EQ(red(), 0);
}

TEST_F(ViewProperties, FixedSizeGivesEveryRowTheFirstRowsHeight) {
    put("Image", picture("tall.png", 40, Qt::darkGreen), {I4(2)});
    const int32_t first = rect(0).height();
    ASSERT_GE(rect(2).height(), 40);
    put_id(id::FixedSize, Variant::boolean(true));
    for (int32_t index = 0; index < 4; ++index) {
        EXPECT_EQ(rect(index).height(), first) << index;
    }
    put_id(id::FixedSize, Variant::boolean(false));
    EXPECT_GE(rect(2).height(), 40);
}

TEST_F(ViewProperties, ItemHeightSetsRowHeights) {
    const int32_t natural = rect(0).height();
    put("ItemHeight", Variant(40.0f), {I4(-1)}); // every row
    put("ItemHeight", Variant(12.0f), {I4(2)});  // one row of its own
    for (int32_t index : {0, 1, 3}) {
        EXPECT_EQ(rect(index).height(), 40) << index;
    }
    EXPECT_EQ(rect(2).height(), 12);
    EXPECT_EQ(rect(3).top, rect(2).bottom);
    put("ItemHeight", Variant(-1.0f), {I4(-1)});
    put("ItemHeight", Variant(-1.0f), {I4(2)});
    EXPECT_EQ(rect(2).height(), natural);
}

TEST_F(ViewProperties, BorderStyleFramesTheWindow) {
    struct Case {
        int16_t style, appearance;
        int32_t frame;
    };
    // BorderStyle 1 with the 3-D appearance is what a new control has.
    const Case cases[] = {{1, 1, 2}, {0, 1, 0}, {1, 0, 1}, {2, 1, 2}, {3, 1, 2}, {4, 0, 2}};
    const QColor window = QApplication::palette().color(QPalette::Base);
    for (const Case& c : cases) {
        put_id(id::BorderStyle, I2(c.style));
        put_id(id::Appearance, I2(c.appearance));
        std::string what = std::to_string(c.style) + "/" + std::to_string(c.appearance);
        const Rect4 row = rect(0);
        EXPECT_EQ(row.left, c.frame) << what;
        EXPECT_EQ(row.top, c.frame) << what;
        EXPECT_EQ(call("GetItemByXY", {I2(int16_t(c.frame)), I2(int16_t(row.top + 1)), I2(1)}).to_i4(), 0);
        if (c.frame > 0) {
            EXPECT_EQ(call("GetItemByXY", {I2(int16_t(c.frame - 1)), I2(int16_t(row.top + 1)), I2(1)}).to_i4(), -1);
        }
        const QImage img = shot();
        const bool framed = QColor(img.pixel(0, 80)) != window || QColor(img.pixel(img.width() - 1, 80)) != window;
        EXPECT_EQ(framed, c.frame > 0) << what;
        EXPECT_EQ(QColor(img.pixel(c.frame, 80)), window) << what;
        Screenshot(img, "border_" + what.replace(1, 1, "_"));
    }
    EXPECT_EQ(put_id_error(id::BorderStyle, I2(5)), 380);
    EXPECT_EQ(put_id_error(id::Appearance, I2(2)), 380);
}

TEST_F(ViewProperties, MultiSelectDecidesWhatClicksSelect) {
    const Rect4 r0 = rect(0), r2 = rect(2), r3 = rect(3);
    struct Case {
        int16_t mode;
        Qt::KeyboardModifiers second;
        int32_t selected;
    };
    // Single: each click selects one; simple: clicks add to what was
    // selected; extended: a plain click starts afresh, Ctrl adds, Shift
    // takes the range from the last click.
    const Case cases[] = {{0, Qt::ControlModifier, 1}, {1, Qt::NoModifier, 3}, {2, Qt::NoModifier, 1},
                          {2, Qt::ControlModifier, 2}, {2, Qt::ShiftModifier, 3}};
    for (const Case& c : cases) {
        put_id(id::MultiSelect, I2(0));
        click(20, r3.top + 2); // one row selected, the current one
        put_id(id::MultiSelect, I2(c.mode));
        click(20, r0.top + 2);
        click(20, r2.top + 2, c.second);
        EXPECT_EQ(get("SelItemCount").to_i4(), c.selected) << "mode " << c.mode << " keys " << int(c.second);
    }
}

TEST_F(ViewProperties, ScrollbarsDecideWhichBarsShow) {
    for (int i = 0; i < 30; ++i)
        call("AddItem", {Variant(std::string_view("more"))});
    auto vertical = [&] {
        for (QScrollBar* b : view()->findChildren<QScrollBar*>())
            if (b->orientation() == Qt::Vertical) return b;
        return static_cast<QScrollBar*>(nullptr);
    };
    ASSERT_NE(vertical(), nullptr);
    EXPECT_FALSE(vertical()->isHidden());
    const int32_t wide = rect(0).width();
    put_id(id::Scrollbars, I2(1)); // the horizontal one only
    EXPECT_TRUE(vertical()->isHidden());
    EXPECT_GT(rect(0).width(), wide); // the rows take the bar's place
    put_id(id::Scrollbars, I2(3));
    EXPECT_FALSE(vertical()->isHidden());
    EXPECT_EQ(rect(0).width(), wide);
}

TEST_F(ViewProperties, MousePointerAndLinksShapeThePointer) {
    struct Case {
        int16_t value;
        uint16_t error;
        Qt::CursorShape shape; // ArrowCursor with no cursor of its own for 0
    };
    const Case cases[] = {{2, 0, Qt::CrossCursor}, {11, 0, Qt::WaitCursor},      {15, 0, Qt::SizeAllCursor},
                          {17, 380, Qt::SizeAllCursor}, {-1, 380, Qt::SizeAllCursor}, {0, 0, Qt::ArrowCursor}};
    for (const Case& c : cases) {
        EXPECT_EQ(put_id_error(id::MousePointer, I2(c.value)), c.error) << c.value;
        if (c.value == 0) {
            EXPECT_FALSE(view()->testAttribute(Qt::WA_SetCursor));
        }
        else
            EXPECT_EQ(view()->cursor().shape(), c.shape) << c.value;
    }
    EXPECT_EQ(get("MousePointer").to_i4(), 0);

    // A custom pointer from an icon.
    put_id(id::MouseIcon, picture("pointer.ico", 32, Qt::magenta));
    put_id(id::MousePointer, I2(16));
    EXPECT_EQ(view()->cursor().shape(), Qt::BitmapCursor);
    put_id(id::MousePointer, I2(0));

    // Over an item whose link a click follows, a hand.
    put("ItemURL", Variant(std::string_view("https://example.org/")), {I4(2)});
    put_id(id::WebAutoNavigate, I2(1));
    const Rect4 text = rect(2, 4);
    const QPointF at(text.left + 2, text.top + 2);
    QMouseEvent move(QEvent::MouseMove, at, view()->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &move);
    EXPECT_EQ(view()->cursor().shape(), Qt::PointingHandCursor);
    put_id(id::WebAutoNavigate, I2(0));
    QApplication::sendEvent(view(), &move);
    EXPECT_FALSE(view()->testAttribute(Qt::WA_SetCursor));
}

} // namespace
