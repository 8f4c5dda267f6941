#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace orvex {

struct NotionSearchFailure;

// What Notion's service said against the launcher's searches that the user must act on or wait out:
// it refused the integration token, or it asks to be left alone for a while. The Notion source reports
// every reply here and sends nothing while asked to wait; the settings' Notion section shows the
// problem. A new problem is said once on standard output. Safe from any thread; `changed` is emitted on
// the thread that reported.
class NotionServiceStatus : public QObject {
    Q_OBJECT

public:
    // Longest wait honoured, and the wait when a refusal to serve names none.
    static constexpr double maximumWaitSeconds = 3600;
    static constexpr double defaultWaitSeconds = 60;

    struct Problem {
        enum class Kind { tokenRefused, asksToWait };

        Kind kind = Kind::tokenRefused;
        int httpStatus = 0;
        QString token;           // tokenRefused: the refused token, trimmed
        Date searchesResumeAt{}; // asksToWait

        // The problem as the settings show it.
        QString sentence() const;

        bool operator==(const Problem &) const = default;
    };

    // The one the launcher's sources and its settings share.
    static std::shared_ptr<NotionServiceStatus> shared();

    std::optional<Problem> problem() const;
    // True until the wait the service asked for is over.
    bool holdsOff(Clock::MonotonicTime now) const;

    // A request was answered with a readable reply: whatever stood is over.
    void recordAnswer();
    // A request sent with `token` failed. Only a refused token and a request to wait count; other
    // failures (no network, a time-out) leave the status as it was.
    void recordFailure(const NotionSearchFailure &failure, const QString &token, const Clock &clock);

Q_SIGNALS:
    void changed();

private:
    mutable std::mutex mutex_;
    std::optional<Problem> problem_;
    std::optional<Clock::MonotonicTime> holdOffUntil_;
};

} // namespace orvex
