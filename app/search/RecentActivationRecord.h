#pragma once

#include "platform/Clock.h"
#include "search/DatabaseTypes.h"

#include <QString>

#include <optional>

namespace orvex {

// One remembered activation in the recent list (newest first), stored as JSON in the defaults.
struct RecentActivationRecord {
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
    Date activatedAt;
};

} // namespace orvex
