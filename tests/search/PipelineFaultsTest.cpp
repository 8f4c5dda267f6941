#include "fixtures/IndexDatabaseFixture.h"
#include "fixtures/SearchPipelineFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>

namespace orvex {
namespace {

using PipelineFaultsTest = test::SearchPipelineFixture;

// An answer cached "in the future" (the wall clock was set back since) is not fresh: it would
// otherwise be served until the clock caught up again, hours of stale rows.
TEST_F(PipelineFaultsTest, ClockSetBackDoesNotKeepAnAnswerFresh) {
    const QString folder = home + QStringLiteral("/Projects");
    test::makeDirectory(folder);
    ASSERT_EQ(manager().search(QStringLiteral("~/Projects")).size(), 1);
    ASSERT_TRUE(QDir(folder).removeRecursively());

    fixture.clock->advance(-3600);
    EXPECT_TRUE(manager().search(QStringLiteral("~/Projects")).isEmpty())
        << "an entry dated an hour ahead of now was served";
}

// ".." above the root stays at the root, as the file system resolves it: the row names the real
// folder, not a path with "/.." in it.
TEST_F(PipelineFaultsTest, DotDotAboveTheRootStaysAtTheRoot) {
    const QString climb = QStringLiteral("/../..") + home; // home is absolute
    struct Case {
        QString typed;
        QString resolved;
    } cases[] = {
        {QStringLiteral("/.."), QStringLiteral("/")},
        {QStringLiteral("/../"), QStringLiteral("/")},
        {climb, home},
        {QStringLiteral("/tmp/../../..") + home, home},
        {QStringLiteral("file:///../..") + home, home},
    };
    for (const auto &c : cases)
        EXPECT_EQ(manager().resolveDirectPath(c.typed).value_or(QStringLiteral("<none>")).toStdString(),
                  c.resolved.toStdString())
            << c.typed.toStdString();

    test::makeDirectory(home + QStringLiteral("/Documents"));
    const auto rows = manager().searchDirectPathResults(climb + QStringLiteral("/Documents"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].filename().toStdString(), "Documents");
    EXPECT_EQ(rows[0].directory().toStdString(), home.toStdString());
    EXPECT_EQ(rows[0].fullPath().toStdString(), (home + QStringLiteral("/Documents")).toStdString());
}

class IndexOpenCountTest : public ::testing::Test, public test::IndexDatabaseFixture {};

qint64 storedOpenCount(const QString &path, qint64 id) {
    sqlite3 *db = nullptr;
    qint64 count = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT open_count FROM files WHERE id = ?", -1, &statement, nullptr);
        sqlite3_bind_int64(statement, 1, id);
        if (sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    return count;
}

// The indexer renames a rebuilt file over the old one just before the user opens a row: the count
// must reach the file at the index path, not the unlinked old one that nobody reads again.
TEST_F(IndexOpenCountTest, OpenRightAfterTheIndexWasReplacedCountsInTheNewFile) {
    createIndex({{.id = 7, .filename = QStringLiteral("report.txt"), .directory = QStringLiteral("/docs")}});
    builder->close();
    auto manager = makeManager();
    ASSERT_EQ(manager->searchIndexedFiles(QStringLiteral("report")).size(), 1);

    const QString path = test::indexDatabasePath();
    const QString rebuilt = path + QStringLiteral(".rebuilt");
    {
        test::IndexDatabaseBuilder next(rebuilt);
        ASSERT_TRUE(next.addFiles(
            {{.id = 7, .filename = QStringLiteral("report.txt"), .directory = QStringLiteral("/docs")}}))
            << next.errorMessage().toStdString();
    }
    ASSERT_EQ(std::rename(QFile::encodeName(rebuilt).constData(), QFile::encodeName(path).constData()), 0);

    clock->advance(1);
    manager->incrementOpenCount(7);
    EXPECT_EQ(storedOpenCount(path, 7), 1);
}

} // namespace
} // namespace orvex
