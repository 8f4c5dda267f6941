#include "panel/SessionState.h"

#include "panel/SearchState.h"
#include "platform/UserDefaults.h"

namespace orvex {

bool SessionState::record(SearchHistoryEntry entry) {
    if (trimmedSearchQuery(entry.query).isEmpty())
        return false;
    entry.query = boundedSearchQuery(entry.query);
    if (!history.isEmpty() && history.constLast().query == entry.query) {
        history.last() = std::move(entry);
    } else {
        history.append(std::move(entry));
        if (history.size() > maxHistoryEntries)
            history.remove(0, history.size() - maxHistoryEntries);
    }
    historyIndex = -1;
    return true;
}

std::optional<qsizetype> SessionState::previousHistoryPosition() const {
    if (history.isEmpty())
        return std::nullopt;
    const qsizetype position = historyIndex < 0 ? history.size() - 1 : historyIndex - 1;
    if (position < 0)
        return std::nullopt;
    return position;
}

void SessionState::persistQueries(UserDefaults &defaults) const {
    PlistValue::Array queries;
    queries.reserve(history.size());
    for (const SearchHistoryEntry &entry : history)
        queries.append(PlistValue(entry.query));
    defaults.set(historyQueriesKey, std::move(queries));
}

void SessionState::loadPersistedQueries(const UserDefaults &defaults) {
    if (!history.isEmpty())
        return;
    const std::optional<PlistValue::Array> stored = defaults.arrayValue(historyQueriesKey);
    if (!stored)
        return;
    for (const PlistValue &value : *stored)
        if (const QString *query = value.stringPointer())
            history.append({.query = boundedSearchQuery(*query), .results = {}, .resultsArePreview = false});
    // A hand-edited list may be longer than any list this panel writes.
    if (history.size() > maxHistoryEntries)
        history.remove(0, history.size() - maxHistoryEntries);
}

} // namespace orvex
