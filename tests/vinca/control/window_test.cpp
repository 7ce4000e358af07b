// The control in a window: created by class id from the registered library
// inside a host widget, driven through IDispatch, and looked at as pixels.
// This program never links the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <QtGui/QImage>
#include <QtWidgets/QApplication>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "platform/ui/window_table.h"
#include "support/offscreen_gui.h"
#include "tests/vinca/control/hosted_control.h"

using plat::Variant;

namespace {

class ControlWindow : public kltest::HostedControl {
  protected:
    QImage shot() {
        QApplication::processEvents();
        return host.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Pixels of a row band darker than mid grey: text or lines drawn there
    // (the window's frame, two pixels wide, left out).
    static int dark_pixels(const QImage& img, int top, int bottom) {
        int n = 0;
        for (int y = std::max(top, 2); y < bottom && y < img.height() - 2; ++y)
            for (int x = 2; x < img.width() - 20; ++x)
                if (qGray(img.pixel(x, y)) < 128) ++n;
        return n;
    }
};

TEST_F(ControlWindow, WindowNumberLivesWithTheActivation) {
    const uint32_t hwnd = static_cast<uint32_t>(get("hWnd").to_i4());
    ASSERT_NE(hwnd, 0u);
    EXPECT_EQ(hwnd, host.control_window());
    EXPECT_NE(hwnd, host.window_handle());
    QWidget* window = plat::ui::WindowFromHandle(hwnd);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), &host);
    EXPECT_EQ(window->size(), QSize(240, 160));

    host.resize(300, 90);
    EXPECT_EQ(window->size(), QSize(300, 90));

    // The control outlives its window: the number goes, the members stay.
    plat::ComPtr<plat::IDispatch> keep = ctl;
    host.release();
    EXPECT_EQ(plat::ui::WindowFromHandle(hwnd), nullptr);
    EXPECT_EQ(get("hWnd").to_i4(), 0);
    call("AddItem", {Variant(std::string_view("still here"))});
    EXPECT_EQ(get("ListCount").to_i4(), 1);
}

TEST_F(ControlWindow, ShowsItemsAddedThroughDispatch) {
    const QImage empty = shot();
    EXPECT_EQ(dark_pixels(empty, 0, 160), 0);

    call("AddItem", {Variant(std::string_view("Documents"))});
    call("AddItem", {Variant(std::string_view("Letters")), Variant(int32_t(0))});
    call("AddItem", {Variant(std::string_view("Invoices")), Variant(int32_t(0))});
    call("AddItem", {Variant(std::string_view("Pictures"))});
    put("Expand", Variant::boolean(true), {Variant(int32_t(0))});
    const QImage tree = shot();
    kltest::SaveArtifact(tree, "vinca", "control_in_host");
    // Four rows of text, and nothing below them.
    EXPECT_GT(dark_pixels(tree, 0, 70), 100);
    EXPECT_EQ(dark_pixels(tree, 100, 160), 0);

    // A property change reaches the view as a repaint.
    put("BackColor", Variant(int32_t(0x0000FF)));
    const QImage red = shot();
    EXPECT_EQ(QColor(red.pixel(100, 150)), QColor(255, 0, 0));
}

TEST_F(ControlWindow, RowsAddedWhileDrawingIsOffAppearWhenItComesBack) {
    call("AddItem", {Variant(std::string_view("first"))});
    const QImage before = shot();
    put("Redraw", Variant::boolean(false));
    for (int i = 0; i < 40; ++i)
        call("AddItem", {Variant(std::string_view("row " + std::to_string(i)))});
    put("ListIndex", Variant(int32_t(40)));
    // Meanwhile the window keeps its picture from before.
    EXPECT_EQ(shot(), before);
    put("Redraw", Variant::boolean(true));
    const QImage after = shot();
    kltest::SaveArtifact(after, "vinca", "rows_after_redraw");
    // Every row is counted again, and the row made current is in view.
    EXPECT_EQ(get("ListCount").to_i4(), 41);
    EXPECT_GT(get("TopIndex").to_i4(), 0);
    EXPECT_GE(get("BottomIndex").to_i4(), 40);
    EXPECT_GT(dark_pixels(after, 0, 150), 100);
}

} // namespace
