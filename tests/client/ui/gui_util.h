#pragma once
// Helpers of the window tests: screenshots a person can open, and events.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <string>
#include <thread>

namespace client_ui_test {

// Saves what the widget shows as <name>.png in the screenshot folder.
inline void Shot(QWidget* w, const std::string& name) {
    QDir().mkpath(QStringLiteral(KL_SCREENSHOT_DIR));
    w->grab().save(QStringLiteral(KL_SCREENSHOT_DIR "/%1.png").arg(QString::fromStdString(name)));
}

inline void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

// Runs queued calls until `done` holds, or gives up after minutes so that
// a fault fails the test instead of hanging it (never a timing check).
template <class F> bool PumpUntil(F done, int rounds = 60000) {
    for (int i = 0; i < rounds && !done(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

} // namespace client_ui_test
