#include "WorkerPool.h"

#include <mutex>

namespace orvex {
namespace {

// Locking and unlocking one mutex on both sides of a hand-over: a release by the side that wrote,
// an acquire by the side that reads. Uncontended, it costs next to nothing.
void handOver() {
    static std::mutex fence;
    const std::lock_guard lock(fence);
}

} // namespace

WorkerPool::~WorkerPool() {
    waitForDone();
}

void WorkerPool::start(std::function<void()> work, int priority) {
    std::function<void()> task = [work = std::move(work)] {
        handOver();
        work();
        handOver();
    };
    handOver();
    pool_.start(std::move(task), priority);
}

void WorkerPool::waitForDone() {
    pool_.waitForDone();
    handOver();
}

} // namespace orvex
