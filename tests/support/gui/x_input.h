#pragma once
// Real input for window tests: pointer and key events sent to the X server
// through its XTest extension, so they travel the same way as a person's
// (window system, focus, grabs, modality) instead of being posted to a
// widget. Programs registered with kl_add_x_test run on a private Xvfb
// display with QT_QPA_PLATFORM=xcb; elsewhere available() is false and
// the tests skip.
//
// Points are in the given widget's own coordinates. Every call waits until
// the server and the application have handled what it sent.
#include <QtCore/QPoint>
#include <QtCore/QString>
#include <QtGui/QImage>

#include <string>

class QWidget;

namespace kltest::x {

// True on an X server with the XTest extension.
bool available();

// Lets the server and the application handle everything sent so far, then
// runs the event loop for `extra_ms` more.
void settle(int extra_ms = 0);

void move(QWidget* w, QPoint p);
void press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton);
void release(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton);
// Modifier keys are held down around the click.
void click(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers mods = {});
void double_click(QWidget* w, QPoint p, Qt::KeyboardModifiers mods = {});
// Press at `from`, move in `steps` steps to `to`, release there.
void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}, int steps = 10);
// Wheel notches at a point: positive turns away from the user (up).
void wheel(QWidget* w, QPoint p, int notches);

// A key to whichever window has the input focus. Qt::KeypadModifier picks
// the keypad's key (Minus, Plus, Asterisk, digits); the other modifiers are
// held down around it.
void key(Qt::Key k, Qt::KeyboardModifiers mods = {});
// Printable ASCII text, one key at a time (Shift where the character needs it).
void type(const QString& text);
// Modifier keys down or up on their own (for a drag with Ctrl held, say).
void hold(Qt::KeyboardModifiers mods, bool down);

// Shows w's window, raises it and gives it the input focus; true once the
// application reports it active.
bool activate(QWidget* w);

// What the X screen shows of w: the real pixels, other windows included.
QImage grab(QWidget* w);
// Saves a screenshot as <test build>/screenshots/use/<name>.png; returns the path.
std::string save_shot(const QImage& img, const std::string& name);

} // namespace kltest::x
