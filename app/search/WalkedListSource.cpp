#include "search/WalkedListSource.h"

#include "search/LearnedOpenCounts.h"
#include "search/Ranking.h"
#include "search/SearchContext.h"

#include <QSet>
#include <QStringMatcher>

#include <algorithm>
#include <vector>

namespace orvex {

WalkedListSnapshot::WalkedListSnapshot(SearchResults rows, const QStringList &basenameSuffixes)
    : rows_(std::move(rows)), keys_(std::make_shared<const WalkedRowSearchKeys>(rows_, basenameSuffixes)) {}

std::shared_ptr<const WalkedRowSearchKeys>
WalkedListSnapshot::keys(const QStringList &basenameSuffixes) const {
    std::lock_guard guard(keysMutex_);
    if (keys_->suffixes() != basenameSuffixes)
        keys_ = std::make_shared<const WalkedRowSearchKeys>(rows_, basenameSuffixes);
    return keys_;
}

WalkedListSource::WalkedListSource(QString id, double timeToLive,
                                   std::function<QStringList()> basenameSuffixes)
    : id_(std::move(id)), timeToLive_(timeToLive), basenameSuffixes_(std::move(basenameSuffixes)) {
    Q_ASSERT(basenameSuffixes_);
}

std::shared_ptr<const SourceSnapshot> WalkedListSource::initialSnapshot() const {
    return std::make_shared<const WalkedListSnapshot>(SearchResults{}, QStringList{});
}

std::shared_ptr<const WalkedListSnapshot> WalkedListSource::snapshotOf(SearchResults rows) const {
    return std::make_shared<const WalkedListSnapshot>(std::move(rows), basenameSuffixes_());
}

std::shared_ptr<const SourceSnapshot> WalkedListSource::crawl(const std::atomic<bool> &cancelled) const {
    SearchResults rows = walk(cancelled);
    // A cancelled crawl is never installed: its keys would be made for nothing.
    if (cancelled.load())
        return initialSnapshot();
    return snapshotOf(std::move(rows));
}

SearchResults WalkedListSource::match(const SourceSnapshot &snapshot, const SearchContext &context) const {
    const auto &walked = dynamic_cast<const WalkedListSnapshot &>(snapshot);
    return matchRows(*walked.keys(context.basenameSuffixes()), skipsRepeatedPaths(), pinnedRows(context),
                     matchingForm(context.query()), context);
}

SearchResults WalkedListSource::matchRows(const WalkedRowSearchKeys &keys, bool skipRepeatedPaths,
                                          const SearchResults &pinned, const QString &matchingQuery,
                                          const SearchContext &context) {
    const QString &q = matchingQuery;
    const SearchResults &rows = keys.rows();

    // Pinned rows follow the list's rows; one whose path the list (or an earlier pinned row) has is dropped.
    std::vector<WalkedRowSearchKeys::Key> pinnedKeys;
    SearchResults pinnedRows;
    QSet<QString> pinnedPaths;
    for (const SearchResult &row : pinned) {
        const QString path = row.fullPath().toLower();
        if (pinnedPaths.contains(path) || keys.containsPath(path))
            continue;
        pinnedPaths.insert(path);
        pinnedRows.append(row);
        pinnedKeys.push_back(WalkedRowSearchKeys::keyOf(row, keys.suffixes()));
    }

    // The rows whose name holds the query, with their tier. The searchable basename is a prefix of the
    // lowercased name: the name test covers it, and its length tells equality and prefix.
    enum Tier { exact, prefix, other };
    struct Match {
        qsizetype order; // position among the list's rows, then the pinned rows
        Tier tier;
    };
    std::vector<Match> matches;
    qsizetype tierCounts[3] = {0, 0, 0};
    // One matcher for every row: QString::contains would build its search tables again for each name.
    // A single character is found faster by a plain scan.
    const QStringMatcher matcher(q);
    const auto contains = [&](const QString &name) {
        return q.size() == 1 ? name.contains(q.front()) : matcher.indexIn(name) >= 0;
    };
    const auto match = [&](qsizetype order, const WalkedRowSearchKeys::Key &key) {
        if (!contains(key.lowercasedFilename))
            return;
        Tier tier = other;
        if (key.lowercasedFilename.startsWith(q) && key.basenameLength >= q.size())
            tier = key.basenameLength == q.size() ? exact : prefix;
        matches.push_back({order, tier});
        ++tierCounts[tier];
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if ((i & 1023) == 0 && context.isSuperseded())
            return {};
        const WalkedRowSearchKeys::Key &key = keys.key(i);
        if (!skipRepeatedPaths || !key.repeatsEarlierPath)
            match(i, key);
    }
    for (qsizetype i = 0; i < pinnedRows.size(); ++i)
        match(rows.size() + i, pinnedKeys[size_t(i)]);

    // The tier comes first in the order, so once the better tiers fill the kept rows the worse ones can
    // be left out before their learned counts are looked up.
    int lastTier = other;
    for (int tier = exact, total = 0; tier <= other; ++tier) {
        total += int(tierCounts[tier]);
        if (total >= maxRows) {
            lastTier = tier;
            break;
        }
    }
    struct Candidate {
        qsizetype order;
        Tier tier;
        qint64 openCount;
        const SearchResult *row;
        const WalkedRowSearchKeys::Key *key;
    };
    const LearnedOpenCounts *learned = context.learnedOpenCounts();
    std::vector<Candidate> kept;
    for (const Match &m : matches) {
        if (m.tier > lastTier)
            continue;
        const bool pinnedRow = m.order >= rows.size();
        const SearchResult &row = pinnedRow ? pinnedRows.at(m.order - rows.size()) : rows.at(m.order);
        const WalkedRowSearchKeys::Key &key =
            pinnedRow ? pinnedKeys[size_t(m.order - rows.size())] : keys.key(m.order);
        qint64 count = row.openCount();
        if (row.kind() != SearchResultKind::action && !row.databaseID()) {
            // Only Notion rows are counted under more than one identifier.
            if (row.action() == SearchResultAction::openNotionPage)
                count = context.learnedOpenCount(row, row.openCount());
            else
                count = learned ? learned->countOfWalkedRow(row, key.usageIdentifierHash)
                                : std::max<qint64>(row.openCount(), 0);
        }
        kept.push_back({m.order, m.tier, count, &row, &key});
    }

    // Exact basenames, then prefixes, then the most opened, then by name; equal rows keep their order.
    // Only the first rows are wanted, so they are selected rather than the whole list sorted.
    const auto before = [](const Candidate &a, const Candidate &b) {
        if (a.tier != b.tier)
            return a.tier < b.tier;
        if (a.openCount != b.openCount)
            return a.openCount > b.openCount;
        if (const int c =
                WalkedRowSearchKeys::compareFilenames(a.row->filename(), *a.key, b.row->filename(), *b.key);
            c != 0)
            return c < 0;
        return a.order < b.order;
    };
    const size_t count = std::min<size_t>(kept.size(), size_t(maxRows));
    std::partial_sort(kept.begin(), kept.begin() + qsizetype(count), kept.end(), before);
    SearchResults result;
    result.reserve(qsizetype(count));
    for (size_t i = 0; i < count; ++i) {
        const Candidate &c = kept[i];
        result.append(c.openCount == c.row->openCount() ? *c.row : c.row->withOpenCount(c.openCount));
    }
    return result;
}

} // namespace orvex
