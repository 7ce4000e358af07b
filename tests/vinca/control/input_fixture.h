#pragma once
// A control made by class id in a recording container, with the Qt input
// that a person would give its window: clicks on the parts of an item's
// row, double clicks in the platform's order, keys and the wheel.
#include <gtest/gtest.h>

// The control's headers before Qt's.
#include "vinca/control/control.h"
#include "vinca/control/window.h"
#include "vinca/views/view_window.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QStyleHints>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>

#include "platform/com/dispatch_client.h"
#include "platform/com/factory.h"
#include "platform/com/loader.h"
#include "support/recording_container.h"

namespace kltest {

class ControlInputTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        plat::register_linked_class(vinca::CLSID_Vinca5, plat::creator_of<vinca::CVincaCtrl>());
    }

    void SetUp() override {
        host = std::make_unique<RecordingContainer>();
        host->resize(240, 160);
        host->show();
        ctl = host->create(vinca::CLSID_Vinca5);
        ASSERT_TRUE(ctl);
        ctrl = dynamic_cast<vinca::CVincaCtrl*>(static_cast<plat::IDispatch*>(ctl.get()));
        ASSERT_NE(ctrl, nullptr);
        view = ctrl->Window().View();
        ASSERT_NE(view, nullptr);
    }

    void TearDown() override {
        ctl.reset();
        host.reset();
        Flush();
    }

  public:
    // The input and the probes, for the cases of a table too.

    // Windows a handler destroyed go from the event loop.
    static void Flush() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    plat::Variant get(std::string_view name, std::initializer_list<plat::Variant> index = {}) {
        plat::Variant v;
        plat::CallError e;
        std::vector<plat::Variant> args(index);
        EXPECT_EQ(plat::dispatch_get(ctl.get(), name, v, args, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    void put(std::string_view name, const plat::Variant& value,
             std::initializer_list<plat::Variant> index = {}) {
        plat::CallError e;
        std::vector<plat::Variant> args(index);
        EXPECT_EQ(plat::dispatch_put(ctl.get(), name, value, args, &e), plat::S_OK)
            << name << ": " << e.number;
    }
    void call(std::string_view name, std::initializer_list<plat::Variant> args = {}) {
        plat::Variant v;
        plat::CallError e;
        std::vector<plat::Variant> a(args);
        EXPECT_EQ(plat::dispatch_call(ctl.get(), name, a, &v, &e), plat::S_OK) << name << ": " << e.number;
    }
    void add(std::string_view text, int32_t parent = -1) {
        if (parent < 0)
            call("AddItem", {plat::Variant(text)});
        else
            call("AddItem", {plat::Variant(text), plat::Variant(parent)});
    }
    int32_t listIndex() { return get("ListIndex").to_i4(); }

    // The middle of a part of the item at `index`; fails the test when the
    // part does not show.
    QPoint at(int32_t index, vinca::ItemPart part) {
        vinca::Rect r = view->ItemPartRect(ctrl->Item(index), part);
        EXPECT_FALSE(r.IsEmpty()) << "item " << index << " part " << int(part);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    void send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers mods = {}) {
        QMouseEvent e(type, QPointF(p), QPointF(view->mapToGlobal(p)), button, held, mods);
        e.setTimestamp(m_time);
        QApplication::sendEvent(view, &e);
    }
    // A click: press and release, far in time from any other press.
    void click(QPoint p, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        m_time += 10000;
        send(QEvent::MouseButtonPress, p, button, button, mods);
        m_time += 20;
        send(QEvent::MouseButtonRelease, p, button, Qt::NoButton, mods);
    }
    // A press on one point and the release on another.
    void drag(QPoint from, QPoint to) {
        m_time += 10000;
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        m_time += 20;
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    // What Qt delivers for a double click: press, release, press and
    // double click together, release.
    void doubleClick(QPoint p) {
        click(p);
        m_time += 50;
        send(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
        m_time += 20;
        send(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    }
    void key(int key, Qt::KeyboardModifiers mods = {}, const QString& text = {}) {
        QKeyEvent down(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(view, &down);
        QKeyEvent up(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(view, &up);
    }
    void wheel(QPoint angle, Qt::KeyboardModifiers mods = {}) {
        const QPointF p(view->width() / 2, view->height() / 2);
        QWheelEvent e(p, view->mapToGlobal(p), QPoint(), angle, Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &e);
    }

    std::unique_ptr<RecordingContainer> host;
    plat::ComPtr<plat::IDispatch> ctl;
    vinca::CVincaCtrl* ctrl{nullptr};
    vinca::CViewWindow* view{nullptr};
    uint64_t m_time{100000};
};

} // namespace kltest
