#include "MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <deque>
#include <mutex>

namespace orvex::MainQueue {
namespace {

// Work waits in a queue of our own under a std::mutex, and Qt's event queue only carries a bare
// "drain" call. A lambda queued through Qt would cross threads under Qt's own lock, which the thread
// sanitizer cannot see; this way the hand-over is a lock it does see, and no report needs silencing.
struct Pending {
    bool tiedToContext = false;
    QPointer<const QObject> context;
    std::function<void()> work;
};

class Drain : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void runOne();
};

std::mutex queueMutex;
std::deque<Pending> queue;
Drain *drain = nullptr;

void Drain::runOne() {
    Pending next;
    {
        const std::lock_guard lock(queueMutex);
        if (queue.empty())
            return;
        next = std::move(queue.front());
        queue.pop_front();
    }
    if (next.tiedToContext && !next.context)
        return;
    next.work();
}

void enqueue(Pending pending) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    Drain *target = nullptr;
    {
        const std::lock_guard lock(queueMutex);
        if (!drain) {
            // Never deleted: it must outlive every worker that might still post.
            drain = new Drain;
            drain->moveToThread(app->thread());
        }
        target = drain;
        queue.push_back(std::move(pending));
    }
    // One call per item, so that items run one per event-loop turn, in order, as queued calls do.
    QMetaObject::invokeMethod(target, "runOne", Qt::QueuedConnection);
}

} // namespace

void post(std::function<void()> work) {
    enqueue(Pending{false, {}, std::move(work)});
}

void post(const QObject *context, std::function<void()> work) {
    if (!context)
        return;
    enqueue(Pending{true, QPointer<const QObject>(context), std::move(work)});
}

bool isMainThread() {
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace orvex::MainQueue

#include "MainQueue.moc"
