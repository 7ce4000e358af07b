#include "platform/ui/beep.h"

#include <mutex>
#include <utility>

#include <QtWidgets/QApplication>

namespace plat::ui {

namespace {

std::mutex g_lock;
std::function<void()> g_handler;

} // namespace

void Beep() {
    std::function<void()> handler;
    {
        std::lock_guard lock(g_lock);
        handler = g_handler;
    }
    if (handler)
        handler();
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

std::function<void()> SetBeepHandler(std::function<void()> handler) {
    std::lock_guard lock(g_lock);
    return std::exchange(g_handler, std::move(handler));
}

} // namespace plat::ui
