#pragma once

// Helpers of the single-instance tests: a counting observer and a temporary value of an environment
// variable.

#include "single-instance/DuplicateLaunchRequest.h"
#include "single-instance/DuplicateLaunchSignal.h"

#include "support/TestEnvironment.h"

#include <QByteArray>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace orvex {

// Readable failure messages.
inline void PrintTo(const DuplicateLaunchRequest &request, std::ostream *out) {
    *out << request.toJson().toStdString();
}

namespace test {

// Sets (or with nothing, unsets) an environment variable until the object goes.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const std::optional<QByteArray> &value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = QByteArray(old);
        apply(value);
    }
    ~ScopedEnvironment() { apply(old_); }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    void apply(const std::optional<QByteArray> &value) {
        if (value)
            ::setenv(name_, value->constData(), 1);
        else
            ::unsetenv(name_);
    }
    const char *name_;
    std::optional<QByteArray> old_;
};

// Observes a signal and counts the handler's calls.
struct CountingObserver {
    std::shared_ptr<std::atomic<int>> count = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<DuplicateLaunchSignalObservation> observation;
    QString error;

    CountingObserver(const QString &name, const QString &fallbackFolder) {
        auto observed = DuplicateLaunchSignal::observe(
            name, fallbackFolder,
            [count = count](DuplicateLaunchSignalObservation::Call) { count->fetch_add(1); });
        if (auto *o = std::get_if<std::unique_ptr<DuplicateLaunchSignalObservation>>(&observed))
            observation = std::move(*o);
        else
            error = std::get<QString>(observed);
    }
    bool waitFor(int expected) const {
        return waitUntil([&] { return count->load() >= expected; }) && count->load() == expected;
    }
};

inline mode_t modeOf(const QString &path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode;
}

} // namespace test
} // namespace orvex
