#include "fixtures/SearchPipelineFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

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

} // namespace
} // namespace orvex
