#include "MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace orvex::MainQueue {

void post(std::function<void()> work) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

bool isMainThread() {
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace orvex::MainQueue
