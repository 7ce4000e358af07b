#pragma once
// Helpers of the window tests: screenshots a person can open, and events.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QWidget>
#include <string>

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

// Runs queued calls until `done` holds (or a generous number of rounds
// passed, so a fault fails the test instead of hanging it).
template <class F> bool PumpUntil(F done, int rounds = 200000) {
    for (int i = 0; i < rounds && !done(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

} // namespace client_ui_test
