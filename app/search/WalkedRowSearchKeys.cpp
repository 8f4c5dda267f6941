#include "search/WalkedRowSearchKeys.h"

#include "platform/StringUtils.h"
#include "search/Ranking.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace orvex {

namespace {

// Set up as StringUtils::localizedCaseInsensitiveCompare sets up its collator, so that comparing two
// keys orders names exactly as that comparison does. Made per thread, with the locale of that moment.
struct FilenameCollator {
    QCollator collator;
    // The C locale compares without ICU, and its sort keys ignore the case setting.
    bool isCLocale;
};

const FilenameCollator &filenameCollator() {
    thread_local const FilenameCollator state = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return FilenameCollator{c, c.locale().language() == QLocale::C};
    }();
    return state;
}

qsizetype basenameLength(const QString &filename, const QStringList &sortedSuffixes) {
    return matchingForm(searchableBasename(filename, sortedSuffixes)).size();
}

} // namespace

std::optional<QCollatorSortKey> WalkedRowSearchKeys::filenameSortKey(const QString &filename) {
    const FilenameCollator &state = filenameCollator();
    if (state.isCLocale)
        return std::nullopt;
    return state.collator.sortKey(filename);
}

int WalkedRowSearchKeys::compareFilenames(const QString &a, const Key &aKey, const QString &b,
                                          const Key &bKey) {
    if (aKey.filenameSortKey && bKey.filenameSortKey)
        return aKey.filenameSortKey->compare(*bKey.filenameSortKey);
    // Without sort keys the collator compares case-folded code units, which for ASCII names are the
    // lowercased ones.
    if (!aKey.filenameSortKey && !bKey.filenameSortKey && aKey.asciiFilename && bKey.asciiFilename &&
        filenameCollator().isCLocale)
        return aKey.lowercasedFilename.compare(bKey.lowercasedFilename);
    return StringUtils::localizedCaseInsensitiveCompare(a, b);
}

WalkedRowSearchKeys::Key WalkedRowSearchKeys::keyOf(const SearchResult &row,
                                                    const QStringList &sortedSuffixes) {
    return keyOf(row, sortedSuffixes, matchingForm(row.filename()));
}

WalkedRowSearchKeys::Key WalkedRowSearchKeys::keyOf(const SearchResult &row,
                                                    const QStringList &sortedSuffixes,
                                                    QString lowercasedFilename) {
    return Key{.lowercasedFilename = std::move(lowercasedFilename),
               .basenameLength = basenameLength(row.filename(), sortedSuffixes),
               .filenameSortKey = filenameSortKey(row.filename()),
               .asciiFilename = std::all_of(row.filename().begin(), row.filename().end(),
                                            [](QChar c) { return c.unicode() < 0x80; }),
               .usageIdentifierHash = usageIdentifierHash(lowercasedUsageIdentifier(row))};
}

QString WalkedRowSearchKeys::lowercasedUsageIdentifier(const SearchResult &row) {
    return row.usageKey().value_or(row.fullPath()).toLower();
}

WalkedRowSearchKeys::WalkedRowSearchKeys(SearchResults rows, const QStringList &sortedSuffixes)
    : rows_(std::move(rows)), suffixes_(sortedSuffixes) {
    // The names first: the buffer must not move once views into it are made.
    std::vector<qsizetype> nameStarts;
    nameStarts.reserve(size_t(rows_.size()) + 1);
    for (const SearchResult &row : std::as_const(rows_)) {
        nameStarts.push_back(names_.size());
        names_ += matchingForm(row.filename());
    }
    nameStarts.push_back(names_.size());
    names_.squeeze();

    keys_.reserve(size_t(rows_.size()));
    pathHashes_.reserve(rows_.size());
    for (qsizetype i = 0; i < rows_.size(); ++i) {
        const SearchResult &row = rows_.at(i);
        // The lowercased path lives only while its row is keyed: an equal hash is checked against the
        // earlier row's path made again, which is rare.
        const QString path = row.fullPath().toLower();
        const qsizetype start = nameStarts[size_t(i)];
        Key key = keyOf(row, suffixes_,
                        QString::fromRawData(names_.constData() + start, nameStarts[size_t(i) + 1] - start));
        const size_t hash = qHash(path);
        for (auto it = pathHashes_.constFind(hash); it != pathHashes_.cend() && it.key() == hash; ++it) {
            if (rows_.at(it.value()).fullPath().toLower() == path) {
                key.repeatsEarlierPath = true;
                break;
            }
        }
        if (!key.repeatsEarlierPath)
            pathHashes_.insert(hash, i);
        keys_.push_back(std::move(key));
    }
}

bool WalkedRowSearchKeys::containsPath(const QString &lowercasedFullPath) const {
    const size_t hash = qHash(lowercasedFullPath);
    for (auto it = pathHashes_.constFind(hash); it != pathHashes_.cend() && it.key() == hash; ++it) {
        if (rows_.at(it.value()).fullPath().toLower() == lowercasedFullPath)
            return true;
    }
    return false;
}

} // namespace orvex
