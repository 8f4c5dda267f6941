#include "fixtures/IndexDatabaseFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <sqlite3.h>

#include <QScopeGuard>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace orvex {
namespace {

using test::IndexedFile;

// "id" per row, with "[snippet]" for rows that carry one; blank-separated.
std::string describe(const SearchResults &results) {
    QStringList parts;
    for (const SearchResult &r : results)
        parts.append(QString::number(r.id()) +
                     (r.snippet() ? QLatin1Char('[') + *r.snippet() + QLatin1Char(']') : QString()));
    return parts.join(QLatin1Char(' ')).toStdString();
}

// A second connection to the index, as the outside indexer would hold it.
class IndexerConnection {
public:
    IndexerConnection() {
        EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(test::indexDatabasePath()).constData(), &db_,
                                  SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
    }
    ~IndexerConnection() { sqlite3_close_v2(db_); }
    void execute(const char *sql) {
        EXPECT_EQ(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    }

private:
    sqlite3 *db_ = nullptr;
};

class DatabaseIndexTest : public ::testing::Test, public test::IndexDatabaseFixture {};

// A phrase of up to 64 words is searched in full text as it is; a longer paste by its first 16 words,
// however many follow, so that the statement stays bounded and still finds the text's document.
TEST(IndexedFTSQuery, AsksFullTextForAtMostSixtyFourWordsAndAPasteByItsHead) {
    const auto words = [](int count, const QString &gap) {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list.append(QStringLiteral("word%1").arg(i));
        return list.join(gap);
    };
    const auto phrase = [](const QString &text) { return QLatin1Char('"') + text + QStringLiteral("\"*"); };
    const QString gap = QStringLiteral(" \t ");
    EXPECT_EQ(DatabaseManager::indexedFTSQuery(words(64, gap)), phrase(words(64, gap)));
    EXPECT_EQ(DatabaseManager::indexedFTSQuery(words(65, gap)), phrase(words(16, gap)));
    EXPECT_EQ(DatabaseManager::indexedFTSQuery(words(5000, gap)), phrase(words(16, gap)));
    // Past the first words, a character the phrase could not hold still refuses it, as in a shorter one.
    EXPECT_FALSE(DatabaseManager::indexedFTSQuery(words(100, QStringLiteral(" ")) + QStringLiteral(" a.b")));
    // Characters beyond the basic plane count as one each.
    const QString wide = QString::fromUtf16(u"\U00020000");
    QStringList wideWords;
    for (int i = 0; i < 70; ++i)
        wideWords.append(wide + QString::number(i));
    EXPECT_EQ(DatabaseManager::indexedFTSQuery(wideWords.join(QLatin1Char(' '))),
              phrase(wideWords.mid(0, 16).join(QLatin1Char(' '))));
}

// Pasting a long run of a document's words finds the document, also past 64 words and past the length
// any name could have.
TEST_F(DatabaseIndexTest, APastedRunOfADocumentsWordsFindsIt) {
    QStringList text;
    for (int i = 0; i < 300; ++i)
        text.append(QStringLiteral("w%1%2").arg(QChar(u'a' + i % 26)).arg(i));
    createIndex({{.id = 1, .filename = QStringLiteral("minutes.txt"), .content = text.join(QLatin1Char(' '))},
                 {.id = 2,
                  .filename = QStringLiteral("other.txt"),
                  .content = text.mid(0, 64).join(QLatin1Char(' ')) + QStringLiteral(" unrelated words")}});
    auto manager = makeManager();
    for (const int count : {63, 64, 65, 70, 100, 250}) {
        const QString pasted = text.mid(20, count).join(QLatin1Char(' '));
        const SearchResults rows = manager->searchFresh(pasted);
        EXPECT_TRUE(
            std::any_of(rows.begin(), rows.end(), [](const SearchResult &r) { return r.databaseID() == 1; }))
            << count << " words, " << pasted.size() << " characters";
    }
}

TEST(IndexedFTSQuery, QuotesPlainTextAndRefusesEverythingElse) {
    const struct {
        const char16_t *query;
        const char16_t *expected; // null: no full-text query
    } cases[] = {
        {u"budget review", u"\"budget review\"*"},
        {u"  report \n", u"\"report\"*"},
        {u"caf\u00e9 42", u"\"caf\u00e9 42\"*"},
        {u"e\u0301t\u00e9", u"\"e\u0301t\u00e9\"*"}, // combining marks count as letters
        {u"\u65e5\u672c\u8a9e", u"\"\u65e5\u672c\u8a9e\"*"},
        {u"a\tb\u00a0c", u"\"a\tb\u00a0c\"*"}, // tab and no-break space are blanks
        {u"", nullptr},
        {u" \t\n", nullptr},
        {u"a.b", nullptr},
        {u"a-b", nullptr},
        {u"say \"hi\"", nullptr},
        {u"50%", nullptr},
        {u"a\nb", nullptr}, // an inner line break is not a blank
        {u"\U0001F600", nullptr},
    };
    for (const auto &c : cases) {
        const auto fts = DatabaseManager::indexedFTSQuery(QString::fromUtf16(c.query));
        const std::string label = QString::fromUtf16(c.query).toStdString();
        if (c.expected)
            EXPECT_EQ(fts, QString::fromUtf16(c.expected)) << label;
        else
            EXPECT_FALSE(fts) << label;
    }
}

TEST_F(DatabaseIndexTest, MergesNameAndFullTextMatches) {
    createIndex({
        {.id = 1,
         .filename = QStringLiteral("Alpha Plan.txt"),
         .directory = QStringLiteral("/d"),
         .openCount = 5},
        {.id = 2,
         .filename = QStringLiteral("alpha plan old.txt"),
         .directory = QStringLiteral("/d"),
         .openCount = 1,
         .content = QStringLiteral("the alpha plan as it was")},
        // A tag match only, however often opened and however new, follows the name matches.
        {.id = 3,
         .filename = QStringLiteral("misc.txt"),
         .directory = QStringLiteral("/d"),
         .openCount = 100,
         .indexedAt = 99,
         .tags = {QStringLiteral("Alpha Plan B")}},
        {.id = 4,
         .filename = QStringLiteral("c.txt"),
         .directory = QStringLiteral("/d"),
         .content = QStringLiteral("an alpha planner")},
        {.id = 5, .filename = QStringLiteral("unrelated.txt"), .content = QStringLiteral("alpha beta")},
    });
    auto manager = makeManager();

    // Two words run both statements; the last word matches as a prefix in full text.
    const SearchResults results = manager->searchIndexedFiles(QStringLiteral("alpha plan"));
    EXPECT_EQ(describe(results),
              "1 2[the <mark>alpha plan</mark> as it was] 3 4[an <mark>alpha planner</mark>]");

    // Punctuation runs the name and tag statement only: no full-text rows, no snippets.
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan."))), "1");
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("n old."))), "2");
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("alpha-plan"))), "");
}

TEST_F(DatabaseIndexTest, MapsColumnsToRows) {
    createIndex({
        {.id = 10,
         .filename = QStringLiteral("Tool.app"),
         .directory = QStringLiteral("/opt/apps"),
         .openCount = 3},
        {.id = 11, .filename = QStringLiteral("Tool.APP"), .directory = QStringLiteral("/opt/apps/")},
    });
    execute(QStringLiteral(
        "INSERT INTO files (id, filename, directory, open_count) VALUES (12, 'toolkit', NULL, NULL);"
        "INSERT INTO files (id, filename, directory, open_count) VALUES (13, 'tools', X'2F61', 'x');"));
    auto manager = makeManager();

    const SearchResults results = manager->searchIndexedFiles(QStringLiteral("tool."));
    ASSERT_EQ(results.size(), 2);
    const SearchResult &app = results.at(0);
    EXPECT_EQ(app.id(), 10);
    EXPECT_EQ(app.databaseID(), 10);
    EXPECT_EQ(app.kind(), SearchResultKind::app);
    EXPECT_EQ(app.filename(), QStringLiteral("Tool.app"));
    EXPECT_EQ(app.directory(), QStringLiteral("/opt/apps"));
    EXPECT_EQ(app.fullPath(), QStringLiteral("/opt/apps/Tool.app"));
    EXPECT_EQ(app.openCount(), 3);
    EXPECT_FALSE(app.snippet() || app.usageKey() || app.action() || app.actionURLString() ||
                 app.fallbackActionURLString() || app.relevanceScore());
    EXPECT_FALSE(app.isDirectPathMatch() || app.isRecentActivation());
    // The ending is case-sensitive.
    EXPECT_EQ(results.at(1).kind(), SearchResultKind::file);
    EXPECT_EQ(results.at(1).fullPath(), QStringLiteral("/opt/apps/Tool.APP"));

    // NULL or mistyped columns read as empty text and zero counts.
    const SearchResults odd = manager->searchIndexedFiles(QStringLiteral("toolk"));
    ASSERT_EQ(odd.size(), 1);
    EXPECT_EQ(odd.at(0).directory(), QString());
    EXPECT_EQ(odd.at(0).fullPath(), QStringLiteral("toolkit"));
    EXPECT_EQ(odd.at(0).openCount(), 0);
    const SearchResults mistyped = manager->searchIndexedFiles(QStringLiteral("tools"));
    ASSERT_EQ(mistyped.size(), 1);
    EXPECT_EQ(mistyped.at(0).directory(), QString());
    EXPECT_EQ(mistyped.at(0).openCount(), 0);
}

TEST_F(DatabaseIndexTest, LikePatternIsTheLowercasedQueryWithItsWildcards) {
    createIndex({
        {.id = 1, .filename = QStringLiteral("Report_2024.PDF")},
        {.id = 2, .filename = QStringLiteral("Report-2024.pdf")},
        {.id = 3, .filename = QStringLiteral("\u00c9t\u00e9.txt")},
    });
    auto manager = makeManager();
    // "_" matches any one character; upper-case query letters are lowered first.
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("REPORT_2024."))), "1 2");
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("t_2024.pdf"))), "1 2");
    // SQLite folds ASCII only, so a lowered non-ASCII capital no longer matches the name.
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("\u00c9t\u00e9."))), "");
}

TEST_F(DatabaseIndexTest, EachStatementStopsAt250Rows) {
    QList<IndexedFile> files;
    for (int i = 1; i <= 300; ++i) {
        // The oldest 50 rank best in full text; the name statement prefers the newest.
        const QString content =
            i <= 50 ? QStringLiteral("report report report") : QStringLiteral("report a b c d e f");
        files.append({.id = i,
                      .filename = QStringLiteral("a-report-%1.pdf").arg(i),
                      .indexedAt = i,
                      .content = content});
    }
    createIndex(files);
    auto manager = makeManager();

    const SearchResults byName = manager->searchIndexedFiles(QStringLiteral("-report-"));
    ASSERT_EQ(byName.size(), 250);
    EXPECT_EQ(byName.first().id(), 300);
    EXPECT_EQ(byName.last().id(), 51);

    // Both statements: the 250 newest by name, then the full-text rows the name statement left out.
    const SearchResults both = manager->searchIndexedFiles(QStringLiteral("report"));
    ASSERT_EQ(both.size(), 300);
    QSet<qint64> tail;
    for (qsizetype i = 250; i < both.size(); ++i) {
        tail.insert(both.at(i).id());
        EXPECT_TRUE(both.at(i).snippet());
    }
    EXPECT_EQ(tail.size(), 50);
    EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](qint64 id) { return id <= 50; }));

    EXPECT_EQ(manager->searchIndexedFiles(QStringLiteral("b c")).size(), 250); // full text only
}

TEST_F(DatabaseIndexTest, BrokenDatabaseIsSaidOnceAndAnswersNothing) {
    const struct {
        const char *name;
        const char *sql; // run on the fresh index
        const char *query;
        const char *expected; // printed by the first search, not again while nothing changes
    } cases[] = {
        {"no files table", "DROP TABLE files;", "plan", "Search query failed: no such table: files\n"},
        {"no full-text table drops the name rows too", "DROP TABLE files_fts;", "plan",
         "Search query failed: no such table: files_fts\n"},
        {"no tag table", "DROP TABLE file_tags;", "plan.", "Search query failed: no such table: file_tags\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        createIndex({{.id = 1, .filename = QStringLiteral("plan.txt"), .content = QStringLiteral("plan")}});
        execute(QString::fromUtf8(c.sql));
        auto manager = makeManager();
        for (int round = 0; round < 2; ++round) {
            test::CapturedStdout out;
            EXPECT_TRUE(manager->searchIndexedFiles(QString::fromUtf8(c.query)).isEmpty());
            EXPECT_EQ(out.text(), round == 0 ? c.expected : "");
        }
    }
}

TEST_F(DatabaseIndexTest, FileThatIsNoDatabaseIsSaid) {
    test::writeFile(test::indexDatabasePath(), QByteArray(4096, 'x'));
    auto manager = makeManager();
    test::CapturedStdout out;
    EXPECT_TRUE(manager->searchIndexedFiles(QStringLiteral("plan")).isEmpty());
    EXPECT_EQ(out.text(), "Search query failed: file is not a database\n");
}

// No index is a normal state: nothing is printed, nothing is created, and an index made later is found.
TEST_F(DatabaseIndexTest, MissingDatabaseIsSilentNeverCreatedAndFoundOnceMade) {
    QDir(QFileInfo(test::indexDatabasePath()).absolutePath()).removeRecursively();
    std::unique_ptr<DatabaseManager> manager;
    test::CapturedStdout out;
    manager = makeManager();
    EXPECT_TRUE(manager->searchIndexedFiles(QStringLiteral("plan")).isEmpty());
    EXPECT_TRUE(manager->incrementOpenCount(1));
    EXPECT_EQ(out.text(), "");
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(test::indexDatabasePath()).absolutePath()));

    createIndex({{.id = 1, .filename = QStringLiteral("plan.txt")}});
    clock->advance(5);
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan"))), "1");
}

// A file that is there but cannot be opened is said once, with its path, however often it is asked;
// once the indexer puts a database there, it is read.
TEST_F(DatabaseIndexTest, UnopenableDatabaseIsReportedOnceNamingTheFileAndReadOnceMended) {
    const QString path = test::indexDatabasePath();
    QDir(QFileInfo(path).absolutePath()).removeRecursively();
    test::makeDirectory(QFileInfo(path).absolutePath());
    // A link to itself: there is an entry at the path, and no file behind it.
    ASSERT_EQ(::symlink(QFile::encodeName(path).constData(), QFile::encodeName(path).constData()), 0);
    // The next test of the process writes its own index there.
    const auto removeLink = qScopeGuard([&] { QFile::remove(path); });
    test::CapturedStdout out;
    auto manager = makeManager();
    for (int round = 0; round < 3; ++round) {
        EXPECT_TRUE(manager->searchIndexedFiles(QStringLiteral("plan")).isEmpty());
        clock->advance(5);
    }
    const std::string text = out.text();
    EXPECT_EQ(text.rfind("Failed to open database: " + path.toStdString() + ": ", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;

    ASSERT_TRUE(QFile::remove(path));
    createIndex({{.id = 1, .filename = QStringLiteral("plan.txt")}});
    clock->advance(5);
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan"))), "1");
}

TEST_F(DatabaseIndexTest, SpecialFileAtTheIndexPathIsNotOpened) {
    QDir(QFileInfo(test::indexDatabasePath()).absolutePath()).removeRecursively();
    test::makeDirectory(QFileInfo(test::indexDatabasePath()).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(test::indexDatabasePath()).constData(), 0600), 0);
    const auto removeFifo = qScopeGuard([] { QFile::remove(test::indexDatabasePath()); });
    std::unique_ptr<DatabaseManager> manager;
    {
        test::CapturedStdout out;
        manager = makeManager();
        EXPECT_EQ(out.text().rfind("Failed to open database: ", 0), 0u) << out.text();
    }
    // Would block forever reading the FIFO if it had been opened.
    EXPECT_TRUE(manager->searchIndexedFiles(QStringLiteral("plan")).isEmpty());
}

// A query longer than any name reaches no index statement: SQLite would refuse its LIKE pattern (past
// 50 000 bytes) and print a failure on every search, and a pasted text of thousands of words held the
// full-text statement for the whole deadline. A caller's multi-megabyte text is searched by its head.
TEST_F(DatabaseIndexTest, VeryLongQueriesAreBoundedAndNeverFailTheIndex) {
    createIndex({{.id = 1, .filename = QStringLiteral("plan.txt"), .content = QStringLiteral("plan")}});
    auto c = configuration();
    std::vector<qsizetype> gathered;
    c.searchWillGatherSources = [&](const QString &trimmed) { gathered.push_back(trimmed.size()); };
    auto manager = makeManager(c);
    test::CapturedStdout out;
    EXPECT_TRUE(manager->search(QString(30000, QChar(0xe9)), false).isEmpty()); // 60 000 bytes as UTF-8
    EXPECT_TRUE(manager->search(QStringLiteral("plan ") + QString(4 * 1024 * 1024, QLatin1Char('x')), false)
                    .isEmpty());
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(gathered, (std::vector<qsizetype>{30000, DatabaseManager::maxQueryLength}));
    EXPECT_EQ(describe(manager->search(QStringLiteral("plan"), false)), "1[<mark>plan</mark>]");
}

TEST(BoundedQuery, KeepsTheFieldsLengthAndNeverHalfACharacter) {
    const QString face = QString::fromUtf16(u"\U0001F600");
    const qsizetype limit = DatabaseManager::maxQueryLength;
    const struct {
        QString query;
        qsizetype expectedLength;
    } cases[] = {
        {QString(limit, QLatin1Char('a')), limit},
        {QString(limit + 1, QLatin1Char('a')), limit},
        {QString(limit - 2, QLatin1Char('a')) + face, limit},     // the pair ends at the limit: kept
        {QString(limit - 1, QLatin1Char('a')) + face, limit - 1}, // it would be cut in two: left out
        {QStringLiteral("plan"), 4},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DatabaseManager::boundedQuery(c.query).size(), c.expectedLength) << c.query.size();
}

TEST_F(DatabaseIndexTest, IncrementOpenCountAddsExactlyOne) {
    createIndex({{.id = 7, .filename = QStringLiteral("plan.txt"), .openCount = 4},
                 {.id = 8, .filename = QStringLiteral("plan b.txt"), .openCount = 4}});
    auto manager = makeManager();
    test::CapturedStdout out;
    manager->incrementOpenCount(7);
    manager->incrementOpenCount(7);
    manager->incrementOpenCount(999); // no such row: nothing changes, nothing printed
    EXPECT_EQ(out.text(), "");
    const SearchResults results = manager->searchIndexedFiles(QStringLiteral("plan"));
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results.at(0).id(), 7);
    EXPECT_EQ(results.at(0).openCount(), 6);
    EXPECT_EQ(results.at(1).openCount(), 4);
}

// The indexer's "open_count + 1" turns the largest integer into a REAL; other writers may store reals.
TEST_F(DatabaseIndexTest, OpenCountsStoredAsRealsReadAsCounts) {
    createIndex({{.id = 1, .filename = QStringLiteral("plan max.txt")},
                 {.id = 2, .filename = QStringLiteral("plan huge.txt")},
                 {.id = 3, .filename = QStringLiteral("plan three.txt")},
                 {.id = 4, .filename = QStringLiteral("plan negative.txt")},
                 {.id = 5, .filename = QStringLiteral("plan text.txt")}});
    execute(QStringLiteral("UPDATE files SET open_count = 9223372036854775807 WHERE id = 1;"
                           "UPDATE files SET open_count = 1e300 WHERE id = 2;"
                           "UPDATE files SET open_count = 3.75 WHERE id = 3;"
                           "UPDATE files SET open_count = -2.5 WHERE id = 4;"
                           "UPDATE files SET open_count = 'many' WHERE id = 5;"));
    auto manager = makeManager();
    manager->incrementOpenCount(1); // the stored value is a REAL from here on
    QHash<qint64, qint64> counts;
    for (const SearchResult &row : manager->searchIndexedFiles(QStringLiteral("plan")))
        counts.insert(row.id(), row.openCount());
    const QHash<qint64, qint64> expected{{1, std::numeric_limits<qint64>::max()},
                                         {2, std::numeric_limits<qint64>::max()},
                                         {3, 3},
                                         {4, 0},
                                         {5, 0}};
    EXPECT_EQ(counts, expected);
}

TEST_F(DatabaseIndexTest, IncrementDropsCachedAnswers) {
    createIndex({{.id = 7, .filename = QStringLiteral("plan.txt"), .openCount = 4}});
    auto manager = makeManager();
    ASSERT_EQ(manager->search(QStringLiteral("plan.")).size(), 1);
    manager->incrementOpenCount(7);
    // Within the memory cache's lifetime: only the invalidation lets the new count through.
    const SearchResults again = manager->search(QStringLiteral("plan."));
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(again.at(0).openCount(), 5);
}

TEST_F(DatabaseIndexTest, BrokenIndexLeavesOtherSourcesAnswering) {
    createIndex({{.id = 1, .filename = QStringLiteral("Projects.txt")}});
    execute(QStringLiteral("DROP TABLE files;"));
    test::makeDirectory(test::homePath() + QStringLiteral("/Projects"));
    auto c = configuration();
    c.pinnedFolderPaths = {test::homePath() + QStringLiteral("/Projects")};
    auto manager = makeManager(c);
    test::CapturedStdout out;
    const SearchResults rows = manager->search(QStringLiteral("projects"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).kind(), SearchResultKind::folder);
    EXPECT_EQ(out.text(), "Search query failed: no such table: files\n");
}

TEST_F(DatabaseIndexTest, FailedIncrementIsReported) {
    createIndex({{.id = 7, .filename = QStringLiteral("plan.txt")}});
    auto c = configuration();
    c.readonly = true;
    auto manager = makeManager(c);
    test::CapturedStdout out;
    EXPECT_FALSE(manager->incrementOpenCount(7));
    EXPECT_EQ(out.text(), "Failed to increment open count: attempt to write a readonly database\n");
}

// Raising an open count is off the keystroke path: it outwaits an indexer's commit that takes longer
// than one busy time-out by trying again.
TEST_F(DatabaseIndexTest, OpenCountOutwaitsTheIndexersCommit) {
    createIndex({{.id = 7, .filename = QStringLiteral("plan.txt"), .openCount = 4}});
    auto c = configuration();
    c.indexWriteBusyTimeoutMilliseconds = 100;
    c.indexWriteAttempts = 30;
    auto manager = makeManager(c);
    IndexerConnection indexer;
    indexer.execute("BEGIN EXCLUSIVE; UPDATE files SET filename = 'plan v2.txt' WHERE id = 7;");
    std::thread commit([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400)); // four busy time-outs
        indexer.execute("COMMIT;");
    });
    test::CapturedStdout out;
    EXPECT_TRUE(manager->incrementOpenCount(7));
    commit.join();
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(test::indexOpenCount(7), 5);
}

// A lock held past every try: the activation keeps what it could record (a shortcut file's count
// under its address, its place among the recent activations), says what it lost, and answers false.
TEST_F(DatabaseIndexTest, OpenCountThatStillCannotBeWrittenIsReported) {
    const QString folder = test::homePath() + QStringLiteral("/docs");
    test::writeFile(folder + QStringLiteral("/plan.url"), "URL=https://plan.example/\n");
    createIndex({{.id = 7, .filename = QStringLiteral("plan.url"), .directory = folder}});
    auto c = configuration();
    c.indexWriteBusyTimeoutMilliseconds = 20;
    c.indexWriteAttempts = 2;
    auto manager = makeManager(c);
    const SearchResults rows = manager->searchIndexedFiles(QStringLiteral("plan"));
    ASSERT_EQ(rows.size(), 1);
    IndexerConnection indexer;
    indexer.execute("BEGIN EXCLUSIVE;");
    {
        test::CapturedStdout out;
        EXPECT_FALSE(manager->recordActivation(rows.front()));
        EXPECT_EQ(out.text(), "Failed to increment open count: database is locked\n");
    }
    indexer.execute("COMMIT;");
    EXPECT_EQ(test::indexOpenCount(7), 0);
    const SearchResults again = manager->searchIndexedFiles(QStringLiteral("plan"));
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(again.front().openCount(), 1); // the count under its address
    const auto recent = defaults->dataValue(QStringLiteral("launcherPathOpenCounts.recentActivations"));
    ASSERT_TRUE(recent);
    EXPECT_TRUE(recent->contains("plan.url"));
}

TEST_F(DatabaseIndexTest, LockedIndexAnswersWithoutHanging) {
    createIndex({{.id = 1, .filename = QStringLiteral("plan.txt"), .content = QStringLiteral("plan")}});
    auto c = configuration();
    c.indexDatabaseBusyTimeoutMilliseconds = 20;
    auto manager = makeManager(c);
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan."))), "1");

    IndexerConnection indexer;
    // A write in progress that has not reached its commit leaves the committed rows readable.
    indexer.execute("BEGIN IMMEDIATE; UPDATE files SET open_count = 9 WHERE id = 1;");
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan"))), "1[<mark>plan</mark>]");
    indexer.execute("ROLLBACK;");

    // A lock held past the busy time-out: the search gives up, says so, and answers.
    const auto hasIndexRow = [](const SearchResults &rows) {
        return std::any_of(rows.begin(), rows.end(),
                           [](const SearchResult &r) { return r.databaseID() == 1; });
    };
    indexer.execute("BEGIN EXCLUSIVE;");
    {
        test::CapturedStdout out;
        EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan"))), "");
        EXPECT_FALSE(hasIndexRow(manager->search(QStringLiteral("plan"))));
        EXPECT_EQ(out.text(), "Search query failed: database is locked\n");
    }
    indexer.execute("COMMIT;");
    // The connection is usable again once the lock is gone, and the answer given without the index was
    // not kept for the same query.
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan"))), "1[<mark>plan</mark>]");
    EXPECT_TRUE(hasIndexRow(manager->search(QStringLiteral("plan"))));
}

TEST_F(DatabaseIndexTest, BusyTimeOutRidesOutAShortLock) {
    createIndex({{.id = 1, .filename = QStringLiteral("plan.txt")}});
    auto c = configuration();
    c.indexDatabaseBusyTimeoutMilliseconds = 60000; // generous: the lock below goes after 30 ms
    auto manager = makeManager(c);
    IndexerConnection indexer;
    indexer.execute("BEGIN EXCLUSIVE;");
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        indexer.execute("COMMIT;");
    });
    test::CapturedStdout out;
    EXPECT_EQ(describe(manager->searchIndexedFiles(QStringLiteral("plan."))), "1");
    release.join();
    EXPECT_EQ(out.text(), "");
}

} // namespace
} // namespace orvex
