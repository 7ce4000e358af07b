#include "platform/ui/ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

namespace plat::ui {

void Post(QObject* context, std::function<void()> fn) {
    QObject* target = context ? context : QCoreApplication::instance();
    if (!target) return;
    QMetaObject::invokeMethod(target, std::move(fn), Qt::QueuedConnection);
}

} // namespace plat::ui
