// Faults a user meets on the whole search road: a query typed, a row opened, the next query typed.
#include "fixtures/ManagerFixture.h"
#include "fixtures/TranslationFakeEngines.h"
#include "fixtures/UsageFixture.h"
#include "search/SearchRankingSettings.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// The translation source's placeholder rows: each opens the online dictionary and carries one of the
// subtitle phrases that give it a fixed score above every ordinary row.
SearchResult placeholderRow(const QString &subtitle) {
    return SearchResult(
        {.id = stableNegativeID(QStringLiteral("action://translation/placeholder/") + subtitle),
         .filename = QStringLiteral("Haus"),
         .directory = subtitle,
         .snippet = QStringLiteral("Haus"),
         .kind = SearchResultKind::action,
         .action = SearchResultAction::openBrowserFavorite,
         .actionURLString = QStringLiteral("https://www.dict.cc/?s=Haus")});
}

SearchResults recentRows(DatabaseManager &manager, const QString &query) {
    return manager.searchRecentActivationResults(query, SearchRankingPreferences(ExtensionBoostRules{}));
}

TEST(OpenedTranslationPlaceholder, IsNotOfferedAgainAsARecentRow) {
    const QString subtitles[] = {
        QStringLiteral("EN <-> DE · Translating locally... · Enter opens dict.cc"),
        QStringLiteral("DE -> EN · Local engine unavailable · Enter opens dict.cc"),
        QStringLiteral("DE -> EN · Local result unchanged · Enter opens dict.cc"),
    };
    for (const QString &subtitle : subtitles) {
        SCOPED_TRACE(subtitle.toStdString());
        test::ManagerFixture fixture;
        auto manager = fixture.makeManager();
        manager->recordActivation(placeholderRow(subtitle));
        EXPECT_TRUE(test::storedRecentActivations(fixture).isEmpty());
        EXPECT_TRUE(recentRows(*manager, QStringLiteral("s")).isEmpty());
        // The dictionary address still counts as opened.
        EXPECT_EQ(test::storedOpenCounts(fixture).value(QStringLiteral("https://www.dict.cc/?s=haus")), 1);
    }
}

TEST(OpenedTranslationPlaceholder, RememberedByAnEarlierVersionIsNotOffered) {
    test::ManagerFixture fixture;
    // One such record and one bookmark, as an earlier version stored them.
    QJsonArray records;
    for (const SearchResult &row :
         {placeholderRow(QStringLiteral("EN <-> DE · Translating locally... · Enter opens dict.cc")),
          test::bookmarkRow(QStringLiteral("Shop"), QStringLiteral("https://shop.example/"))}) {
        records.append(QJsonObject{{QStringLiteral("id"), row.id()},
                                   {QStringLiteral("filename"), row.filename()},
                                   {QStringLiteral("directory"), row.directory()},
                                   {QStringLiteral("openCount"), 1},
                                   {QStringLiteral("kind"), QStringLiteral("action")},
                                   {QStringLiteral("action"), QStringLiteral("openBrowserFavorite")},
                                   {QStringLiteral("actionURLString"), *row.actionURLString()},
                                   {QStringLiteral("isDirectPathMatch"), false},
                                   {QStringLiteral("activatedAt"), 800000000.0}});
    }
    fixture.defaults->set(QStringLiteral("launcherPathOpenCounts.recentActivations"),
                          PlistValue(QJsonDocument(records).toJson(QJsonDocument::Compact)));
    auto manager = fixture.makeManager();
    const SearchResults recent = recentRows(*manager, QStringLiteral("s"));
    ASSERT_EQ(recent.size(), 1);
    EXPECT_EQ(recent[0].filename(), QStringLiteral("Shop"));
}

TEST(OpenedTranslationPlaceholder, DoesNotTopTheNextOrdinaryQuery) {
    test::ManagerFixture fixture;
    auto engines = std::make_shared<test::FakeTranslationEngines>();
    engines->setAvailable(TranslationEngineID::apple, false);
    engines->hold();
    StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
    sources.translationEngines = engines;
    auto manager = fixture.makeManager(sources);

    const SearchResults command = manager->search(QStringLiteral("cc Haus"), true);
    ASSERT_FALSE(command.isEmpty());
    ASSERT_EQ(command[0].relevanceScore(), 9500);
    manager->recordActivation(command[0]);
    engines->release();
    manager->waitForBackgroundTasks();

    for (const QString &query : {QStringLiteral("haus"), QStringLiteral("www"), QStringLiteral("s")}) {
        SCOPED_TRACE(query.toStdString());
        for (const SearchResult &row : manager->search(query, false))
            EXPECT_FALSE(row.isRecentActivation())
                << row.filename().toStdString() << " | " << row.directory().toStdString();
    }
    manager->shutdown();
}

// A name written in decomposed form (as files copied from some systems are) and one in composed form:
// the user types either form and sees the same characters.
TEST(AccentedNames, MatchWhicheverUnicodeFormTheQueryOrTheNameUses) {
    const QString decomposedName = QStringLiteral("Zu\u0308rich Maps");
    const QString composedName = QStringLiteral("Caf\u00e9 Menu");
    const QString applications = test::homePath() + QStringLiteral("/Applications");
    test::makeDirectory(applications + QLatin1Char('/') + decomposedName + QStringLiteral(".app"));
    test::makeDirectory(applications + QLatin1Char('/') + composedName + QStringLiteral(".app"));
    test::ManagerFixture fixture;
    DatabaseManagerConfiguration configuration = fixture.configuration();
    configuration.appSearchRoots = {applications};
    auto manager = fixture.makeManager(configuration);
    manager->warmupFileSystemPermissions();

    const struct {
        QString query;
        QString name;
    } cases[] = {
        {QStringLiteral("Z\u00fcrich"), decomposedName},     // composed query, decomposed name
        {QStringLiteral("zu\u0308rich ma"), decomposedName}, // the name's own form
        {QStringLiteral("Cafe\u0301"), composedName},        // decomposed query, composed name
        {QStringLiteral("caf\u00e9 me"), composedName},      // the name's own form
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        const SearchResults rows = manager->search(c.query, false);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0].filename(), c.name + QStringLiteral(".app"));
        // Scored as a prefix of the name (500) of an application (600), like any other typed prefix.
        EXPECT_EQ(rows[0].relevanceScore().value_or(0) -
                      SearchRankingSettingsStore(*fixture.defaults).load().extensionBoost(rows[0]),
                  1100);
    }
}

} // namespace
} // namespace orvex
