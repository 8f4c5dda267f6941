#pragma once

// Reads the launcher's trace file (orvex-launcher --trace FILE) as it grows: which list the panel
// applied, when the result list was first painted after it, and when each of the panel's searches ran.

#include "WindowEventRecorder.h"

#include <QFile>
#include <QString>

#include <optional>
#include <vector>

namespace orvex::bench {

struct TracedList {
    MonotonicClock::time_point at;
    int number = 0;
    bool preview = false;
    int rows = 0;
    quint64 fingerprint = 0;
    QString query;
};

struct TracedPaint {
    MonotonicClock::time_point at;
    int list = 0; // the number of the list painted
};

struct TracedSearch {
    MonotonicClock::time_point start;
    MonotonicClock::time_point end;
    QString query;
};

class PanelTraceReader {
public:
    // Forgets what was read and follows `path` from its current end.
    void follow(const QString &path);
    // Reads the lines written since the last call.
    void update();

    const std::vector<TracedList> &lists() const { return lists_; }
    const std::vector<TracedPaint> &paints() const { return paints_; }
    const std::vector<TracedSearch> &searches() const { return searches_; }
    // The newest list applied at or after `from`.
    std::optional<TracedList> lastList(MonotonicClock::time_point from) const;
    // The first list at or after `from` that matches.
    std::optional<TracedList> firstList(MonotonicClock::time_point from, bool preview,
                                        const QString &query) const;
    std::optional<TracedPaint> paintOf(int list) const;
    // The last search for `query` that ended by `by`.
    std::optional<TracedSearch> lastSearch(const QString &query, MonotonicClock::time_point by) const;

private:
    QString path_;
    qint64 offset_ = 0;
    QByteArray partial_;
    std::vector<TracedList> lists_;
    std::vector<TracedPaint> paints_;
    std::vector<TracedSearch> searches_;
};

} // namespace orvex::bench
