#include "fixtures/UsageFixture.h"
#include "platform/UserDefaults.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

namespace orvex {
namespace {

using test::appRow;

const QString kCountsKey = QStringLiteral("launcherPathOpenCounts");
constexpr qint64 kMax = std::numeric_limits<qint64>::max();

SearchResult notionRow(std::optional<QString> usageKey, std::optional<QString> address,
                       std::optional<QString> fallback) {
    return SearchResult({.id = -77,
                         .filename = QStringLiteral("Roadmap"),
                         .kind = SearchResultKind::action,
                         .action = SearchResultAction::openNotionPage,
                         .actionURLString = std::move(address),
                         .fallbackActionURLString = std::move(fallback),
                         .usageKey = std::move(usageKey)});
}

TEST(LearnedOpenCount, OneBadValueDoesNotCostTheOtherCounts) {
    test::ManagerFixture fixture;
    fixture.defaults->set(kCountsKey,
                          PlistValue(PlistValue::Dictionary{
                              {QStringLiteral("/applications/a.app"), 3},
                              {QStringLiteral("/applications/b.app"), PlistValue(QStringLiteral("x"))},
                              {QStringLiteral("/applications/c.app"), 2.5},
                              {QStringLiteral("/applications/d.app"), -4},
                          }));
    auto manager = fixture.makeManager();
    EXPECT_EQ(manager->learnedOpenCount(appRow(QStringLiteral("A.app")), 0), 3);
    EXPECT_EQ(manager->learnedOpenCount(appRow(QStringLiteral("B.app")), 1), 1);
    EXPECT_EQ(manager->learnedOpenCount(appRow(QStringLiteral("D.app")), 0), 0);

    // The next write replaces the stored dictionary with the valid entries.
    manager->recordActivation(appRow(QStringLiteral("E.app")));
    EXPECT_EQ(test::storedOpenCounts(fixture),
              (QMap<QString, qint64>{{QStringLiteral("/applications/a.app"), 3},
                                     {QStringLiteral("/applications/e.app"), 1}}));
}

TEST(LearnedOpenCount, AStoredValueThatIsNoDictionaryReadsAsEmpty) {
    test::ManagerFixture fixture;
    fixture.defaults->set(kCountsKey, PlistValue(QStringLiteral("oops")));
    auto manager = fixture.makeManager();
    EXPECT_EQ(manager->learnedOpenCount(appRow(QStringLiteral("A.app")), 2), 2);
    manager->recordActivation(appRow(QStringLiteral("A.app")));
    EXPECT_EQ(test::storedOpenCounts(fixture),
              (QMap<QString, qint64>{{QStringLiteral("/applications/a.app"), 1}}));
}

TEST(LearnedOpenCount, CountsSaturateAtTheLargestInteger) {
    test::ManagerFixture fixture;
    fixture.defaults->set(kCountsKey,
                          PlistValue(PlistValue::Dictionary{{QStringLiteral("/applications/a.app"), kMax}}));
    auto manager = fixture.makeManager();
    manager->recordActivation(appRow(QStringLiteral("A.app"), kMax));
    EXPECT_EQ(test::storedOpenCounts(fixture).value(QStringLiteral("/applications/a.app")), kMax);
    EXPECT_EQ(manager->learnedOpenCount(appRow(QStringLiteral("A.app")), 0), kMax);
    EXPECT_EQ(
        test::storedRecentActivations(fixture)[0].toObject().value(QLatin1String("openCount")).toInteger(),
        kMax);
}

TEST(LearnedOpenCount, TakesTheLargestOfTheIndexCountAndEveryIdentifier) {
    test::ManagerFixture fixture;
    fixture.defaults->set(kCountsKey, PlistValue(PlistValue::Dictionary{
                                          {QStringLiteral("/applications/a.app"), 4},
                                          {QStringLiteral("notion://page/abc"), 2},
                                          {QStringLiteral("https://www.notion.so/abc"), 7},
                                      }));
    auto manager = fixture.makeManager();
    EXPECT_EQ(manager->learnedOpenCount(appRow(QStringLiteral("A.APP")), 1), 4);
    EXPECT_EQ(manager->learnedOpenCount(appRow(QStringLiteral("A.app")), 6), 6);
    EXPECT_EQ(manager->learnedOpenCount(notionRow(QStringLiteral("notion://page/abc"),
                                                  QStringLiteral("https://www.notion.so/ABC"), std::nullopt),
                                        0),
              7);
    // Only Notion rows look beyond their first identifier.
    const SearchResult bookmark({.kind = SearchResultKind::action,
                                 .action = SearchResultAction::openBrowserFavorite,
                                 .actionURLString = QStringLiteral("https://www.notion.so/abc"),
                                 .usageKey = QStringLiteral("notion://page/abc")});
    EXPECT_EQ(manager->learnedOpenCount(bookmark, 0), 2);
}

TEST(LearnedOpenCount, UsageLookupIdentifiers) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    struct Case {
        SearchResult row;
        QStringList expected;
    } cases[] = {
        {appRow(QStringLiteral("A.app")), {QStringLiteral("/Applications/A.app")}},
        {test::shortcutFileRow(QStringLiteral("/d/x.url"), QStringLiteral("https://X")),
         {QStringLiteral("https://X")}},
        {test::bookmarkRow(QStringLiteral("B"), QStringLiteral("https://b/")),
         {QStringLiteral("https://b/")}},
        {notionRow(QStringLiteral("notion://page/abc"), QStringLiteral("https://www.notion.so/abc"),
                   QStringLiteral("https://team.notion.site/Roadmap-abc")),
         {QStringLiteral("notion://page/abc"), QStringLiteral("https://www.notion.so/abc"),
          QStringLiteral("https://team.notion.site/Roadmap-abc")}},
        // Repeats differing only in case keep their first spelling.
        {notionRow(std::nullopt, QStringLiteral("https://www.notion.so/ABC"),
                   QStringLiteral("https://www.notion.so/abc")),
         {QStringLiteral("https://www.notion.so/ABC")}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(manager->usageLookupIdentifiers(c.row), c.expected) << c.row.filename().toStdString();
}

TEST(LearnedOpenCount, ANotionPageTakesItsLegacyCountBeforeCounting) {
    test::ManagerFixture fixture;
    fixture.defaults->set(kCountsKey, PlistValue(PlistValue::Dictionary{
                                          {QStringLiteral("notion://page/abc"), 2},
                                          {QStringLiteral("https://www.notion.so/abc"), 5},
                                      }));
    auto manager = fixture.makeManager();
    manager->recordActivation(notionRow(QStringLiteral("notion://page/abc"),
                                        QStringLiteral("https://www.notion.so/abc"), std::nullopt));
    EXPECT_EQ(test::storedOpenCounts(fixture),
              (QMap<QString, qint64>{{QStringLiteral("notion://page/abc"), 6},
                                     {QStringLiteral("https://www.notion.so/abc"), 5}}));
}

TEST(LearnedOpenCount, ShortcutFileExtensionsFollowTheRankingRules) {
    test::ManagerFixture fixture;
    SearchRankingSettingsStore(*fixture.defaults)
        .save({{QUuid::createUuid(), QStringLiteral(".tar.gz"), 10},
               {QUuid::createUuid(), QStringLiteral(".pdf"), 40},
               {QUuid::createUuid(), QStringLiteral(".gdoc.url"), 500}});
    auto manager = fixture.makeManager();
    EXPECT_EQ(manager->shortcutFileExtensions(),
              (QSet<QString>{QStringLiteral("url"), QStringLiteral("webloc"), QStringLiteral("gz"),
                             QStringLiteral("pdf")}));
}

TEST(LearnedOpenCount, ShortcutUsageKeysAreReadOnceForShortcutNamesOnly) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();
    const QString text = test::homePath() + QStringLiteral("/notes.txt");
    const QString shortcut = test::homePath() + QStringLiteral("/Plan.gdoc.URL");
    test::writeFile(text, "[InternetShortcut]\nURL=https://example.com/a\n");
    test::writeFile(shortcut, "[InternetShortcut]\nURL=https://example.com/a\n");

    EXPECT_FALSE(manager->cachedShortcutUsageKey(text, QStringLiteral("notes.txt")));
    EXPECT_EQ(manager->cachedShortcutUsageKey(shortcut, QStringLiteral("Plan.gdoc.URL")),
              QStringLiteral("https://example.com/a"));

    // Remembered by full path, also when the file no longer holds an address.
    test::writeFile(shortcut, "changed");
    test::writeFile(text, "changed");
    EXPECT_EQ(manager->cachedShortcutUsageKey(shortcut, QStringLiteral("Plan.gdoc.URL")),
              QStringLiteral("https://example.com/a"));
    const QString missing = test::homePath() + QStringLiteral("/gone.url");
    EXPECT_FALSE(manager->cachedShortcutUsageKey(missing, QStringLiteral("gone.url")));
    test::writeFile(missing, "[InternetShortcut]\nURL=https://example.com/b\n");
    EXPECT_FALSE(manager->cachedShortcutUsageKey(missing, QStringLiteral("gone.url")));
}

// Walked rows find their learned counts by a hash made at crawl time; counts learned after a search
// (and stored counts whose identifiers differ from the row's only in case) must still count.
TEST(LearnedOpenCount, WalkedRowsRiseByCountsLearnedBeforeAndAfterTheirKeys) {
    test::ManagerFixture fixture;
    fixture.defaults->set(kCountsKey,
                          PlistValue(PlistValue::Dictionary{{QStringLiteral("/work/b report.pdf"), 2}}));
    auto manager = fixture.makeManager();
    const auto row = [](const QString &name, std::optional<QString> usageKey = std::nullopt) {
        return SearchResult({.id = stableNegativeID(name),
                             .filename = name,
                             .directory = QStringLiteral("/Work"),
                             .kind = SearchResultKind::file,
                             .usageKey = std::move(usageKey)});
    };
    const SearchResults rows = {row(QStringLiteral("A report.pdf")), row(QStringLiteral("B report.pdf")),
                                row(QStringLiteral("C report.url"), QStringLiteral("https://Example.com/C"))};
    const SearchRankingPreferences preferences = SearchRankingSettingsStore(*fixture.defaults).load();
    const auto names = [&] {
        QStringList shown;
        for (const SearchResult &r :
             manager->filterAndSortPathResults(rows, QStringLiteral("report"), preferences))
            shown.append(r.filename() + QLatin1Char('=') + QString::number(r.openCount()));
        return shown;
    };
    EXPECT_EQ(names(), (QStringList{QStringLiteral("B report.pdf=2"), QStringLiteral("A report.pdf=0"),
                                    QStringLiteral("C report.url=0")}));

    // Learned after the first search: counted under the usage key, lowercased.
    for (int i = 0; i < 3; ++i)
        manager->recordActivation(rows.at(2));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("C report.url=3"), QStringLiteral("B report.pdf=2"),
                                    QStringLiteral("A report.pdf=0")}));
}

} // namespace
} // namespace orvex
