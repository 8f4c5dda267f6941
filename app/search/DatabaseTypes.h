#pragma once

#include "platform/Clock.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace orvex {

// What a row stands for; the order is the order of the kind table used by scoring.
enum class SearchResultKind { file, app, folder, action };

// What activating an action row does. The text form equals the case name.
enum class SearchResultAction {
    openSettings,
    openSystemSettings,
    focusBrowserTab,
    openBrowserFavorite,
    copyToClipboard,
    openNotionPage,
};

QString rawValue(SearchResultKind kind);
std::optional<SearchResultKind> searchResultKindFromRawValue(const QString &text);
QString rawValue(SearchResultAction action);
// Exact, case-sensitive match of the text form; anything else is no action.
std::optional<SearchResultAction> searchResultActionFromRawValue(const QString &text);

// The fields of a row, in their design order; rows are built from these through SearchResult's
// constructor so that the databaseID rule always holds.
struct SearchResultFields {
    qint64 id = 0;
    QString filename;
    QString directory;
    qint64 openCount = 0;
    std::optional<QString> snippet;
    std::optional<qint64> databaseID;
    SearchResultKind kind = SearchResultKind::file;
    std::optional<SearchResultAction> action;
    std::optional<QString> actionURLString;
    std::optional<QString> fallbackActionURLString;
    bool isDirectPathMatch = false;
    std::optional<QString> usageKey;
    bool isRecentActivation = false;
    // Matched the query through another of its names (a desktop application's generic name or
    // keywords), not through its title: ranked below every row that matched by name.
    bool isOtherNameMatch = false;
    std::optional<qint64> relevanceScore;
};

// One row of a result list: what every source produces and the panel, the caches and activation use.
class SearchResult {
public:
    // A missing databaseID is taken from a positive id.
    explicit SearchResult(SearchResultFields fields);

    const SearchResultFields &fields() const { return f_; }

    qint64 id() const { return f_.id; }
    const QString &filename() const { return f_.filename; }
    const QString &directory() const { return f_.directory; }
    qint64 openCount() const { return f_.openCount; }
    const std::optional<QString> &snippet() const { return f_.snippet; }
    std::optional<qint64> databaseID() const { return f_.databaseID; }
    SearchResultKind kind() const { return f_.kind; }
    std::optional<SearchResultAction> action() const { return f_.action; }
    const std::optional<QString> &actionURLString() const { return f_.actionURLString; }
    const std::optional<QString> &fallbackActionURLString() const { return f_.fallbackActionURLString; }
    bool isDirectPathMatch() const { return f_.isDirectPathMatch; }
    const std::optional<QString> &usageKey() const { return f_.usageKey; }
    bool isRecentActivation() const { return f_.isRecentActivation; }
    bool isOtherNameMatch() const { return f_.isOtherNameMatch; }
    std::optional<qint64> relevanceScore() const { return f_.relevanceScore; }

    // The row's identity text: an action row's address as stored, else "action://" + its action, else
    // an app row's usage key (a desktop entry's file), else directory joined with filename. No case
    // change.
    QString fullPath() const;

    SearchResult withOpenCount(qint64 openCount) const;
    SearchResult withRelevanceScore(std::optional<qint64> score) const;
    SearchResult withOtherNameMatch() const;

private:
    SearchResultFields f_;
};

using SearchResults = QList<SearchResult>;

// A cached answer: the query cache, the translation row cache and the Notion cache hold these.
struct QueryResultCacheEntry {
    SearchResults results;
    Date cachedAt;
};

// Joins a folder path and a name with exactly one "/" between them; an empty folder gives the name.
QString joinedPath(const QString &directory, const QString &name);

// Stable negative id of a seed text: 64-bit FNV-1a over its UTF-8 bytes with this system's start value,
// folded into [-(2^63 - 2), -1] so it never meets a positive index row id.
qint64 stableNegativeID(const QString &seed);

// The stored JSON form of one row, as the persistent caches keep it. `isRecentActivation` is not stored;
// `isOtherNameMatch` only when set.
QJsonObject searchResultRecordToJson(const SearchResult &result);
// Reads a stored row back. Missing required keys or wrong types give no row with `malformed` set (the
// payload holding it is undecodable); an unknown kind gives no row with `malformed` clear (the row is
// dropped, the rest stays); an unknown action is cleared.
std::optional<SearchResult> searchResultFromRecordJson(const QJsonObject &record, bool &malformed);

} // namespace orvex
