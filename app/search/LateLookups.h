#pragma once

#include <atomic>
#include <functional>

namespace orvex {

// How a source whose rows need slow work per query (a translation, a web request) runs that work off
// the keystroke: the manager that asks the source runs it on its background pool and, once the rows are
// in, tells the front end to search again. A search hands it to the sources through its SearchContext.
class LateLookups {
public:
    virtual ~LateLookups() = default;

    // False in a front end that prints one answer and ends: nothing may be started that could never be
    // shown.
    virtual bool enabled() const = 0;
    // Runs `work` in the background. False, with `work` dropped unrun, once the manager shuts down.
    virtual bool start(std::function<void()> work) = 0;
    // Set once the manager shuts down: work under way stops early and its rows are not kept.
    virtual const std::atomic<bool> &cancelled() const = 0;
    // New rows are in. `answersChanged`: they belong to queries the query caches may hold, so those
    // answers are dropped too.
    virtual void rowsArrived(bool answersChanged) = 0;
};

} // namespace orvex
