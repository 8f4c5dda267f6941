#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace orvex {

// The pause between a keystroke and the search it starts: one pending call at a time, on the thread
// that owns the timer. Injected so that tests drive the pause with a manual clock.
class SearchDebounceTimer {
public:
    virtual ~SearchDebounceTimer() = default;

    // Replaces any pending call: `fire` runs once after `delay` unless stop() or start() comes first.
    virtual void start(std::chrono::milliseconds delay, std::function<void()> fire) = 0;
    virtual void stop() = 0;

    // A single-shot timer on the calling thread's event loop.
    static std::unique_ptr<SearchDebounceTimer> eventLoop();
};

} // namespace orvex
