#include "support/gui/x_input.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QThread>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/qguiapplication_platform.h>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <utility>

namespace kltest::x {
namespace {

Display* display() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

Display* need_display() {
    Display* d = display();
    if (!d) qFatal("kltest::x used without an X server (run the test through kl_add_x_test)");
    return d;
}

void pump(int ms) {
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (ms > 0) QThread::msleep(2);
    } while (t.elapsed() < ms);
}

QPoint global(QWidget* w, QPoint p) { return w ? w->mapToGlobal(p) : p; }

unsigned button_number(Qt::MouseButton b) {
    switch (b) {
    case Qt::RightButton: return 3;
    case Qt::MiddleButton: return 2;
    default: return 1;
    }
}

void send_keysym(KeySym sym, bool down) {
    Display* d = need_display();
    KeyCode code = XKeysymToKeycode(d, sym);
    if (code == 0) qFatal("kltest::x: no key code for keysym 0x%lx", static_cast<unsigned long>(sym));
    XTestFakeKeyEvent(d, code, down ? True : False, CurrentTime);
}

const std::pair<Qt::KeyboardModifier, KeySym> kModifierKeys[] = {
    {Qt::ShiftModifier, XK_Shift_L},
    {Qt::ControlModifier, XK_Control_L},
    {Qt::AltModifier, XK_Alt_L},
    {Qt::MetaModifier, XK_Super_L},
};

KeySym keysym_for(Qt::Key k, bool keypad) {
    if (keypad) {
        if (k >= Qt::Key_0 && k <= Qt::Key_9) return XK_KP_0 + (k - Qt::Key_0);
        switch (k) {
        case Qt::Key_Minus: return XK_KP_Subtract;
        case Qt::Key_Plus: return XK_KP_Add;
        case Qt::Key_Asterisk: return XK_KP_Multiply;
        case Qt::Key_Slash: return XK_KP_Divide;
        case Qt::Key_Enter:
        case Qt::Key_Return: return XK_KP_Enter;
        default: break;
        }
    }
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return XK_F1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Up: return XK_Up;
    case Qt::Key_Down: return XK_Down;
    case Qt::Key_Left: return XK_Left;
    case Qt::Key_Right: return XK_Right;
    case Qt::Key_PageUp: return XK_Prior;
    case Qt::Key_PageDown: return XK_Next;
    case Qt::Key_Home: return XK_Home;
    case Qt::Key_End: return XK_End;
    case Qt::Key_Return: return XK_Return;
    case Qt::Key_Enter: return XK_KP_Enter;
    case Qt::Key_Escape: return XK_Escape;
    case Qt::Key_Tab: return XK_Tab;
    case Qt::Key_Backspace: return XK_BackSpace;
    case Qt::Key_Delete: return XK_Delete;
    case Qt::Key_Insert: return XK_Insert;
    case Qt::Key_Space: return XK_space;
    case Qt::Key_Minus: return XK_minus;
    case Qt::Key_Plus: return XK_plus;
    case Qt::Key_Asterisk: return XK_asterisk;
    default: break;
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return XK_a + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return XK_0 + (k - Qt::Key_0);
    qFatal("kltest::x: no keysym for Qt key 0x%x", static_cast<unsigned>(k));
}

// True when the key sits on the shifted level of its key code.
bool needs_shift(Display* d, KeySym sym) {
    KeyCode code = XKeysymToKeycode(d, sym);
    if (code == 0) return false;
    return XkbKeycodeToKeysym(d, code, 0, 0) != sym && XkbKeycodeToKeysym(d, code, 0, 1) == sym;
}

} // namespace

bool available() {
    Display* d = display();
    if (!d) return false;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    return XTestQueryExtension(d, &event_base, &error_base, &major, &minor);
}

void settle(int extra_ms) {
    if (Display* d = display()) XSync(d, False);
    pump(20);
    // Events the first round caused (repaints, posted calls) get their turn too.
    if (Display* d = display()) XSync(d, False);
    pump(10 + extra_ms);
}

void move(QWidget* w, QPoint p) {
    Display* d = need_display();
    const QPoint g = global(w, p);
    XTestFakeMotionEvent(d, -1, g.x(), g.y(), CurrentTime);
    settle();
}

void press(QWidget* w, QPoint p, Qt::MouseButton b) {
    move(w, p);
    XTestFakeButtonEvent(need_display(), button_number(b), True, CurrentTime);
    settle();
}

void release(QWidget* w, QPoint p, Qt::MouseButton b) {
    move(w, p);
    XTestFakeButtonEvent(need_display(), button_number(b), False, CurrentTime);
    settle();
}

void hold(Qt::KeyboardModifiers mods, bool down) {
    for (const auto& [mod, sym] : kModifierKeys)
        if (mods & mod) send_keysym(sym, down);
    settle();
}

void click(QWidget* w, QPoint p, Qt::MouseButton b, Qt::KeyboardModifiers mods) {
    hold(mods, true);
    press(w, p, b);
    release(w, p, b);
    hold(mods, false);
}

void double_click(QWidget* w, QPoint p, Qt::KeyboardModifiers mods) {
    Display* d = need_display();
    hold(mods, true);
    move(w, p);
    // Both clicks go out together so that they fall within the double-click time.
    for (int i = 0; i < 2; ++i) {
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
    }
    settle();
    hold(mods, false);
}

void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods, int steps) {
    hold(mods, true);
    press(w, from);
    if (steps < 1) steps = 1;
    for (int i = 1; i <= steps; ++i) move(w, from + (to - from) * i / steps);
    release(w, to);
    hold(mods, false);
}

void wheel(QWidget* w, QPoint p, int notches) {
    Display* d = need_display();
    move(w, p);
    const unsigned button = notches > 0 ? 4 : 5;
    for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
        XTestFakeButtonEvent(d, button, True, CurrentTime);
        XTestFakeButtonEvent(d, button, False, CurrentTime);
        settle();
    }
}

void key(Qt::Key k, Qt::KeyboardModifiers mods) {
    const KeySym sym = keysym_for(k, mods & Qt::KeypadModifier);
    hold(mods, true);
    send_keysym(sym, true);
    // Held for a moment, as by a finger: a program in another process sees
    // the release apart from the press.
    XSync(need_display(), False);
    QThread::msleep(30);
    send_keysym(sym, false);
    settle();
    hold(mods, false);
}

void type(const QString& text) {
    Display* d = need_display();
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u > 0x7e) qFatal("kltest::x::type: only printable ASCII is typed");
        const KeySym sym = static_cast<KeySym>(u); // Latin-1 keysyms are the character codes.
        const bool shift = needs_shift(d, sym);
        if (shift) send_keysym(XK_Shift_L, true);
        send_keysym(sym, true);
        send_keysym(sym, false);
        if (shift) send_keysym(XK_Shift_L, false);
        settle();
    }
}

bool activate(QWidget* w) {
    QWidget* top = w->window();
    top->show();
    top->raise();
    top->activateWindow();
    settle();
    // With no window manager nobody hands out the focus: take it directly.
    if (QApplication::activeWindow() != top) {
        Display* d = need_display();
        XSetInputFocus(d, static_cast<Window>(top->winId()), RevertToParent, CurrentTime);
    }
    QElapsedTimer t;
    t.start();
    while (QApplication::activeWindow() != top && t.elapsed() < 3000) settle(10);
    return QApplication::activeWindow() == top;
}

QImage grab(QWidget* w) {
    settle();
    const QPoint g = w->mapToGlobal(QPoint(0, 0));
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen->grabWindow(0, g.x(), g.y(), w->width(), w->height()).toImage();
}

std::string save_shot(const QImage& img, const std::string& name) {
    const QString dir = QStringLiteral(KL_TEST_BINARY_DIR "/screenshots/use");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".png");
    img.save(path);
    return path.toStdString();
}

} // namespace kltest::x
