#include "sources/NotionSearch.h"

#include "platform/StringUtils.h"
#include "search/Database.h"
#include "search/LauncherLogic.h"
#include "sources/NotionClient.h"
#include "sources/NotionSettingsStore.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace orvex {

namespace {

const QString notionPageScheme = QStringLiteral("notion://page/");

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The page id as the row keys it: 32 hex digits, dashes dropped, lower case. Anything else is not a
// page id and could smuggle path or query text into the row's address.
std::optional<QString> canonicalIDOfPage(const QString &id) {
    QString canonical = id;
    canonical.remove(QLatin1Char('-'));
    if (canonical.size() != 32 || !std::all_of(canonical.begin(), canonical.end(), isHexDigit))
        return std::nullopt;
    return canonical.toLower();
}

// A page's own address only ever becomes something the panel opens when it is a web address.
bool isHttpsAddress(const QString &text) {
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

// Releases a request's in-flight key exactly once: when its task ends without applying a reply, or,
// when the pool refused the task at shutdown, as the task is dropped.
class InFlightKeyRelease {
public:
    explicit InFlightKeyRelease(std::function<void()> release) : release_(std::move(release)) {}
    ~InFlightKeyRelease() { releaseNow(); }
    InFlightKeyRelease(const InFlightKeyRelease &) = delete;
    InFlightKeyRelease &operator=(const InFlightKeyRelease &) = delete;

    void releaseNow() {
        if (auto release = std::exchange(release_, nullptr))
            release();
    }
    // The reply's application releases the key itself.
    void dismiss() { release_ = nullptr; }

private:
    std::function<void()> release_;
};

} // namespace

std::optional<QString> canonicalNotionPageID(const std::optional<QString> &text) {
    if (!text)
        return std::nullopt;
    static thread_local const QRegularExpression pageID(
        QStringLiteral("[0-9A-Fa-f]{8}-?[0-9A-Fa-f]{4}-?[0-9A-Fa-f]{4}-?[0-9A-Fa-f]{4}-?[0-9A-Fa-f]{12}"));
    std::optional<QString> last;
    QRegularExpressionMatchIterator matches = pageID.globalMatch(*text);
    while (matches.hasNext())
        last = matches.next().captured(0);
    if (!last)
        return std::nullopt;
    return last->remove(QLatin1Char('-')).toLower();
}

QString notionPageWebAddress(const QString &canonicalID) {
    return QStringLiteral("https://www.notion.so/") + canonicalID;
}

QString notionPageUsageKey(const QString &canonicalID) {
    return notionPageScheme + canonicalID;
}

SearchResult normalizedNotionSearchResult(const SearchResult &result) {
    if (result.action() != SearchResultAction::openNotionPage)
        return result;
    std::optional<QString> canonicalID = canonicalNotionPageID(result.usageKey());
    if (!canonicalID)
        canonicalID = canonicalNotionPageID(result.actionURLString());
    if (!canonicalID)
        canonicalID = canonicalNotionPageID(result.fallbackActionURLString());
    if (!canonicalID)
        return result;

    const QString webAddress = notionPageWebAddress(*canonicalID);
    const std::optional<QString> &oldAddress = result.actionURLString();
    SearchResultFields fields = result.fields();
    fields.fallbackActionURLString =
        oldAddress && *oldAddress != webAddress ? oldAddress : result.fallbackActionURLString();
    fields.actionURLString = webAddress;
    fields.usageKey = notionPageUsageKey(*canonicalID);
    fields.id = stableNegativeID(*fields.usageKey);
    fields.databaseID = fields.id >= 1 ? std::optional<qint64>(fields.id) : std::nullopt;
    fields.relevanceScore = std::nullopt;
    return SearchResult(std::move(fields));
}

QString DatabaseManager::relativeTimeString(Date date, Date now) {
    const double age = now.secondsSince(date);
    // Also a date in the future (and anything that is not a number) reads as just now.
    if (!(age >= 60))
        return QStringLiteral("just now");
    if (age < 3600)
        return QStringLiteral("%1m ago").arg(static_cast<int>(age / 60));
    if (age < 86400)
        return QStringLiteral("%1h ago").arg(static_cast<int>(age / 3600));
    const double days = std::floor(age / 86400);
    if (days == 1)
        return QStringLiteral("yesterday");
    return QStringLiteral("%1d ago").arg(QString::number(days, 'f', 0));
}

std::optional<SearchResult> DatabaseManager::notionSearchResult(const NotionPage &page, Date now) {
    const std::optional<QString> canonicalID = canonicalIDOfPage(page.id);
    if (!canonicalID)
        return std::nullopt;
    const QString usageKey = notionPageUsageKey(*canonicalID);
    const QString webAddress = notionPageWebAddress(*canonicalID);
    const bool emojiIcon = page.icon && page.icon->kind == NotionPageIcon::Kind::emoji;
    return SearchResult({
        .id = stableNegativeID(usageKey),
        .filename = emojiIcon ? page.icon->value + QLatin1Char(' ') + page.title : page.title,
        .directory = page.lastEditedTime
                         ? QStringLiteral("Notion \u00B7 ") + relativeTimeString(*page.lastEditedTime, now)
                         : QStringLiteral("Notion"),
        .openCount = 0,
        .kind = SearchResultKind::action,
        .action = SearchResultAction::openNotionPage,
        .actionURLString = webAddress,
        .fallbackActionURLString = page.url != webAddress && isHttpsAddress(page.url)
                                       ? std::optional<QString>(page.url)
                                       : std::nullopt,
        .usageKey = usageKey,
    });
}

SearchResults DatabaseManager::searchNotionPages(const QString &query) {
    auto guard = lock();
    const QString normalizedQuery = query.toLower();
    if (StringUtils::graphemeCount(normalizedQuery) < 2)
        return {};
    const NotionSettingsStore settings = NotionSettingsStore::withDefaults(*defaults_);
    if (!settings.loadEnabled())
        return {};
    const QString token = settings.trimmedToken();
    // A token with a line break inside would end its header line early: nothing is sent with it.
    if (token.isEmpty() || !NotionClient::isSendableToken(token))
        return {};
    if (std::optional<SearchResults> cached = notionCachedResults(normalizedQuery))
        return *cached;
    if (config_.startsLateLookups)
        scheduleNotionSearchRefresh(query, normalizedQuery, token);
    return {};
}

std::optional<SearchResults> DatabaseManager::notionCachedResults(const QString &normalizedQuery) {
    auto guard = lock();
    const auto entry = notionCache_.constFind(normalizedQuery);
    if (entry == notionCache_.cend())
        return std::nullopt;
    const std::chrono::duration<double> age = clock_->monotonicNow() - entry->cachedAt;
    if (age.count() <= notionCacheTTL_)
        return entry->results;
    notionCache_.erase(entry);
    return std::nullopt;
}

void DatabaseManager::scheduleNotionSearchRefresh(const QString &query, const QString &normalizedQuery,
                                                  const QString &token) {
    auto guard = lock();
    if (notionSearchInFlightKeys_.contains(normalizedQuery))
        return;
    notionSearchInFlightKeys_.insert(normalizedQuery);
    auto release = std::make_shared<InFlightKeyRelease>([this, normalizedQuery] {
        auto guard = lock();
        notionSearchInFlightKeys_.remove(normalizedQuery);
    });
    startBackgroundTask([this, query, normalizedQuery, token, release] {
        SearchResults rows;
        try {
            const NotionClient client(token, config_.notionBaseURL, config_.notionRequestTimeout);
            const QList<NotionPage> pages = client.searchPages(query, &shuttingDown_);
            const Date now = clock_->now();
            for (const NotionPage &page : pages)
                if (std::optional<SearchResult> row = notionSearchResult(page, now))
                    rows.append(*row);
        } catch (...) {
            // A failure of the request counts as an empty answer.
            rows.clear();
        }
        if (shuttingDown_.load()) {
            release->releaseNow();
            return;
        }
        release->dismiss();
        applyNotionSearchRefresh(rows, normalizedQuery);
    });
}

void DatabaseManager::applyNotionSearchRefresh(const SearchResults &results, const QString &normalizedQuery) {
    auto guard = lock();
    notionSearchInFlightKeys_.remove(normalizedQuery);
    SearchResults counted;
    counted.reserve(results.size());
    for (const SearchResult &row : results) {
        const qint64 learned = learnedOpenCount(row, row.openCount());
        counted.append(learned == row.openCount() ? row : row.withOpenCount(learned));
    }
    storeNotionResultsInCache(deduplicatedSearchResults(counted), normalizedQuery);
    invalidateQueryResultCache();
    postSearchDataRefreshed();
}

void DatabaseManager::storeNotionResultsInCache(const SearchResults &results,
                                                const QString &normalizedQuery) {
    auto guard = lock();
    notionCache_.insert(normalizedQuery, NotionCacheEntry{results, clock_->monotonicNow()});
    if (notionCache_.size() <= notionCacheMaxEntries_)
        return;
    // The entry just stored is the newest; it never goes, even when the clock has not moved.
    std::vector<std::pair<Clock::MonotonicTime, QString>> byAge;
    byAge.reserve(static_cast<size_t>(notionCache_.size()));
    for (auto it = notionCache_.cbegin(); it != notionCache_.cend(); ++it)
        if (it.key() != normalizedQuery)
            byAge.emplace_back(it->cachedAt, it.key());
    std::stable_sort(byAge.begin(), byAge.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    const qsizetype excess = notionCache_.size() - notionCacheMaxEntries_;
    for (qsizetype i = 0; i < excess; ++i)
        notionCache_.remove(byAge[static_cast<size_t>(i)].second);
}

} // namespace orvex
