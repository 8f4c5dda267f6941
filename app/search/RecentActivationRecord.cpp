#include "search/RecentActivationRecord.h"

#include "search/JsonFields.h"
#include "search/Ranking.h"
#include "search/StoredRowNormalization.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace orvex {

using namespace JsonFields;

bool RecentActivationRecord::shouldPersist(const SearchResult &result) {
    switch (result.kind()) {
    case SearchResultKind::app:
    case SearchResultKind::folder:
        return true;
    case SearchResultKind::file:
        return result.usageKey().has_value();
    case SearchResultKind::action:
        // The translation placeholders (fixed scores) belong to one typed command; remembered, they
        // would top every later query that shares a letter with their address.
        return (result.action() == SearchResultAction::openBrowserFavorite ||
                result.action() == SearchResultAction::openNotionPage) &&
               !fixedScore(result);
    }
    return false;
}

std::optional<RecentActivationRecord> RecentActivationRecord::fromResult(const SearchResult &result,
                                                                         Date activatedAt) {
    if (!shouldPersist(result))
        return std::nullopt;
    return RecentActivationRecord{
        .id = result.id(),
        .filename = result.filename(),
        .directory = result.directory(),
        .openCount = result.openCount(),
        .snippet = result.snippet(),
        .databaseID = result.databaseID(),
        .kind = rawValue(result.kind()),
        .action = result.action() ? std::optional(rawValue(*result.action())) : std::nullopt,
        .actionURLString = result.actionURLString(),
        .fallbackActionURLString = result.fallbackActionURLString(),
        .isDirectPathMatch = result.isDirectPathMatch(),
        .usageKey = result.usageKey(),
        .activatedAt = activatedAt,
    };
}

std::optional<SearchResult> RecentActivationRecord::searchResult() const {
    const std::optional<SearchResultKind> parsedKind = searchResultKindFromRawValue(kind);
    if (!parsedKind)
        return std::nullopt;
    return normalizedStoredRow(SearchResult({
        .id = id,
        .filename = filename,
        .directory = directory,
        .openCount = openCount,
        .snippet = snippet,
        .databaseID = databaseID,
        .kind = *parsedKind,
        .action = action ? searchResultActionFromRawValue(*action) : std::nullopt,
        .actionURLString = actionURLString,
        .fallbackActionURLString = fallbackActionURLString,
        .isDirectPathMatch = isDirectPathMatch,
        .usageKey = usageKey,
    }));
}

QJsonObject RecentActivationRecord::toJson() const {
    QJsonObject o;
    o.insert(QLatin1String("id"), id);
    o.insert(QLatin1String("filename"), filename);
    o.insert(QLatin1String("directory"), directory);
    o.insert(QLatin1String("openCount"), openCount);
    insertOptional(o, QLatin1String("snippet"), snippet);
    insertOptional(o, QLatin1String("databaseID"), databaseID);
    o.insert(QLatin1String("kind"), kind);
    insertOptional(o, QLatin1String("action"), action);
    insertOptional(o, QLatin1String("actionURLString"), actionURLString);
    insertOptional(o, QLatin1String("fallbackActionURLString"), fallbackActionURLString);
    o.insert(QLatin1String("isDirectPathMatch"), isDirectPathMatch);
    insertOptional(o, QLatin1String("usageKey"), usageKey);
    o.insert(QLatin1String("activatedAt"), activatedAt.secondsSince2001());
    return o;
}

std::optional<RecentActivationRecord> RecentActivationRecord::fromJson(const QJsonValue &value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const auto id = integerValue(o.value(QLatin1String("id")));
    const auto filename = stringValue(o.value(QLatin1String("filename")));
    const auto directory = stringValue(o.value(QLatin1String("directory")));
    const auto openCount = integerValue(o.value(QLatin1String("openCount")));
    const auto kind = stringValue(o.value(QLatin1String("kind")));
    const QJsonValue direct = o.value(QLatin1String("isDirectPathMatch"));
    const QJsonValue activatedAt = o.value(QLatin1String("activatedAt"));
    if (!id || !filename || !directory || !openCount || !kind || !direct.isBool() || !activatedAt.isDouble())
        return std::nullopt;

    RecentActivationRecord record{.id = *id,
                                  .filename = *filename,
                                  .directory = *directory,
                                  .openCount = *openCount,
                                  .kind = *kind,
                                  .isDirectPathMatch = direct.toBool(),
                                  .activatedAt = Date(activatedAt.toDouble())};
    if (!readOptional(o, QLatin1String("snippet"), record.snippet, stringValue) ||
        !readOptional(o, QLatin1String("databaseID"), record.databaseID, integerValue) ||
        !readOptional(o, QLatin1String("action"), record.action, stringValue) ||
        !readOptional(o, QLatin1String("actionURLString"), record.actionURLString, stringValue) ||
        !readOptional(o, QLatin1String("fallbackActionURLString"), record.fallbackActionURLString,
                      stringValue) ||
        !readOptional(o, QLatin1String("usageKey"), record.usageKey, stringValue))
        return std::nullopt;
    return record;
}

QByteArray encodeRecentActivationRecords(const RecentActivationRecords &records) {
    QJsonArray array;
    for (const RecentActivationRecord &record : records)
        array.append(record.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<RecentActivationRecords> decodeRecentActivationRecords(const QByteArray &data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    RecentActivationRecords records;
    records.reserve(array.size());
    for (const QJsonValue &value : array) {
        auto record = RecentActivationRecord::fromJson(value);
        if (!record)
            return std::nullopt;
        records.append(std::move(*record));
    }
    return records;
}

} // namespace orvex
