#include "MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

namespace orvex::MainQueue {

void post(std::function<void()> work) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void post(const QObject *context, std::function<void()> work) {
    if (!context)
        return;
    // Qt drops a queued call whose receiver is destroyed; the guard also covers a context destroyed
    // on another thread between the queueing and the call.
    QPointer<const QObject> guard(context);
    QMetaObject::invokeMethod(
        const_cast<QObject *>(context),
        [guard, work = std::move(work)] {
            if (guard)
                work();
        },
        Qt::QueuedConnection);
}

bool isMainThread() {
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace orvex::MainQueue
