#pragma once
// A frameless popup that never takes the focus or activates itself: it only
// shows what its owner paints and hands the mouse back to the owner. Tool
// tips stand in it.
#include <functional>

#include <QtWidgets/QWidget>

class QPainter;

namespace plat::ui {

class PopupWindow : public QWidget {
  public:
    explicit PopupWindow(QWidget* owner);

    // Paints the rectangle (popup coordinates).
    std::function<void(QPainter&, const QRect&)> onPaint;
    // The pointer moved over the popup or left it (screen coordinates).
    std::function<void(QPoint)> onPointer;
    // A button, double click or wheel event over the popup; the owner
    // forwards it where it belongs.
    std::function<void(QEvent*)> onMouse;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    void Forward(QEvent* e);
};

} // namespace plat::ui
