// The search road keeps crawl-time keys for the walked lists, merges pinned folders without rebuilding
// the folder list, and asks SQLite for snippets of kept full-text rows only. These tests compare its
// answers on a generated home with straightforward versions of the same steps.
#include "fixtures/ManagerFixture.h"
#include "fixtures/SyntheticHome.h"
#include "platform/StringUtils.h"
#include "search/AppsSource.h"
#include "search/Database.h"
#include "search/FoldersSource.h"
#include "search/LauncherLogic.h"
#include "search/Ranking.h"
#include "search/SearchRankingSettings.h"
#include "search/ShortcutFilesSource.h"
#include "search/WalkedRowSearchKeys.h"
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <thread>

namespace orvex {
namespace {

using test::SyntheticHome;
using test::SyntheticHomeSize;

// ---- Reference versions: the steps as written before they were made fast ----

SearchResults referenceFilterAndSortPathResults(DatabaseManager &manager, const SearchResults &results,
                                                const QString &q,
                                                const SearchRankingPreferences &preferences) {
    const QStringList &suffixes = preferences.sortedSuffixesForBasenameStripping();
    struct Candidate {
        SearchResult row;
        QString basename;
    };
    QList<Candidate> kept;
    for (const SearchResult &r : results) {
        QString basename = searchableBasename(r.filename(), suffixes);
        if (!r.filename().toLower().contains(q) && !basename.contains(q))
            continue;
        SearchResult row = r;
        if (row.kind() != SearchResultKind::action && !row.databaseID()) {
            const qint64 count = manager.learnedOpenCount(row, row.openCount());
            if (count != row.openCount())
                row = row.withOpenCount(count);
        }
        kept.append({std::move(row), std::move(basename)});
    }
    std::stable_sort(kept.begin(), kept.end(), [&q](const Candidate &a, const Candidate &b) {
        if ((a.basename == q) != (b.basename == q))
            return a.basename == q;
        if (a.basename.startsWith(q) != b.basename.startsWith(q))
            return a.basename.startsWith(q);
        if (a.row.openCount() != b.row.openCount())
            return a.row.openCount() > b.row.openCount();
        return StringUtils::localizedCaseInsensitiveCompare(a.row.filename(), b.row.filename()) < 0;
    });
    SearchResults rows;
    for (qsizetype i = 0; i < std::min<qsizetype>(kept.size(), 80); ++i)
        rows.append(kept.at(i).row);
    return rows;
}

// The index's two statements with snippet() selected for every matching file, merged as before.
SearchResults referenceSearchIndexedFiles(DatabaseManager &manager, sqlite3 *db, const QString &query) {
    static const char *const like =
        "SELECT f.id, f.filename, f.directory, f.open_count, NULL as snippet,"
        " (CASE WHEN f.filename LIKE ? THEN 1 ELSE 0 END) as exact_name_match FROM files f"
        " WHERE f.filename LIKE ? OR f.id IN (SELECT file_id FROM file_tags WHERE tag LIKE ?) GROUP BY f.id"
        " ORDER BY exact_name_match DESC, (CASE WHEN f.filename LIKE ? THEN f.open_count ELSE 0 END) DESC,"
        " f.open_count DESC, f.indexed_at DESC LIMIT 250";
    static const char *const fts =
        "SELECT f.id, f.filename, f.directory, f.open_count,"
        " snippet(files_fts, -1, '<mark>', '</mark>', '...', 24) as snippet,"
        " (CASE WHEN f.filename LIKE ? THEN 1 ELSE 0 END) as exact_name_match FROM files_fts"
        " JOIN files f ON f.id = files_fts.rowid WHERE files_fts MATCH ?"
        " ORDER BY exact_name_match DESC, files_fts.rank ASC, f.open_count DESC, f.indexed_at DESC LIMIT 250";
    struct Row {
        qint64 id;
        QString filename;
        QString directory;
        qint64 openCount;
        std::optional<QString> snippet;
    };
    QList<Row> ordered;
    QHash<qint64, qsizetype> positions;
    const QByteArray pattern = (QLatin1Char('%') + query.toLower() + QLatin1Char('%')).toUtf8();
    const auto run = [&](const char *sql, const QList<QByteArray> &bindings, bool fullText) {
        sqlite3_stmt *statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK);
        for (int i = 0; i < bindings.size(); ++i)
            sqlite3_bind_text(statement, i + 1, bindings.at(i).constData(), int(bindings.at(i).size()),
                              SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto text = [&](int column) -> std::optional<QString> {
                if (sqlite3_column_type(statement, column) != SQLITE_TEXT)
                    return std::nullopt;
                return QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                    sqlite3_column_bytes(statement, column));
            };
            Row row{sqlite3_column_int64(statement, 0), text(1).value_or(QString()),
                    text(2).value_or(QString()), sqlite3_column_int64(statement, 3), text(4)};
            const auto it = positions.constFind(row.id);
            if (it == positions.cend()) {
                positions.insert(row.id, ordered.size());
                ordered.append(row);
            } else if (!fullText || !ordered.at(*it).snippet) {
                ordered[*it] = row;
            }
        }
        sqlite3_finalize(statement);
    };
    run(like, {pattern, pattern, pattern, pattern}, false);
    if (const auto ftsQuery = DatabaseManager::indexedFTSQuery(query))
        run(fts, {pattern, ftsQuery->toUtf8()}, true);

    SearchResults results;
    for (const Row &row : ordered) {
        const SearchResult result({
            .id = row.id,
            .filename = row.filename,
            .directory = row.directory,
            .openCount = row.openCount,
            .snippet = row.snippet,
            .databaseID = row.id,
            .kind =
                row.filename.endsWith(QLatin1String(".app")) ? SearchResultKind::app : SearchResultKind::file,
            .usageKey = manager.cachedShortcutUsageKey(joinedPath(row.directory, row.filename), row.filename),
        });
        const qint64 count = std::max(row.openCount, manager.learnedOpenCount(result, row.openCount));
        results.append(count == row.openCount ? result : result.withOpenCount(count));
    }
    return results;
}

// The crawl settings of the manager, for the reference's own walks.
const QSet<QString> excludedFolderNames = {
    QStringLiteral("library"), QStringLiteral(".git"),         QStringLiteral(".svn"),
    QStringLiteral(".hg"),     QStringLiteral("node_modules"), QStringLiteral(".next"),
    QStringLiteral(".turbo"),  QStringLiteral(".cache"),       QStringLiteral(".pnpm-store"),
    QStringLiteral("dist"),    QStringLiteral("build"),        QStringLiteral("target"),
    QStringLiteral("coverage")};
constexpr int folderSearchMaxDepth = 5;
constexpr int shortcutSearchMaxDepth = 6;

// The whole road as before, over the reference steps and the manager's other sources.
SearchResults referenceSearch(DatabaseManager &manager, sqlite3 *db, const SearchResults &shortcuts,
                              const SearchResults &apps, const SearchResults &folders, const QString &query,
                              const SearchRankingPreferences &preferences) {
    const QString trimmed = StringUtils::trimmedWhitespace(query);
    const QString q = trimmed.toLower();
    SearchResults gathered;
    gathered += manager.matchSource(QStringLiteral("calculator"), trimmed);
    gathered += manager.matchSource(QStringLiteral("translation"), trimmed);
    gathered += manager.searchActionResults(trimmed);
    gathered += manager.searchDirectPathResults(trimmed);
    gathered += manager.searchRecentActivationResults(trimmed, preferences);
    gathered += referenceSearchIndexedFiles(manager, db, trimmed);
    gathered += referenceFilterAndSortPathResults(manager, shortcuts, q, preferences);
    gathered += referenceFilterAndSortPathResults(manager, apps, q, preferences);
    gathered += referenceFilterAndSortPathResults(
        manager, DatabaseManager::mergedUniqueByPath(folders + manager.pinnedFolderResults()), q,
        preferences);
    gathered += manager.matchSource(QStringLiteral("notion"), trimmed);
    SearchResults rows = deduplicatedSearchResults(gathered);
    for (SearchResult &row : rows)
        row = row.withRelevanceScore(relevanceScore(row, q, preferences));
    sortSearchResultsForDisplay(rows);
    return rows.mid(0, 20);
}

std::string describe(const SearchResults &rows) {
    QStringList lines;
    for (const SearchResult &r : rows) {
        const SearchResultFields &f = r.fields();
        lines.append(QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9|%10")
                         .arg(f.id)
                         .arg(f.filename, f.directory)
                         .arg(f.openCount)
                         .arg(f.snippet.value_or(QStringLiteral("<none>")))
                         .arg(f.databaseID.value_or(0))
                         .arg(rawValue(f.kind), f.usageKey.value_or(QStringLiteral("<none>")))
                         .arg(f.isDirectPathMatch)
                         .arg(f.relevanceScore.value_or(-1)));
    }
    return lines.join(QLatin1Char('\n')).toStdString();
}

// Prefixes of the generator's frequent words and the shapes people type: digits, two words, accents,
// punctuation (LIKE only), wildcards, a tag, a folder name.
QStringList queries() {
    QStringList list;
    for (const QString &word : SyntheticHome::frequentWords().mid(0, 2)) {
        for (int length = 1; length <= word.size(); ++length)
            list.append(word.left(length));
    }
    list << QStringLiteral("2021") << QStringLiteral("notes final") << QStringLiteral("Café")
         << QStringLiteral("zürich") << QStringLiteral("q3 20") << QStringLiteral("img_")
         << QStringLiteral(".pdf") << QStringLiteral("%") << QStringLiteral("finance")
         << QStringLiteral("my drive") << QStringLiteral("  Documents ") << QStringLiteral("x");
    return list;
}

struct GeneratedHome {
    QString home;
    sqlite3 *db = nullptr;
    ~GeneratedHome() { sqlite3_close_v2(db); }
};

// The small home under the test's temporary folder.
void generateSmallHome(GeneratedHome &generated) {
    QString error;
    const auto summary = SyntheticHome::generate(test::homePath() + QStringLiteral("/synthetic"),
                                                 SyntheticHomeSize::small(), 7, &error);
    ASSERT_TRUE(summary.has_value()) << error.toStdString();
    generated.home = summary->homePath;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(SyntheticHome::databasePath(generated.home)).constData(),
                              &generated.db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
}

// One generated home for the index and the whole road; regenerating costs seconds per test.
TEST(SearchRoadEquivalence, GeneratedHomeAnswersAsTheStraightforwardRoad) {
    GeneratedHome generated;
    generateSmallHome(generated);
    if (HasFatalFailure())
        return;
    test::ManagerFixture fixture;
    DatabaseManagerConfiguration c = fixture.configuration();
    c.homePath = generated.home;
    c.databasePath = SyntheticHome::databasePath(generated.home);
    c.appSearchRoots = SyntheticHome::appSearchRoots(generated.home);
    c.folderSearchRoots = {generated.home};
    c.shortcutSearchRoots = SyntheticHome::shortcutSearchRoots(generated.home);
    // One pinned folder that the walk finds too, one it never reaches (below an excluded folder).
    QString hiddenPinned;
    QDirIterator it(generated.home, {QStringLiteral("node_modules")}, QDir::Dirs,
                    QDirIterator::Subdirectories);
    if (it.hasNext())
        hiddenPinned = it.next();
    c.pinnedFolderPaths = {generated.home + QStringLiteral("/Documents"), hiddenPinned};
    auto manager = fixture.makeManager(c);
    manager->refreshSourceCachesNow();

    const SearchResults apps = discoverAppBundles(c.appSearchRoots);
    const SearchResults folders =
        discoverFolders(c.folderSearchRoots, folderSearchMaxDepth, excludedFolderNames);
    const SearchResults shortcuts = discoverShortcuts(c.shortcutSearchRoots, shortcutSearchMaxDepth,
                                                      excludedFolderNames, manager->shortcutFileExtensions());
    ASSERT_GT(folders.size(), 1000);
    ASSERT_GT(shortcuts.size(), 100);
    SearchRankingSettingsStore store(*fixture.defaults);
    // Learned counts and recent rows, for walked rows of every kind and for index rows.
    for (const SearchResults *list : {&apps, &folders, &shortcuts}) {
        for (qsizetype i = 0; i < list->size(); i += 97)
            manager->recordActivation(list->at(i));
    }
    for (const SearchResult &row : manager->searchIndexedFiles(QStringLiteral("document")).mid(0, 30))
        manager->recordActivation(row);

    const auto compareAll = [&](const char *when) {
        const SearchRankingPreferences preferences = store.load();
        for (const QString &query : queries()) {
            SCOPED_TRACE(std::string(when) + ", query \"" + query.toStdString() + "\"");
            const QString trimmed = StringUtils::trimmedWhitespace(query);
            EXPECT_EQ(describe(manager->searchIndexedFiles(trimmed)),
                      describe(referenceSearchIndexedFiles(*manager, generated.db, trimmed)));
            const QString q = trimmed.toLower();
            for (const SearchResults *list : {&shortcuts, &apps, &folders})
                EXPECT_EQ(describe(manager->filterAndSortPathResults(*list, q, preferences)),
                          describe(referenceFilterAndSortPathResults(*manager, *list, q, preferences)));
            EXPECT_EQ(describe(manager->searchFresh(query)),
                      describe(referenceSearch(*manager, generated.db, shortcuts, apps, folders, query,
                                               preferences)));
        }
    };
    compareAll("default ranking rules");
    // Other suffixes strip other basenames: the keys made at crawl time follow the new list.
    store.save({{.id = QUuid::createUuid(), .suffix = QStringLiteral(" final.pdf"), .boost = 40},
                {.id = QUuid::createUuid(), .suffix = QStringLiteral("ment"), .boost = -10}});
    compareAll("changed ranking rules");
}

// Rows a crawl never makes: repeated paths, names that are only a suffix, two extensions, letters
// whose lowercase form differs in length, and an identical pair the sort must keep in order.
TEST(SearchRoadEquivalence, OddWalkedRowsFilterAndSortAsBefore) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    const auto row = [](const QString &directory, const QString &name, qint64 openCount = 0) {
        return SearchResult({.id = stableNegativeID(directory + name),
                             .filename = name,
                             .directory = directory,
                             .openCount = openCount,
                             .kind = SearchResultKind::file});
    };
    const SearchResults rows = {
        row("/a", "Report.pdf"),       row("/A", "report.PDF"),      row("/b", ".url"),
        row("/b", "report.tar.gz", 3), row("/c", "İstanbul report"), row("/c", "REPORT"),
        row("/d", "report"),           row("/d", "report"),          row("/e", "Ärger report.url"),
        row("/e", "rêport"),           row("", "report.webloc", 2),  row("/f/", "x.report"),
    };
    const SearchRankingPreferences preferences = SearchRankingSettingsStore(*fixture.defaults).load();
    for (const QString &q : {QStringLiteral("report"), QStringLiteral("r"), QStringLiteral(".url"),
                             QStringLiteral("rep"), QStringLiteral("i̇"), QStringLiteral("t.g")}) {
        SCOPED_TRACE(q.toStdString());
        EXPECT_EQ(describe(manager->filterAndSortPathResults(rows, q, preferences)),
                  describe(referenceFilterAndSortPathResults(*manager, rows, q, preferences)));
    }
}

// In the C locale (the tests') and in a real one, whose collator hands out sort keys.
TEST(SearchRoadEquivalence, CollationKeysOrderNamesAsTheLocalizedComparison) {
    const QStringList names = {"apple",    "Apple",    "APPLE",  "äpple",      "Banana", "banana2",
                               "banana10", "_notes",   "Notes",  "notes",      "Ölfeld", "zebra",
                               "Zürich",   "東京",     "",       "2021",       "10",     "a b",
                               "a-b",      "ab",       "ǅemal",  "Report.pdf", "report", "REPORT",
                               "İstanbul", "istanbul", "straße", "STRASSE"};
    const auto check = [&names] {
        const auto keyOf = [](const QString &name) {
            return WalkedRowSearchKeys::keyOf(SearchResult({.filename = name}), {});
        };
        for (const QString &a : names) {
            const WalkedRowSearchKeys::Key aKey = keyOf(a);
            for (const QString &b : names) {
                const WalkedRowSearchKeys::Key bKey = keyOf(b);
                const int expected = StringUtils::localizedCaseInsensitiveCompare(a, b);
                const int actual = WalkedRowSearchKeys::compareFilenames(a, aKey, b, bKey);
                EXPECT_EQ((expected > 0) - (expected < 0), (actual > 0) - (actual < 0))
                    << a.toStdString() << " vs " << b.toStdString() << " in "
                    << QLocale().name().toStdString();
            }
        }
    };
    check();
    // Both collators are made per thread with the locale of the moment.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::thread german(check);
    german.join();
    QLocale::setDefault(QLocale::c());
}

} // namespace
} // namespace orvex
