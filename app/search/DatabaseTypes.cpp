#include "DatabaseTypes.h"

#include <QJsonValue>

#include "search/JsonFields.h"

#include <array>

namespace orvex {

namespace {

constexpr std::array kindNames{"file", "app", "folder", "action"};
constexpr std::array actionNames{"openSettings",        "openSystemSettings", "focusBrowserTab",
                                 "openBrowserFavorite", "copyToClipboard",    "openNotionPage"};

} // namespace

QString rawValue(SearchResultKind kind) {
    return QString::fromLatin1(kindNames[static_cast<size_t>(kind)]);
}

std::optional<SearchResultKind> searchResultKindFromRawValue(const QString &text) {
    for (size_t i = 0; i < kindNames.size(); ++i)
        if (text == QLatin1String(kindNames[i]))
            return static_cast<SearchResultKind>(i);
    return std::nullopt;
}

QString rawValue(SearchResultAction action) {
    return QString::fromLatin1(actionNames[static_cast<size_t>(action)]);
}

std::optional<SearchResultAction> searchResultActionFromRawValue(const QString &text) {
    for (size_t i = 0; i < actionNames.size(); ++i)
        if (text == QLatin1String(actionNames[i]))
            return static_cast<SearchResultAction>(i);
    return std::nullopt;
}

SearchResult::SearchResult(SearchResultFields fields) : f_(std::move(fields)) {
    if (!f_.databaseID && f_.id > 0)
        f_.databaseID = f_.id;
}

QString SearchResult::fullPath() const {
    if (f_.kind == SearchResultKind::action) {
        if (f_.actionURLString)
            return *f_.actionURLString;
        if (f_.action)
            return QStringLiteral("action://") + rawValue(*f_.action);
    }
    // A desktop application is titled by its entry's name; the entry's file, kept as the usage key, is
    // what the row stands for and what opens it.
    if (f_.kind == SearchResultKind::app && f_.usageKey)
        return *f_.usageKey;
    return joinedPath(f_.directory, f_.filename);
}

SearchResult SearchResult::withOpenCount(qint64 openCount) const {
    SearchResultFields copy = f_;
    copy.openCount = openCount;
    return SearchResult(std::move(copy));
}

SearchResult SearchResult::withRelevanceScore(std::optional<qint64> score) const {
    SearchResultFields copy = f_;
    copy.relevanceScore = score;
    return SearchResult(std::move(copy));
}

SearchResult SearchResult::withOtherNameMatch() const {
    SearchResultFields copy = f_;
    copy.isOtherNameMatch = true;
    return SearchResult(std::move(copy));
}

QString joinedPath(const QString &directory, const QString &name) {
    if (directory.isEmpty())
        return name;
    if (directory.endsWith(QLatin1Char('/')))
        return directory + name;
    return directory + QLatin1Char('/') + name;
}

qint64 stableNegativeID(const QString &seed) {
    quint64 h = 1469598103934665603ULL;
    const QByteArray bytes = seed.toUtf8();
    for (const char byte : bytes) {
        h ^= static_cast<unsigned char>(byte);
        h *= 1099511628211ULL;
    }
    const quint64 m = h % 9223372036854775806ULL;
    return -1 - static_cast<qint64>(m);
}

using namespace JsonFields;

QJsonObject searchResultRecordToJson(const SearchResult &result) {
    QJsonObject o;
    o.insert(QStringLiteral("id"), result.id());
    o.insert(QStringLiteral("filename"), result.filename());
    o.insert(QStringLiteral("directory"), result.directory());
    o.insert(QStringLiteral("openCount"), result.openCount());
    insertOptional(o, QLatin1String("snippet"), result.snippet());
    insertOptional(o, QLatin1String("databaseID"), result.databaseID());
    o.insert(QStringLiteral("kind"), rawValue(result.kind()));
    if (result.action())
        o.insert(QStringLiteral("action"), rawValue(*result.action()));
    insertOptional(o, QLatin1String("actionURLString"), result.actionURLString());
    insertOptional(o, QLatin1String("fallbackActionURLString"), result.fallbackActionURLString());
    o.insert(QStringLiteral("isDirectPathMatch"), result.isDirectPathMatch());
    insertOptional(o, QLatin1String("usageKey"), result.usageKey());
    if (result.isOtherNameMatch())
        o.insert(QStringLiteral("isOtherNameMatch"), true);
    insertOptional(o, QLatin1String("relevanceScore"), result.relevanceScore());
    return o;
}

std::optional<SearchResult> searchResultFromRecordJson(const QJsonObject &record, bool &malformed) {
    malformed = true;
    SearchResultFields f;
    const auto id = integerValue(record.value(QLatin1String("id")));
    const auto filename = stringValue(record.value(QLatin1String("filename")));
    const auto directory = stringValue(record.value(QLatin1String("directory")));
    const auto openCount = integerValue(record.value(QLatin1String("openCount")));
    const auto kindText = stringValue(record.value(QLatin1String("kind")));
    const QJsonValue direct = record.value(QLatin1String("isDirectPathMatch"));
    if (!id || !filename || !directory || !openCount || !kindText || !direct.isBool())
        return std::nullopt;
    const auto kind = searchResultKindFromRawValue(*kindText);
    f.id = *id;
    f.filename = *filename;
    f.directory = *directory;
    f.openCount = *openCount;
    f.isDirectPathMatch = direct.toBool();
    // Absent in what earlier versions stored.
    f.isOtherNameMatch = record.value(QLatin1String("isOtherNameMatch")).toBool(false);

    std::optional<QString> actionText;
    if (!readOptional(record, QLatin1String("snippet"), f.snippet, stringValue) ||
        !readOptional(record, QLatin1String("databaseID"), f.databaseID, integerValue) ||
        !readOptional(record, QLatin1String("action"), actionText, stringValue) ||
        !readOptional(record, QLatin1String("actionURLString"), f.actionURLString, stringValue) ||
        !readOptional(record, QLatin1String("fallbackActionURLString"), f.fallbackActionURLString,
                      stringValue) ||
        !readOptional(record, QLatin1String("usageKey"), f.usageKey, stringValue) ||
        !readOptional(record, QLatin1String("relevanceScore"), f.relevanceScore, integerValue))
        return std::nullopt;
    malformed = false;
    if (!kind)
        return std::nullopt;
    f.kind = *kind;
    if (actionText)
        f.action = searchResultActionFromRawValue(*actionText);
    return SearchResult(std::move(f));
}

} // namespace orvex
