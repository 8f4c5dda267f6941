// The outside indexer owns the index database and may remove, replace or cut it while the launcher
// holds it open. Searches must go on answering: the index rows may go, the other sources stay.
#include "fixtures/IndexDatabaseFixture.h"
#include "fixtures/ResultNames.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
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

} // namespace
} // namespace orvex
