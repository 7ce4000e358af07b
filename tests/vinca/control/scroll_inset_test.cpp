// The band along a control window's edges where a drop scrolls comes from
// the emulated machine's WIN.INI, read once per process: this program's
// only test sets it before any control window exists.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <QtCore/QMimeData>
#include <QtGui/QDropEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/config/machine.h"
#include "platform/forms/control_host.h"
#include "platform/ui/window_table.h"

using plat::Variant;

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");

TEST(ScrollInset, ComesFromTheMachinesWinIni) {
    std::ofstream(plat::windows_folder() / "WIN.INI") << "[windows]\r\nScrollInset=40\r\n";
    ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
    plat::forms::ControlHost host;
    host.resize(200, 200);
    host.show();
    plat::ComPtr<plat::IDispatch> ctl = host.create(kControl);
    ASSERT_TRUE(ctl);
    for (int i = 0; i < 40; ++i) {
        const std::string text = "Row " + std::to_string(i);
        const Variant arg{std::string_view(text)};
        plat::dispatch_call(ctl.get(), "AddItem", std::span<const Variant>(&arg, 1));
    }
    ASSERT_EQ(plat::dispatch_put(ctl.get(), "OLEDropMode", Variant(int16_t(1))), plat::S_OK);
    QWidget* view = plat::ui::WindowFromHandle(host.control_window());
    ASSERT_NE(view, nullptr);
    QApplication::processEvents();
    QScrollBar* bar = nullptr;
    for (QScrollBar* s : view->findChildren<QScrollBar*>())
        if (s->orientation() == Qt::Vertical) bar = s;
    ASSERT_NE(bar, nullptr);

    QMimeData plain;
    plain.setText("x");
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    auto over = [&](QPoint p) {
        QDragMoveEvent move(p, both, &plain, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
    };
    QDragEnterEvent enter(QPoint(60, 100), both, &plain, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    over({60, 100});
    EXPECT_EQ(bar->value(), 0);
    // 30 pixels above the bottom: outside the usual 11, inside the 40 set.
    over({60, view->height() - 30});
    EXPECT_EQ(bar->value(), 1);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(view, &leave);
}

} // namespace
