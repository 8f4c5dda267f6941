// The outside indexer owns the index database and may remove, replace or cut it while the launcher
// holds it open. Searches must go on answering: the index rows may go, the other sources stay.
#include "fixtures/IndexDatabaseFixture.h"
#include "fixtures/ResultNames.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <unistd.h>

namespace orvex {
namespace {

class IndexDatabaseFaultsTest : public ::testing::Test, public test::IndexDatabaseFixture {};

// Every line printed is a search or update failure report, nothing else.
void expectOnlyFailureReports(const std::string &printed) {
    for (const QString &line : QString::fromStdString(printed).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith(QLatin1String("Search query failed: ")) ||
                    line.startsWith(QLatin1String("Failed to increment open count: ")))
            << line.toStdString();
}

TEST_F(IndexDatabaseFaultsTest, SearchesKeepAnsweringWhenTheIndexIsDamagedUnderneath) {
    const QString path = test::indexDatabasePath();
    const auto truncateTo = [&](qint64 size) { ASSERT_EQ(::truncate(QFile::encodeName(path), size), 0); };
    const struct {
        const char *name;
        std::function<void()> damage;
    } cases[] = {
        {"removed", [&] { ASSERT_TRUE(QFile::remove(path)); }},
        {"replaced by a file that is no database",
         [&] {
             const QString other = path + QStringLiteral(".new");
             test::writeFile(other, QByteArray(8192, 'x'));
             ASSERT_EQ(::rename(QFile::encodeName(other), QFile::encodeName(path)), 0);
         }},
        {"truncated to nothing", [&] { truncateTo(0); }},
        {"cut in the middle", [&] { truncateTo(QFileInfo(path).size() / 2); }},
        {"cut inside its first page", [&] { truncateTo(50); }},
        {"overwritten in place",
         [&] {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             ASSERT_EQ(file.write(QByteArray(4096, '\xff')), 4096);
         }},
    };

    const QString projects = test::homePath() + QStringLiteral("/Projects");
    test::makeDirectory(projects);
    QList<test::IndexedFile> files;
    for (qint64 id = 1; id <= 400; ++id)
        files.append({.id = id,
                      .filename = QStringLiteral("plan %1.txt").arg(id),
                      .directory = QStringLiteral("/docs"),
                      .content = QStringLiteral("plan number %1 ").arg(id).repeated(20)});

    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        createIndex(files);
        builder->close();
        auto configuration = this->configuration();
        configuration.pinnedFolderPaths = {projects};
        auto manager = makeManager(configuration);
        ASSERT_FALSE(manager->searchIndexedFiles(QStringLiteral("plan")).isEmpty());

        c.damage();

        test::CapturedStdout out;
        for (int round = 0; round < 2; ++round) {
            // Whatever the index still gives, the search answers, and the pinned folder stays.
            (void)manager->searchIndexedFiles(QStringLiteral("plan"));
            manager->incrementOpenCount(1);
            const SearchResults rows = manager->searchFresh(QStringLiteral("projects"));
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const SearchResult &row) {
                return row.kind() == SearchResultKind::folder && row.fullPath() == projects;
            }));
        }
        expectOnlyFailureReports(out.text());
        manager.reset();
    }
}

TEST_F(IndexDatabaseFaultsTest, ARebuiltIndexRenamedOverTheOldOneIsReadOnceNoticed) {
    createIndex(
        {{.id = 1, .filename = QStringLiteral("old report.txt"), .directory = QStringLiteral("/docs")}});
    builder->close();
    auto manager = makeManager();
    ASSERT_EQ(manager->searchIndexedFiles(QStringLiteral("report")).size(), 1);

    replaceIndex(
        {{.id = 7, .filename = QStringLiteral("new report.txt"), .directory = QStringLiteral("/docs")},
         {.id = 8, .filename = QStringLiteral("report notes.txt"), .directory = QStringLiteral("/docs")}});

    clock->advance(5);
    const SearchResults rows = manager->searchIndexedFiles(QStringLiteral("report"));
    QStringList names = test::filenames(rows);
    names.sort();
    EXPECT_EQ(names, QStringList({QStringLiteral("new report.txt"), QStringLiteral("report notes.txt")}));

    // Open counts go to the new file too.
    manager->incrementOpenCount(7);
    clock->advance(5);
    const SearchResults again = manager->searchIndexedFiles(QStringLiteral("new report"));
    ASSERT_FALSE(again.isEmpty());
    EXPECT_EQ(again.front().openCount(), 1);
}

// The indexer renames a rebuilt file over the old one just before the user opens a row: the count
// must reach the file at the index path, not the unlinked old one that nobody reads again.
TEST_F(IndexDatabaseFaultsTest, OpenRightAfterTheIndexWasReplacedCountsInTheNewFile) {
    createIndex({{.id = 7, .filename = QStringLiteral("report.txt"), .directory = QStringLiteral("/docs")}});
    builder->close();
    auto manager = makeManager();
    ASSERT_EQ(manager->searchIndexedFiles(QStringLiteral("report")).size(), 1);

    replaceIndex({{.id = 7, .filename = QStringLiteral("report.txt"), .directory = QStringLiteral("/docs")}});
    clock->advance(1);
    manager->incrementOpenCount(7);
    EXPECT_EQ(test::indexOpenCount(7), 1);
}

// A broken, locked or foreign index stays so for many keystrokes: its trouble is said once, not on every
// search, and said again once it changed (the index answered in between).
TEST_F(IndexDatabaseFaultsTest, IndexTroubleIsSaidOnceUntilItChanges) {
    const QString path = test::indexDatabasePath();
    const QList<test::IndexedFile> files = {{.id = 1,
                                             .filename = QStringLiteral("plans.txt"),
                                             .directory = QStringLiteral("/docs"),
                                             .content = QStringLiteral("plans for the week")}};
    const auto overwriteHeader = [&] {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_EQ(file.write(QByteArray(4096, '\xff')), 4096);
    };
    const struct {
        const char *name;
        std::function<void()> damage;
        std::function<void()> mend;
        const char *said;
    } cases[] = {
        {"overwritten with garbage", overwriteHeader, [&] { replaceIndex(files); },
         "Search query failed: file is not a database\n"},
        {"truncated", [&] { ASSERT_EQ(::truncate(QFile::encodeName(path), 3000), 0); },
         [&] { replaceIndex(files); }, "Search query failed: database disk image is malformed\n"},
        {"a column missing", [&] { execute(QStringLiteral("ALTER TABLE files DROP COLUMN indexed_at")); },
         [&] { execute(QStringLiteral("ALTER TABLE files ADD COLUMN indexed_at INTEGER")); },
         "Search query failed: no such column: f.indexed_at\n"},
        {"locked by the indexer", [&] { execute(QStringLiteral("BEGIN EXCLUSIVE")); },
         [&] { execute(QStringLiteral("COMMIT")); }, "Search query failed: database is locked\n"},
    };
    const auto findsTheFile = [](const SearchResults &rows) {
        return std::any_of(rows.begin(), rows.end(),
                           [](const SearchResult &row) { return row.databaseID() == 1; });
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        createIndex(files);
        auto configuration = this->configuration();
        configuration.indexDatabaseBusyTimeoutMilliseconds = 20;
        auto manager = makeManager(configuration);
        ASSERT_TRUE(findsTheFile(manager->searchFresh(QStringLiteral("plans"))));

        c.damage();
        {
            test::CapturedStdout out;
            for (const char *typed : {"p", "pl", "pla", "plan", "plans"})
                manager->search(QString::fromLatin1(typed));
            clock->advance(5); // the file is looked at again: it is the same file
            manager->searchFresh(QStringLiteral("plans"));
            EXPECT_EQ(out.text(), c.said);
        }

        c.mend();
        clock->advance(5);
        {
            test::CapturedStdout out;
            EXPECT_TRUE(findsTheFile(manager->searchFresh(QStringLiteral("plans"))));
            EXPECT_EQ(out.text(), "");
        }

        c.damage();
        {
            test::CapturedStdout out;
            manager->searchFresh(QStringLiteral("plan"));
            manager->searchFresh(QStringLiteral("plans"));
            EXPECT_EQ(out.text(), c.said);
        }
        manager.reset();
        builder.reset();
    }
}

// One problem giving way to another is news at once.
TEST_F(IndexDatabaseFaultsTest, ADifferentIndexProblemIsSaidAtOnce) {
    createIndex({{.id = 1, .filename = QStringLiteral("plans.txt"), .directory = QStringLiteral("/docs")}});
    auto configuration = this->configuration();
    configuration.indexDatabaseBusyTimeoutMilliseconds = 20;
    auto manager = makeManager(configuration);
    execute(QStringLiteral("BEGIN EXCLUSIVE"));
    test::CapturedStdout out;
    manager->searchFresh(QStringLiteral("plan"));
    manager->searchFresh(QStringLiteral("plans"));
    execute(QStringLiteral("COMMIT"));
    execute(QStringLiteral("ALTER TABLE files DROP COLUMN indexed_at"));
    manager->searchFresh(QStringLiteral("plan"));
    manager->searchFresh(QStringLiteral("plans"));
    EXPECT_EQ(out.text(), "Search query failed: database is locked\n"
                          "Search query failed: no such column: f.indexed_at\n");
}

// The indexer renames a rebuilt file over the old one and still holds the new one locked while it
// finishes: the search that finds the new file opens it with no lock of the manager held and waits
// for its statements only up to the index deadline, however long their busy time-out; the other
// sources answer, and the manager's other work goes on meanwhile.
TEST_F(IndexDatabaseFaultsTest, AReplacedIndexHeldLockedStallsNoSearchPastTheDeadline) {
    using namespace std::chrono_literals;
    // A file of its own: the stalled statement goes on a little after the test, and must not meet the
    // next test's index at the usual path.
    const QString path = test::homePath() + QStringLiteral("/.pdf-indexer/replaced-while-locked/index.db");
    {
        test::IndexDatabaseBuilder first(path);
        ASSERT_TRUE(first.addFiles(
            {{.id = 1, .filename = QStringLiteral("plans.txt"), .directory = QStringLiteral("/docs")}}));
    }
    const QString projects = test::homePath() + QStringLiteral("/Plans and projects");
    test::makeDirectory(projects);
    auto configuration = this->configuration();
    configuration.databasePath = path;
    configuration.pinnedFolderPaths = {projects};
    configuration.indexDatabaseBusyTimeoutMilliseconds = 60000;
    configuration.indexSearchDeadline = 300ms;
    auto manager = makeManager(configuration);
    ASSERT_EQ(test::filenames(manager->searchFresh(QStringLiteral("plans"))),
              QStringList({QStringLiteral("plans.txt"), QStringLiteral("Plans and projects")}));

    test::IndexDatabaseBuilder indexer(path + QStringLiteral(".rebuilt"));
    ASSERT_TRUE(indexer.addFiles(
        {{.id = 2, .filename = QStringLiteral("plans 2.txt"), .directory = QStringLiteral("/docs")}}));
    ASSERT_TRUE(indexer.execute(QStringLiteral("BEGIN EXCLUSIVE")));
    ASSERT_EQ(::rename(QFile::encodeName(path + QStringLiteral(".rebuilt")), QFile::encodeName(path)), 0);
    clock->advance(5);

    test::CapturedStdout out;
    const auto started = std::chrono::steady_clock::now();
    const SearchResults rows = manager->searchFresh(QStringLiteral("plans"));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(test::filenames(rows), QStringList({QStringLiteral("Plans and projects")}));
    // Well short of the busy time-out: the wait ended at the deadline.
    EXPECT_LT(took, 30s);
    EXPECT_EQ(out.text(),
              "Search query stopped after 300 ms: the index contributes the rows it read by then\n");

    // Once the indexer lets go, the new file answers.
    ASSERT_TRUE(indexer.execute(QStringLiteral("COMMIT")));
    clock->advance(5);
    const SearchResults later = manager->searchFresh(QStringLiteral("plans 2"));
    EXPECT_TRUE(
        std::any_of(later.begin(), later.end(), [](const SearchResult &r) { return r.databaseID() == 2; }));
}

} // namespace
} // namespace orvex
