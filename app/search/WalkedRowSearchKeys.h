#pragma once

#include "search/DatabaseTypes.h"

#include <QCollatorSortKey>
#include <QMultiHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace orvex {

// The search keys of one walked list (applications, folders or shortcut files): each row's lowercased
// name, the length of its searchable basename and the collation key of its name, computed once per
// crawl so that a keystroke filters and orders tens of thousands of rows without lowercasing, stripping
// or collating any of them. Immutable: any number of searches read it at once.
class WalkedRowSearchKeys {
public:
    struct Key {
        // In a list's keys, a view into the list's one buffer of names (see names_).
        QString lowercasedFilename;
        // The searchable basename is always a prefix of the lowercased name, so its length stands for it.
        qsizetype basenameLength = 0;
        // Absent where the comparison itself is cheap (the C locale, whose sort keys ignore case).
        std::optional<QCollatorSortKey> filenameSortKey;
        // The name is ASCII: in the C locale its lowercased form orders it.
        bool asciiFilename = false;
        // The hash (usageIdentifierHash()) of what learned counts are stored under: the identifier itself
        // is made only for the rows whose hash has a learned count, instead of kept for every row.
        size_t usageIdentifierHash = 0;
        // An earlier row has the same lowercased full path.
        bool repeatsEarlierPath = false;
    };

    // Keeps a shallow copy of `rows`, which identifies the list the keys belong to. `otherNames`: each
    // row's names besides its title, in the rows' order (empty: no row has any).
    WalkedRowSearchKeys(SearchResults rows, const QStringList &sortedSuffixes,
                        const QList<QStringList> &otherNames = {});
    // The keys' names are views into names_.
    WalkedRowSearchKeys(const WalkedRowSearchKeys &) = delete;
    WalkedRowSearchKeys &operator=(const WalkedRowSearchKeys &) = delete;

    const SearchResults &rows() const { return rows_; }
    const Key &key(qsizetype index) const { return keys_[size_t(index)]; }
    // The row's other names in their matching form, each on a line of its own; empty when it has none.
    QStringView otherNames(qsizetype index) const {
        if (otherNameRanges_.empty())
            return {};
        const auto [start, length] = otherNameRanges_[size_t(index)];
        return QStringView(otherNames_).mid(start, length);
    }
    // The ranking settings' suffixes the basename lengths were made with.
    const QStringList &suffixes() const { return suffixes_; }

    // Whether a row of the list has this lowercased full path.
    bool containsPath(const QString &lowercasedFullPath) const;

    // The keys of a row outside any list (pinned folders, one-off lists).
    static Key keyOf(const SearchResult &row, const QStringList &sortedSuffixes);
    // What the row's learned count is stored under: the usage key, else the full path; lowercased.
    static QString lowercasedUsageIdentifier(const SearchResult &row);
    // The same for every process and run, unlike qHash's default seed.
    static size_t usageIdentifierHash(const QString &lowercasedIdentifier) {
        return qHash(lowercasedIdentifier, 0);
    }
    // The collation key ordering names as StringUtils::localizedCaseInsensitiveCompare does, when the
    // locale has one that does.
    static std::optional<QCollatorSortKey> filenameSortKey(const QString &filename);
    // Orders two rows' names as StringUtils::localizedCaseInsensitiveCompare does, through their keys.
    static int compareFilenames(const QString &a, const Key &aKey, const QString &b, const Key &bKey);

private:
    static Key keyOf(const SearchResult &row, const QStringList &sortedSuffixes, QString lowercasedFilename);

    SearchResults rows_;
    // Every row's lowercased name, one after another: a keystroke reads them in one sweep instead of
    // visiting tens of thousands of separate strings, and the rows hold no string of their own.
    QString names_;
    // The same for the rows' other names: otherNameRanges_ holds each row's start and length in
    // otherNames_, and is empty when no row has any (folders, shortcut files).
    QString otherNames_;
    std::vector<std::pair<qsizetype, qsizetype>> otherNameRanges_;
    std::vector<Key> keys_;
    QStringList suffixes_;
    // Hash of each row's lowercased full path to its index.
    QMultiHash<size_t, qsizetype> pathHashes_;
};

} // namespace orvex
