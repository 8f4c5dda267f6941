#include "Clock.h"

#include <cmath>

namespace orvex {

Date Date::fromQDateTime(const QDateTime &dateTime) {
    return fromUnixSeconds(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0);
}

QDateTime Date::toQDateTime() const {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(unixSeconds() * 1000.0)), Qt::UTC);
}

namespace {

class SystemClock final : public Clock {
public:
    Date now() const override {
        const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
        return Date::fromUnixSeconds(std::chrono::duration<double>(sinceEpoch).count());
    }
    MonotonicTime monotonicNow() const override { return std::chrono::steady_clock::now(); }
};

} // namespace

std::shared_ptr<Clock> Clock::system() {
    static const auto clock = std::make_shared<SystemClock>();
    return clock;
}

ManualClock::ManualClock(Date start) : wall_(start.secondsSince2001()) {}

Date ManualClock::now() const {
    return Date(wall_.load());
}

Clock::MonotonicTime ManualClock::monotonicNow() const {
    return MonotonicTime(std::chrono::steady_clock::duration(monotonicTicks_.load()));
}

void ManualClock::set(Date date) {
    const double delta = date.secondsSince(now());
    advance(delta);
}

void ManualClock::advance(double seconds) {
    wall_.store(wall_.load() + seconds);
    const auto ticks = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
    monotonicTicks_.fetch_add(ticks.count());
}

} // namespace orvex
