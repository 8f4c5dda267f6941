#pragma once

#include <QDateTime>

#include <atomic>
#include <chrono>
#include <compare>
#include <memory>

namespace orvex {

// A point in wall time, counted as the design counts dates: seconds since 2001-01-01 00:00:00 UTC.
class Date {
public:
    static constexpr double unixOffset = 978307200.0;

    constexpr Date() = default;
    constexpr explicit Date(double secondsSince2001) : seconds_(secondsSince2001) {}

    static constexpr Date fromUnixSeconds(double unixSeconds) { return Date(unixSeconds - unixOffset); }
    static Date fromQDateTime(const QDateTime &dateTime);

    constexpr double secondsSince2001() const { return seconds_; }
    constexpr double unixSeconds() const { return seconds_ + unixOffset; }
    // Seconds from `earlier` to this date (negative when `earlier` is later).
    constexpr double secondsSince(Date earlier) const { return seconds_ - earlier.seconds_; }
    constexpr Date addingSeconds(double seconds) const { return Date(seconds_ + seconds); }
    QDateTime toQDateTime() const;

    constexpr auto operator<=>(const Date &) const = default;

private:
    double seconds_ = 0;
};

// Source of wall and monotonic time; injected so tests control both.
class Clock {
public:
    using MonotonicTime = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual Date now() const = 0;
    virtual MonotonicTime monotonicNow() const = 0;

    static std::shared_ptr<Clock> system();
};

// A clock that stands still until a test moves it; wall and monotonic time move together.
class ManualClock final : public Clock {
public:
    explicit ManualClock(Date start = Date(800000000.0));

    Date now() const override;
    MonotonicTime monotonicNow() const override;

    void set(Date date);
    void advance(double seconds);

private:
    std::atomic<double> wall_;
    std::atomic<std::chrono::steady_clock::duration::rep> monotonicTicks_{0};
};

} // namespace orvex
