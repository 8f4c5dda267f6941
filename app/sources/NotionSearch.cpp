#include "sources/NotionSearch.h"

#include "sources/NotionClient.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cmath>

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

QString notionRelativeTimeString(Date date, Date now) {
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

std::optional<SearchResult> notionSearchResult(const NotionPage &page, Date now) {
    const std::optional<QString> canonicalID = canonicalIDOfPage(page.id);
    if (!canonicalID)
        return std::nullopt;
    const QString usageKey = notionPageUsageKey(*canonicalID);
    const QString webAddress = notionPageWebAddress(*canonicalID);
    const bool emojiIcon = page.icon && page.icon->kind == NotionPageIcon::Kind::emoji;
    return SearchResult({
        .id = stableNegativeID(usageKey),
        .filename = emojiIcon ? page.icon->value + QLatin1Char(' ') + page.title : page.title,
        .directory = page.lastEditedTime ? QStringLiteral("Notion \u00B7 ") +
                                               notionRelativeTimeString(*page.lastEditedTime, now)
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

} // namespace orvex
