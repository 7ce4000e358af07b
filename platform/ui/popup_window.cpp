#include "platform/ui/popup_window.h"

#include <QtGui/QCursor>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>

namespace plat::ui {

PopupWindow::PopupWindow(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

void PopupWindow::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (onPaint) onPaint(p, e->rect());
}

void PopupWindow::mouseMoveEvent(QMouseEvent* e) {
    if (onPointer) onPointer(e->globalPosition().toPoint());
}

void PopupWindow::leaveEvent(QEvent*) {
    if (onPointer) onPointer(QCursor::pos());
}

void PopupWindow::mousePressEvent(QMouseEvent* e) {
    Forward(e);
}

void PopupWindow::mouseReleaseEvent(QMouseEvent* e) {
    Forward(e);
}

void PopupWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    Forward(e);
}

void PopupWindow::wheelEvent(QWheelEvent* e) {
    Forward(e);
}

void PopupWindow::Forward(QEvent* e) {
    if (onMouse) onMouse(e);
    e->accept();
}

} // namespace plat::ui
