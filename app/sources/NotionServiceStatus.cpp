#include "sources/NotionServiceStatus.h"

#include "platform/ConsoleLog.h"
#include "sources/NotionClient.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <chrono>

namespace orvex {

namespace {

Q_LOGGING_CATEGORY(notionLog, "orvex.notion", QtInfoMsg)

QString timeOfDay(Date date) {
    return QLocale().toString(date.toQDateTime().toLocalTime().time(), QLocale::ShortFormat);
}

} // namespace

QString NotionServiceStatus::Problem::sentence() const {
    switch (kind) {
    case Kind::tokenRefused:
        return QStringLiteral("Notion refused this token (HTTP %1): check it, or make a new one for your "
                              "integration.")
            .arg(httpStatus);
    case Kind::asksToWait:
        return QStringLiteral("Notion asks to wait (HTTP %1): Notion pages are searched again after %2.")
            .arg(httpStatus)
            .arg(timeOfDay(searchesResumeAt));
    }
    return {};
}

std::shared_ptr<NotionServiceStatus> NotionServiceStatus::shared() {
    static const std::shared_ptr<NotionServiceStatus> status = [] {
        auto made = std::make_shared<NotionServiceStatus>();
        // Its receivers live on the GUI thread, whichever thread asked first.
        if (QCoreApplication *application = QCoreApplication::instance())
            made->moveToThread(application->thread());
        return made;
    }();
    return status;
}

std::optional<NotionServiceStatus::Problem> NotionServiceStatus::problem() const {
    std::lock_guard guard(mutex_);
    return problem_;
}

bool NotionServiceStatus::holdsOff(Clock::MonotonicTime now) const {
    std::lock_guard guard(mutex_);
    return holdOffUntil_ && now < *holdOffUntil_;
}

void NotionServiceStatus::recordAnswer() {
    bool hadProblem = false;
    {
        std::lock_guard guard(mutex_);
        hadProblem = problem_.has_value();
        problem_.reset();
        holdOffUntil_.reset();
    }
    if (hadProblem)
        Q_EMIT changed();
}

void NotionServiceStatus::recordFailure(const NotionSearchFailure &failure, const QString &token,
                                        const Clock &clock) {
    using Reason = NotionSearchFailure::Reason;
    Problem next{.httpStatus = failure.httpStatus};
    std::optional<Clock::MonotonicTime> holdOffUntil;
    QString line;
    if (failure.reason == Reason::refusedToken) {
        next.kind = Problem::Kind::tokenRefused;
        next.token = token;
        line = QStringLiteral("Notion search: Notion refused the integration token (HTTP %1); it can be "
                              "changed in the settings' Notion section")
                   .arg(failure.httpStatus);
    } else if (failure.reason == Reason::asksToWait) {
        const Date now = clock.now();
        // Also a wait too long to be meant (or no number at all) ends within the hour.
        const double wait =
            std::min(failure.retryAfter ? failure.retryAfter->secondsToWait(now) : defaultWaitSeconds,
                     maximumWaitSeconds);
        holdOffUntil = clock.monotonicNow() + std::chrono::duration_cast<Clock::MonotonicTime::duration>(
                                                  std::chrono::duration<double>(wait));
        next.kind = Problem::Kind::asksToWait;
        next.searchesResumeAt = now.addingSeconds(wait);
        line = QStringLiteral("Notion search: Notion asks to wait (HTTP %1); no request is sent before %2")
                   .arg(failure.httpStatus)
                   .arg(timeOfDay(next.searchesResumeAt));
    } else {
        return;
    }

    bool isNew = false;
    bool differs = false;
    {
        std::lock_guard guard(mutex_);
        isNew = !problem_ || problem_->kind != next.kind || problem_->token != next.token;
        differs = problem_ != next;
        problem_ = next;
        // The latest word of the service counts.
        if (holdOffUntil)
            holdOffUntil_ = holdOffUntil;
    }
    if (isNew)
        printLine(notionLog(), line);
    if (differs)
        Q_EMIT changed();
}

} // namespace orvex
