#pragma once

#include "platform/Clock.h"
#include "search/DatabaseTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

class UserDefaults;

// One past search of this run: the query as typed and the rows shown for it.
struct SearchHistoryEntry {
    QString query;
    SearchResults results;
    bool resultsArePreview = false;
};

// The panel's memory of past searches (newest last) and of when it was last hidden. Only the queries
// outlive the process, under historyQueriesKey.
struct SessionState {
    static inline const QString historyQueriesKey = QStringLiteral("launcherSearchHistoryQueries");
    static constexpr qsizetype maxHistoryEntries = 20;

    QList<SearchHistoryEntry> history;
    // -1: no entry is being browsed; otherwise the position of the entry shown.
    qsizetype historyIndex = -1;
    // When the panel was last hidden, on the monotonic clock: a changed wall clock cannot stretch or
    // cut the session.
    std::optional<Clock::MonotonicTime> lastDismissedAt;
    qint64 persistenceSeconds = 10;

    // Makes the entry the newest one (its query cut to the longest query), replacing the newest when it
    // has exactly the same query, keeps the 20 newest and ends browsing. False (and nothing changes) for
    // a blank query.
    bool record(SearchHistoryEntry entry);
    // The position one step back from the browsed entry (from the newest when not browsing); none when
    // the history is empty or the oldest entry is already shown.
    std::optional<qsizetype> previousHistoryPosition() const;

    // Writes every entry's query, oldest first.
    void persistQueries(UserDefaults &defaults) const;
    // Only into an empty history: one entry without rows per stored query (cut to the longest query),
    // the 20 newest. A missing or unreadable list leaves the history empty; values that are not texts
    // are skipped.
    void loadPersistedQueries(const UserDefaults &defaults);
};

} // namespace orvex
