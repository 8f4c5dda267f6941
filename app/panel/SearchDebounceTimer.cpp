#include "panel/SearchDebounceTimer.h"

#include <QTimer>

namespace orvex {

namespace {

class EventLoopDebounceTimer final : public SearchDebounceTimer {
public:
    EventLoopDebounceTimer() {
        timer_.setSingleShot(true);
        // The delay is a few tens of milliseconds: a coarse timer could add a quarter to it.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            // Taken first: the call may start the timer again.
            std::function<void()> fire = std::exchange(fire_, nullptr);
            if (fire)
                fire();
        });
    }

    void start(std::chrono::milliseconds delay, std::function<void()> fire) override {
        fire_ = std::move(fire);
        timer_.start(delay);
    }

    void stop() override {
        timer_.stop();
        fire_ = nullptr;
    }

private:
    QTimer timer_;
    std::function<void()> fire_;
};

} // namespace

std::unique_ptr<SearchDebounceTimer> SearchDebounceTimer::eventLoop() {
    return std::make_unique<EventLoopDebounceTimer>();
}

} // namespace orvex
