#pragma once

#include "DatabaseTypes.h"

#include "platform/UserDefaults.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace orvex {

// One user rule of the ranking settings: results whose file name ends with `suffix` get `boost` added
// to their relevance score.
struct ExtensionBoostRule {
    // Identity of the row while the user edits the list.
    QUuid id;
    // After normalisation lowercase and starting with ".".
    QString suffix;
    // After normalisation within the store's limits.
    qint64 boost = 0;

    bool operator==(const ExtensionBoostRule &other) const = default;
};

using ExtensionBoostRules = QList<ExtensionBoostRule>;

// The loaded ranking settings in the forms the scorer and the query caches need.
class SearchRankingPreferences {
public:
    // Takes rules that are already normalised; no rules still strip the fixed shortcut endings.
    explicit SearchRankingPreferences(ExtensionBoostRules extensionBoostRules = {});

    // The rules in the user's order.
    const ExtensionBoostRules &extensionBoostRules() const { return extensionBoostRules_; }
    // The rules' suffixes and the fixed shortcut endings, without repeats, longest first.
    const QStringList &sortedSuffixesForBasenameStripping() const {
        return sortedSuffixesForBasenameStripping_;
    }
    // The rules in matching order: longest suffix first.
    const ExtensionBoostRules &longestMatchFirstBoostRules() const { return longestMatchFirstBoostRules_; }

    // Identity of the rule set inside every query-cache key: Base64 of the compact JSON of the
    // longest-first (suffix, boost) pairs; the rules' ids and user order take no part.
    QString cacheKey() const;

    // The boost of the first longest-first rule whose suffix ends the file name; 0 for action rows and
    // when no rule matches.
    qint64 extensionBoost(const SearchResult &result) const;
    // The same for a file name the caller has already lowercased.
    qint64 extensionBoostForLowercasedFilename(const QString &lowercasedFilename) const;

    bool operator==(const SearchRankingPreferences &other) const = default;

private:
    ExtensionBoostRules extensionBoostRules_;
    QStringList sortedSuffixesForBasenameStripping_;
    ExtensionBoostRules longestMatchFirstBoostRules_;
};

// The extension boost rules in the defaults database: one JSON array (a data value) of objects with the
// keys "id", "suffix" and "boost".
class SearchRankingSettingsStore {
public:
    // Makes the seven default rules, each with a fresh id.
    explicit SearchRankingSettingsStore(UserDefaults &defaults);
    static const SearchRankingSettingsStore &standard();

    // Reads, decodes, normalises and orders the stored rules afresh; the defaults when nothing is stored
    // or the stored data cannot be decoded. Never fails.
    SearchRankingPreferences load() const;
    // Normalises and writes the list. Posts nothing.
    void save(const ExtensionBoostRules &extensionBoostRules) const;

    // Trimmed, lowercased, without spaces and leading "*", with a leading "."; nothing when no ending
    // remains.
    static std::optional<QString> normalizedSuffix(const QString &suffix);
    // Rules without an ending dropped, boosts clamped to the store's limits, and a later rule with the
    // same normalised suffix replacing the earlier one in its position.
    ExtensionBoostRules normalizedExtensionBoostRules(const ExtensionBoostRules &rules) const;
    // The message that blocks saving, or nothing.
    static std::optional<QString> validationMessage(const ExtensionBoostRules &rules);

    UserDefaults *defaults;
    QString extensionBoostRulesKey = QStringLiteral("launcherExtensionBoostRules");
    qint64 minimumBoost = -200;
    qint64 maximumBoost = 500;
    ExtensionBoostRules defaultExtensionBoostRules;
};

} // namespace orvex
