#include "fixtures/IndexDatabaseBuilder.h"
#include "support/TestEnvironment.h"
#include "tools/ToolRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::jsonRows;
using test::runTool;
using test::ToolRun;

TEST(OrvexSearchTool, DirectPathFolderRow) {
    test::makeDirectory(test::homePath() + QStringLiteral("/Documents"));
    const auto run = runTool({QStringLiteral("--json"), QStringLiteral("~/Documents")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray rows = jsonRows(run);
    ASSERT_EQ(rows.size(), 1) << run.out.toStdString();
    const QJsonObject row = rows.at(0).toObject();
    EXPECT_EQ(row.value(QStringLiteral("filename")).toString(), QStringLiteral("Documents"));
    EXPECT_EQ(row.value(QStringLiteral("kind")).toString(), QStringLiteral("folder"));
    EXPECT_TRUE(row.value(QStringLiteral("isDirectPathMatch")).toBool());
    EXPECT_EQ(row.value(QStringLiteral("relevanceScore")).toInteger(), 5000);
    for (const char *key : {"id", "filename", "directory", "openCount", "snippet", "databaseID", "kind",
                            "action", "actionURLString", "fallbackActionURLString", "isDirectPathMatch",
                            "usageKey", "isRecentActivation", "relevanceScore"})
        EXPECT_TRUE(row.contains(QLatin1String(key))) << key;
    EXPECT_TRUE(row.value(QStringLiteral("snippet")).isNull());
}

TEST(OrvexSearchTool, CalculatorAnswerComesFirst) {
    const auto run = runTool({QStringLiteral("--json"), QStringLiteral("2+2")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray rows = jsonRows(run);
    ASSERT_FALSE(rows.isEmpty());
    const QJsonObject first = rows.at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("filename")).toString(), QStringLiteral("4"));
    EXPECT_EQ(first.value(QStringLiteral("action")).toString(), QStringLiteral("copyToClipboard"));
    EXPECT_EQ(first.value(QStringLiteral("actionURLString")).toString(), QStringLiteral("4"));
    EXPECT_EQ(first.value(QStringLiteral("relevanceScore")).toInteger(), 10000);
}

TEST(OrvexSearchTool, IndexRowsCarrySnippetsAndScores) {
    test::IndexDatabaseBuilder index(test::homePath() + QStringLiteral("/.pdf-indexer/index.db"));
    ASSERT_TRUE(index.addFiles({{.id = 11,
                                 .filename = QStringLiteral("Quarterly.pdf"),
                                 .directory = QStringLiteral("/srv/docs"),
                                 .openCount = 2,
                                 .content = QStringLiteral("the zeppelin budget for spring")},
                                {.id = 12,
                                 .filename = QStringLiteral("notes.txt"),
                                 .directory = QStringLiteral("/srv/docs"),
                                 .content = QStringLiteral("nothing to see")}}))
        << index.errorMessage().toStdString();
    index.close();

    const auto run = runTool({QStringLiteral("--json"), QStringLiteral("zeppelin")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray rows = jsonRows(run);
    ASSERT_EQ(rows.size(), 1) << run.out.toStdString();
    const QJsonObject row = rows.at(0).toObject();
    EXPECT_EQ(row.value(QStringLiteral("id")).toInteger(), 11);
    EXPECT_EQ(row.value(QStringLiteral("databaseID")).toInteger(), 11);
    EXPECT_EQ(row.value(QStringLiteral("kind")).toString(), QStringLiteral("file"));
    EXPECT_TRUE(
        row.value(QStringLiteral("snippet")).toString().contains(QStringLiteral("<mark>zeppelin</mark>")))
        << run.out.toStdString();
    EXPECT_GT(row.value(QStringLiteral("relevanceScore")).toInteger(), 0);
}

TEST(OrvexSearchTool, WalkedAppsAndFoldersAreSearched) {
    const QString home = test::homePath();
    test::makeDirectory(home + QStringLiteral("/Applications/Marmot.app/Contents"));
    test::makeDirectory(home + QStringLiteral("/Projects/marmot-notes"));
    test::writeFile(home + QStringLiteral("/Downloads/Marmot wiki.url"),
                    "[InternetShortcut]\r\nURL=https://example.org/marmot\r\n");
    const auto run = runTool({QStringLiteral("--json"), QStringLiteral("marmot")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList found;
    QString shortcutUsageKey;
    for (const auto &value : jsonRows(run)) {
        const QJsonObject row = value.toObject();
        found.append(row.value(QStringLiteral("kind")).toString() + QLatin1Char(':') +
                     row.value(QStringLiteral("filename")).toString());
        if (row.value(QStringLiteral("filename")).toString() == QStringLiteral("Marmot wiki.url"))
            shortcutUsageKey = row.value(QStringLiteral("usageKey")).toString();
    }
    EXPECT_TRUE(found.contains(QStringLiteral("file:Marmot wiki.url")))
        << found.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(shortcutUsageKey, QStringLiteral("https://example.org/marmot"));
    EXPECT_TRUE(found.contains(QStringLiteral("app:Marmot.app")))
        << found.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(found.contains(QStringLiteral("folder:marmot-notes")))
        << found.join(QLatin1Char(',')).toStdString();
}

TEST(OrvexSearchTool, ActivationPersistsAcrossProcesses) {
    test::makeDirectory(test::homePath() + QStringLiteral("/Projects/walrus"));
    const auto activate = runTool({QStringLiteral("--json"), QStringLiteral("--activate"),
                                   QStringLiteral("1"), QStringLiteral("walrus")});
    ASSERT_EQ(activate.exitCode, 0) << activate.err.toStdString();
    const QJsonObject before = jsonRows(activate).at(0).toObject();
    EXPECT_EQ(before.value(QStringLiteral("filename")).toString(), QStringLiteral("walrus"));
    EXPECT_EQ(before.value(QStringLiteral("openCount")).toInteger(), 0);

    // A new process reads the learned count and the recent list back from the defaults file.
    const auto again = runTool({QStringLiteral("--json"), QStringLiteral("walrus")});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    const QJsonObject after = jsonRows(again).at(0).toObject();
    EXPECT_EQ(after.value(QStringLiteral("filename")).toString(), QStringLiteral("walrus"));
    EXPECT_EQ(after.value(QStringLiteral("openCount")).toInteger(), 1);
    EXPECT_TRUE(after.value(QStringLiteral("isRecentActivation")).toBool());
    EXPECT_GT(after.value(QStringLiteral("relevanceScore")).toInteger(),
              before.value(QStringLiteral("relevanceScore")).toInteger());

    const auto outOfRange =
        runTool({QStringLiteral("--activate"), QStringLiteral("9"), QStringLiteral("walrus")});
    EXPECT_EQ(outOfRange.exitCode, 1);
    EXPECT_TRUE(outOfRange.err.contains("there is no row 9"));
}

TEST(OrvexSearchTool, BadArgumentsPrintUsage) {
    for (const QStringList &arguments :
         {QStringList{}, QStringList{QStringLiteral("--bogus"), QStringLiteral("x")},
          QStringList{QStringLiteral("--activate"), QStringLiteral("zero"), QStringLiteral("x")},
          QStringList{QStringLiteral("--json")},
          // Every run answers from freshly crawled sources, so there is no cache to bypass.
          QStringList{QStringLiteral("--fresh"), QStringLiteral("x")},
          QStringList{QStringLiteral("--wait"), QStringLiteral("x")},
          QStringList{QStringLiteral("--wait"), QStringLiteral("-1"), QStringLiteral("x")},
          QStringList{QStringLiteral("--wait"), QStringLiteral("nan"), QStringLiteral("x")},
          QStringList{QStringLiteral("--wait"), QStringLiteral("1e9"), QStringLiteral("x")}}) {
        const auto run = runTool(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.startsWith("usage: orvex-search")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

// An answer that cannot be written is a failure, not a success with nothing said.
TEST(OrvexSearchTool, UnwritableAnswerFails) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    test::makeDirectory(test::homePath() + QStringLiteral("/Documents"));
    for (const QStringList &arguments : {QStringList{QStringLiteral("--json"), QStringLiteral("~/Documents")},
                                         QStringList{QStringLiteral("~/Documents")}}) {
        const auto run = runTool(arguments, QStringLiteral("/dev/full"));
        EXPECT_EQ(run.exitCode, 1) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.contains("cannot write standard output")) << run.err.toStdString();
    }
}

// Names come from the disk and the index: control characters in them must not reach the terminal,
// where they could move the cursor, rewrite earlier lines or split one row over several lines; line
// separators and direction overrides would forge a row or show it in another order.
TEST(OrvexSearchTool, TableShowsControlCharactersOfNamesHarmlessly) {
    const struct {
        const char *what;
        QString name;
    } cases[] = {
        {"C0 and C1 controls", QStringLiteral("evil\x1b]0;title\x07\nfake row\r\x7f\u009b2J")},
        {"line and paragraph separators", QStringLiteral("evil\u2028fake row\u2029more")},
        {"direction overrides and isolates",
         QStringLiteral(
             "evil\u202e\u202d\u202a\u202b\u202cfake row\u2066\u2067\u2068\u2069\u200e\u200f\u061c")},
    };
    const QString home = test::homePath();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::makeDirectory(home + QLatin1Char('/') + c.name);
        const auto run = runTool({QStringLiteral("~/") + c.name});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QString out = QString::fromUtf8(run.out);
        EXPECT_EQ(out.count(QLatin1Char('\n')), 1) << "one row, one line: " << run.out.toStdString();
        static const QString formatting =
            QStringLiteral("\u061c\u200e\u200f\u202a\u202b\u202c\u202d\u202e\u2066\u2067\u2068\u2069");
        for (const QChar ch : out.chopped(1)) {
            const bool harmful = ch.category() == QChar::Other_Control ||
                                 ch.category() == QChar::Separator_Line ||
                                 ch.category() == QChar::Separator_Paragraph || formatting.contains(ch);
            EXPECT_FALSE(harmful) << "U+" << std::hex << int(ch.unicode());
        }
        EXPECT_TRUE(out.contains(QStringLiteral("evil"))) << run.out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("fake row"))) << run.out.toStdString();

        // The JSON answer keeps the name exactly; JSON escapes what it must.
        const auto json = runTool({QStringLiteral("--json"), QStringLiteral("~/") + c.name});
        ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
        const QJsonArray rows = QJsonDocument::fromJson(json.out).array();
        ASSERT_EQ(rows.size(), 1) << json.out.toStdString();
        EXPECT_EQ(rows.at(0).toObject().value(QStringLiteral("filename")).toString(), c.name);
    }
}

} // namespace
} // namespace orvex
