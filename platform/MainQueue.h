#pragma once

#include <functional>

class QObject;

namespace orvex {

// The main queue: work handed to the thread that runs the application's event loop (the GUI thread in
// the launcher, the QCoreApplication thread in the command-line tool and in tests).
namespace MainQueue {

// Queues `work` onto the event loop; returns at once. Dropped when no application object exists.
void post(std::function<void()> work);
// Queues `work` onto the event loop for an object of the main thread; dropped when `context` is null or
// is destroyed before the work runs. Every hand-over from a worker thread to an object goes through here.
void post(const QObject *context, std::function<void()> work);
bool isMainThread();

} // namespace MainQueue
} // namespace orvex
