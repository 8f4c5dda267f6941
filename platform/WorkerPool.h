#pragma once

#include <QThreadPool>

#include <functional>

namespace orvex {

// A pool of worker threads for work handed off the GUI thread. Qt's pool orders a task's start and
// end with locks the thread sanitizer cannot see; this one adds a lock it does see at each hand-over
// (start, and the wait for the end), so that what a task reads of its caller is known to be ordered.
//
// Its size is given, never taken from the CPU count: work handed off mostly waits (for a database, a
// lock, a process), and on a one-CPU machine a pool of one would let one slow task hold up the next.
class WorkerPool {
public:
    explicit WorkerPool(int maxThreadCount) { pool_.setMaxThreadCount(maxThreadCount); }
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void start(std::function<void()> work, int priority = 0);
    // Every started task has ended.
    void waitForDone();
    int activeThreadCount() const { return pool_.activeThreadCount(); }

private:
    QThreadPool pool_;
};

// A process-wide pool for detached work that mostly waits (a child process, an HTTP exchange, a walk of
// a slow disk) rather than computes. Qt's global pool has one thread per CPU, so on a one-CPU machine one
// such task would hold up every other; this one's size does not follow the CPU count. Never destroyed:
// work still running at exit ends with the process.
QThreadPool *waitingWorkPool();

} // namespace orvex
