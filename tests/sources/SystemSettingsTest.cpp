#include "fixtures/ManagerFixture.h"
#include "fixtures/ResultNames.h"
#include "fixtures/SystemSettingsFixture.h"
#include "search/SearchContext.h"
#include "sources/SystemSettingsPanes.h"
#include "support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// Readable failure messages for texts.
[[maybe_unused]] static void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace orvex {
namespace {

using test::titles;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAre;

QStringList titles(const SearchResults &rows) {
    return test::filenames(rows);
}

SystemSettingsShortcut pane(const QString &title, const QStringList &keywords = {}) {
    return {.title = title,
            .subtitle = QStringLiteral("System Settings"),
            .primaryURLString = QStringLiteral("x-apple.systempreferences:test.") + title,
            .fallbackURLString = std::nullopt,
            .keywords = keywords};
}

class SystemSettingsMatch : public ::testing::Test {
protected:
    SearchResults match(const QString &query, const QList<SystemSettingsShortcut> &panes) {
        return SystemSettingsPanes::rows(manager->searchContext(query), panes);
    }
    SearchResults matchBuiltIn(const QString &query) {
        return match(query, SystemSettingsPanes::seedShortcuts());
    }

    test::ManagerFixture fixture;
    std::unique_ptr<DatabaseManager> manager = fixture.makeManager();
};

TEST(SystemSettingsSeed, SixBuiltInPanesWithTheirOlderAddresses) {
    const QList<SystemSettingsShortcut> seed = SystemSettingsPanes::seedShortcuts();
    EXPECT_THAT(titles(seed), ElementsAre("Sound", "Displays", "Notifications", "Wallpaper", "Screen Time",
                                          "Time Machine"));
    for (const SystemSettingsShortcut &p : seed) {
        EXPECT_EQ(p.subtitle, QStringLiteral("System Settings"));
        EXPECT_TRUE(p.primaryURLString.startsWith(QStringLiteral("x-apple.systempreferences:com.apple.")));
        EXPECT_TRUE(p.primaryURLString.endsWith(QStringLiteral("-Settings.extension")));
        ASSERT_TRUE(p.fallbackURLString.has_value());
    }
    EXPECT_EQ(seed[5].fallbackURLString,
              QStringLiteral("x-apple.systempreferences:com.apple.preferences.TimeMachine"));
    EXPECT_EQ(seed[0].fallbackURLString,
              QStringLiteral("x-apple.systempreferences:com.apple.preference.sound"));
}

TEST_F(SystemSettingsMatch, BuiltInPanesByTitleAndKeyword) {
    const struct {
        const char *query;
        QStringList expected;
    } cases[] = {
        {"sound", {"Sound"}},
        {"lautsprecher", {"Sound"}},
        {"soun", {"Sound"}},
        {"bildschirm", {"Displays", "Screen Time"}},
        {"screen", {"Displays", "Screen Time"}},
        {"timemachine2", {"Screen Time", "Time Machine"}},
        {"time machine", {"Time Machine", "Screen Time"}}, // exact title beats the word "time" inside it
        {"hintergrund", {"Wallpaper"}},
        {"benachrichtigungen", {"Notifications"}},
        {"backups", {"Time Machine"}},
        {"xyzzy", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(titles(matchBuiltIn(QString::fromUtf8(c.query))), c.expected) << c.query;
}

TEST_F(SystemSettingsMatch, HigherTierBeatsTitleOrder) {
    const QList<SystemSettingsShortcut> panes = {pane(QStringLiteral("Aardvark"), {QStringLiteral("xylo")}),
                                                 pane(QStringLiteral("Xylophone"))};
    // "xylo": keyword equal (Aardvark) before title prefix (Xylophone).
    EXPECT_THAT(titles(match(QStringLiteral("xylo"), panes)), ElementsAre("Aardvark", "Xylophone"));
    // "xylophone": title equal before a keyword contained in the query.
    EXPECT_THAT(titles(match(QStringLiteral("xylophone"), panes)), ElementsAre("Xylophone", "Aardvark"));
    // A term that contains the query matches at the lowest tier.
    EXPECT_THAT(titles(match(QStringLiteral("phone"), panes)), ElementsAre("Xylophone"));
}

TEST_F(SystemSettingsMatch, KeepsTheTenFirstOfEqualTier) {
    QList<SystemSettingsShortcut> panes;
    for (int i : {7, 3, 10, 0, 9, 1, 5, 8, 2, 6, 4})
        panes.append(
            pane(QStringLiteral("Pane %1").arg(i, 2, 10, QLatin1Char('0')), {QStringLiteral("common")}));
    EXPECT_THAT(titles(match(QStringLiteral("common"), panes)),
                ElementsAre("Pane 00", "Pane 01", "Pane 02", "Pane 03", "Pane 04", "Pane 05", "Pane 06",
                            "Pane 07", "Pane 08", "Pane 09"));
}

TEST_F(SystemSettingsMatch, RowFields) {
    const SearchResults rows = matchBuiltIn(QStringLiteral("sound"));
    ASSERT_EQ(rows.size(), 1);
    const SearchResult &row = rows.first();
    const QString address = QStringLiteral("x-apple.systempreferences:com.apple.Sound-Settings.extension");
    EXPECT_EQ(row.id(), stableNegativeID(QStringLiteral("action://system-settings/") + address));
    EXPECT_EQ(row.filename(), QStringLiteral("Sound"));
    EXPECT_EQ(row.directory(), QStringLiteral("System Settings"));
    EXPECT_EQ(row.openCount(), 0);
    EXPECT_EQ(row.snippet(), std::nullopt);
    EXPECT_EQ(row.databaseID(), std::nullopt);
    EXPECT_EQ(row.kind(), SearchResultKind::action);
    EXPECT_EQ(row.action(), SearchResultAction::openSystemSettings);
    EXPECT_EQ(row.actionURLString(), address);
    EXPECT_EQ(row.fallbackActionURLString(),
              QStringLiteral("x-apple.systempreferences:com.apple.preference.sound"));
    EXPECT_FALSE(row.isDirectPathMatch());
    EXPECT_EQ(row.usageKey(), std::nullopt);
    EXPECT_FALSE(row.isRecentActivation());
    EXPECT_EQ(row.relevanceScore(), std::nullopt);
}

TEST_F(SystemSettingsMatch, EmptyTitlesAndQueriesMatchNothing) {
    // An empty text would be "contained" in every query.
    EXPECT_TRUE(match(QStringLiteral("anything"), {pane(QString(), {QString()})}).isEmpty());
    EXPECT_TRUE(matchBuiltIn(QString()).isEmpty());
}

TEST(SystemSettingsBundles, Acceptance) {
    const struct {
        const char *bundleIdentifier;
        const char *extensionPoint;
        bool accepted;
    } cases[] = {
        {"com.apple.Sound-Settings.extension", "", true},
        {"com.example.Anything", "com.apple.Settings.extension.ui", true},
        {"com.apple.systempreferences.AppleIDSettings", "", true},
        {"com.apple.wifi-settings-extension", "", true},
        {"com.apple.Mail.extension", "", false},
        {"com.apple.Mail.extension", "com.apple.widgetkit-extension", false},
        {"com.apple.systempreferences", "", false}, // no trailing point
        {"com.apple.Battery-Widget-Settings.extension", "", false},
        {"com.apple.Clock-Settings.extension.widget", "com.apple.Settings.extension.ui", false},
        {"com.apple.systempreferences.IntentsExtension", "", false},
        {"com.apple.FollowUpSettings.FollowUpSettingsExtension", "com.apple.Settings.extension.ui", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SystemSettingsPanes::shouldIncludeBundle(QString::fromUtf8(c.bundleIdentifier),
                                                           QString::fromUtf8(c.extensionPoint)),
                  c.accepted)
            << c.bundleIdentifier << " / " << c.extensionPoint;
}

TEST(SystemSettingsBundles, TitleCleanup) {
    const struct {
        const char *raw;
        const char *cleaned;
    } cases[] = {
        {"ControlCenterSettings", "Control Center"},
        {"Sound Settings Extension", "Sound"},
        {"  Keyboard Settings Intents Extension \n", "Keyboard"},
        {"Siri Intents Extension", "Siri"},
        {"Sharing Extension", "Sharing"},
        {"Game Center Settings", "Game Center"},
        {"Foo Extension Settings", "Foo Extension"}, // each ending is checked once, in order
        {"Extension", "Extension"},
        {"Touch ID", "Touch ID"},
        {"Class2Kit", "Class2 Kit"},
        {"a\t b\u00a0 c", "a b c"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SystemSettingsPanes::cleanupTitle(QString::fromUtf8(c.raw)), QString::fromUtf8(c.cleaned))
            << c.raw;
}

TEST(SystemSettingsBundles, Keywords) {
    EXPECT_THAT(
        SystemSettingsPanes::keywords(QStringLiteral("Wi-Fi"),
                                      QStringLiteral("com.apple.wifi-settings-extension")),
        UnorderedElementsAre("wi-fi", "wifi", "wireless", "wlan", "com", "apple", "settings", "extension"));
    // One-character pieces of the identifier are not words.
    EXPECT_THAT(SystemSettingsPanes::keywords(QStringLiteral("Lock Screen"),
                                              QStringLiteral("com.apple.Lock-Screen-Settings.x")),
                UnorderedElementsAre("lock screen", "sleep", "screen lock", "com", "apple", "lock", "screen",
                                     "settings"));
}

TEST(SystemSettingsMerge, BuiltInsWinAndTheListIsSortedByTitle) {
    const QList<SystemSettingsShortcut> seed = SystemSettingsPanes::seedShortcuts();
    const QList<SystemSettingsShortcut> discovered = {
        {.title = QStringLiteral("Sound Scanned"),
         .subtitle = QStringLiteral("System Settings"),
         // Another letter case of the built-in Sound address.
         .primaryURLString = QStringLiteral("x-apple.systempreferences:com.apple.sound-settings.extension"),
         .keywords = {QStringLiteral("scanned")}},
        pane(QStringLiteral("battery")),
        pane(QStringLiteral("Accessibility")),
        pane(QStringLiteral("Battery duplicate")),
    };
    QList<SystemSettingsShortcut> withTwin = discovered;
    withTwin[3].primaryURLString = withTwin[1].primaryURLString.toUpper();

    const QList<SystemSettingsShortcut> merged = SystemSettingsPanes::merge(seed, withTwin);
    EXPECT_THAT(titles(merged), ElementsAre("Accessibility", "battery", "Displays", "Notifications",
                                            "Screen Time", "Sound", "Time Machine", "Wallpaper"));
    const auto sound = std::find_if(merged.begin(), merged.end(), [](const SystemSettingsShortcut &p) {
        return p.title == QLatin1String("Sound");
    });
    ASSERT_NE(sound, merged.end());
    EXPECT_EQ(*sound, seed[0]);

    // An empty scan leaves the built-in six, sorted.
    EXPECT_THAT(
        titles(SystemSettingsPanes::merge(seed, {})),
        ElementsAre("Displays", "Notifications", "Screen Time", "Sound", "Time Machine", "Wallpaper"));
}

TEST(SystemSettingsScan, MissingOrNonFolderRootGivesNothing) {
    test::ManagerFixture fixture;
    EXPECT_TRUE(
        SystemSettingsPanes::discover(fixture.sourcesConfiguration().systemSettingsExtensionsRoot).isEmpty());
    EXPECT_TRUE(SystemSettingsPanes::discover(QString()).isEmpty());
    const QString file = test::homePath() + QStringLiteral("/not-a-folder");
    test::writeFile(file, "x");
    EXPECT_TRUE(SystemSettingsPanes::discover(file).isEmpty());
}

} // namespace
} // namespace orvex
