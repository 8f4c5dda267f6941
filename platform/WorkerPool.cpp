#include "WorkerPool.h"

#include "HandOverFence.h"

#include <mutex>

namespace orvex {

// Locking and unlocking one mutex on both sides of a hand-over: a release by the side that wrote,
// an acquire by the side that reads. Uncontended, it costs next to nothing.
void handOverFence() {
    static std::mutex fence;
    const std::lock_guard lock(fence);
}

WorkerPool::~WorkerPool() {
    waitForDone();
}

void WorkerPool::start(std::function<void()> work, int priority) {
    std::function<void()> task = [work = std::move(work)] {
        handOverFence();
        work();
        handOverFence();
    };
    handOverFence();
    pool_.start(std::move(task), priority);
}

void WorkerPool::waitForDone() {
    pool_.waitForDone();
    handOverFence();
}

QThreadPool *waitingWorkPool() {
    static QThreadPool *const pool = [] {
        auto *created = new QThreadPool;
        created->setMaxThreadCount(8);
        return created;
    }();
    return pool;
}

} // namespace orvex
