#include "platform/forms/manual_drag.h"

#include <QtCore/QPointer>
#include <QtGui/QCursor>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>

#include "platform/forms/control_host.h"

namespace plat::forms::manual_drag {

namespace {

// The host whose widget (or a child of it) is at a point of the screen.
ControlHost* HostAt(QPoint global) {
    for (QWidget* w = QApplication::widgetAt(global); w; w = w->parentWidget())
        if (auto* host = qobject_cast<ControlHost*>(w)) return host;
    return nullptr;
}

QCursor CursorOf(const ControlHost& host) {
    const QImage icon = host.drag_icon();
    if (icon.isNull()) return QCursor(Qt::DragMoveCursor);
    return QCursor(QPixmap::fromImage(icon), icon.width() / 2, icon.height() / 2);
}

// The running drag. It sees every widget's input while it runs.
class Drag final : public QObject {
  public:
    void start(ControlHost& source) {
        m_source = &source;
        m_over = nullptr;
        m_last = QCursor::pos();
        m_extender = source.extender();
        ++m_generation;
        qApp->installEventFilter(this);
        QApplication::setOverrideCursor(CursorOf(source));
        source.grabMouse();
    }

    bool running() const { return m_source != nullptr || m_extender; }
    ControlHost* source() const { return m_source; }

    // Restores the mouse and the pointer; answers what the drag carried.
    ComPtr<IDispatch> stop() {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
        if (m_source && QWidget::mouseGrabber() == m_source) m_source->releaseMouse();
        m_source = nullptr;
        m_over = nullptr;
        ++m_generation;
        return std::move(m_extender);
    }

    void cancel() {
        QPointer<ControlHost> over = m_over;
        const QPoint at = m_last;
        ComPtr<IDispatch> source = stop();
        if (over) over->fire_drag(source.get(), over->mapFromGlobal(at), 1);
    }

    void update_cursor() {
        if (m_source) QApplication::changeOverrideCursor(CursorOf(*m_source));
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Widgets see the input after their windows: take it once, there.
        // Moves and the release go on after the drag has read them, so that
        // whoever follows the pointer (a control's drop feedback reads the
        // last position the application saw) still sees it; presses and Esc
        // belong to the drag alone.
        if (!watched->isWidgetType()) return false;
        switch (event->type()) {
        case QEvent::MouseMove:
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::MouseButtonRelease:
            drop(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return false;
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return false;
            if (event->type() == QEvent::KeyPress) cancel();
            event->accept();
            return true;
        default:
            return false;
        }
    }

  private:
    void move(QPoint global) {
        ControlHost* target = HostAt(global);
        // A move a widget leaves unaccepted goes on to its parents: once is
        // enough for the drag.
        if (global == m_last && target == m_over) return;
        m_last = global;
        const unsigned generation = m_generation;
        ComPtr<IDispatch> source = m_extender;
        // Each procedure may end the drag or close a form.
        if (target != m_over) {
            QPointer<ControlHost> left = m_over;
            m_over = target;
            if (left) left->fire_drag(source.get(), left->mapFromGlobal(global), 1);
            if (generation != m_generation || !target || m_over != target) return;
            target->fire_drag(source.get(), target->mapFromGlobal(global), 0);
        } else if (target) {
            target->fire_drag(source.get(), target->mapFromGlobal(global), 2);
        }
    }

    void drop(QPoint global) {
        QPointer<ControlHost> target = HostAt(global);
        // The drop's procedure runs with the mouse and pointer given back:
        // it may ask the person something.
        ComPtr<IDispatch> source = stop();
        if (target) target->fire_drag(source.get(), target->mapFromGlobal(global), -1);
    }

    QPointer<ControlHost> m_source;
    QPointer<ControlHost> m_over;
    QPoint m_last;
    ComPtr<IDispatch> m_extender;
    unsigned m_generation{0};
};

Drag& Running() {
    // Lives as long as the process: the application may go before it.
    static Drag* drag = new Drag;
    return *drag;
}

bool Exists() {
    return qApp != nullptr;
}

} // namespace

bool begin(ControlHost& source) {
    if (!Exists()) return false;
    Drag& d = Running();
    if (d.source() == &source) return true;
    if (d.running()) {
        // A source that went away leaves nothing to wait for.
        if (d.source()) return false;
        d.stop();
    }
    d.start(source);
    return true;
}

void cancel() {
    if (!Exists()) return;
    Drag& d = Running();
    if (d.running()) d.cancel();
}

bool active() {
    return Exists() && Running().source() != nullptr;
}

ControlHost* source() {
    return Exists() ? Running().source() : nullptr;
}

void update_cursor() {
    if (Exists()) Running().update_cursor();
}

} // namespace plat::forms::manual_drag
