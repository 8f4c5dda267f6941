#pragma once

#include "platform/Clock.h"
#include "search/DatabaseTypes.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace orvex {

// One remembered activation in the recent list (newest first), stored as JSON in the defaults.
// Kind and action keep their stored texts, so records of kinds this build does not know survive.
struct RecentActivationRecord {
    qint64 id = 0;
    QString filename;
    QString directory;
    // The result's open count plus one at the time of activation.
    qint64 openCount = 0;
    std::optional<QString> snippet;
    std::optional<qint64> databaseID;
    QString kind;
    std::optional<QString> action;
    std::optional<QString> actionURLString;
    std::optional<QString> fallbackActionURLString;
    bool isDirectPathMatch = false;
    std::optional<QString> usageKey;
    Date activatedAt;

    // Apps, folders, shortcut files (files with a usage key), bookmarks and Notion pages.
    static bool shouldPersist(const SearchResult &result);
    // The record of an activation, or nothing when the result is not to be remembered.
    static std::optional<RecentActivationRecord> fromResult(const SearchResult &result, Date activatedAt);

    // The record as a row (not flagged recent), Notion pages in their canonical form; nothing for an
    // unknown kind.
    std::optional<SearchResult> searchResult() const;

    QJsonObject toJson() const;
    // Nothing when a required key is missing or a value has the wrong type.
    static std::optional<RecentActivationRecord> fromJson(const QJsonValue &value);

    bool operator==(const RecentActivationRecord &other) const = default;
};

using RecentActivationRecords = QList<RecentActivationRecord>;

// The stored form of the recent list: one JSON array. Reading fails as a whole when any record fails.
QByteArray encodeRecentActivationRecords(const RecentActivationRecords &records);
std::optional<RecentActivationRecords> decodeRecentActivationRecords(const QByteArray &data);

} // namespace orvex
