// The settings window and an open launcher panel on one defaults database and one notification centre,
// as in the running launcher.
#include "settings/AppearanceSettingsSection.h"
#include "settings/SettingsView.h"
#include "settings/ThemePreviewCard.h"

#include "SettingsTestSupport.h"
#include "fixtures/FakeWorkspace.h"

#include "panel/ContentView.h"
#include "panel/LauncherThemeCatalog.h"
#include "panel/SearchState.h"
#include "search/PersistentQueryResultCacheStore.h"

#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(SettingsAndPanel, AThemeChosenInTheSettingsRecoloursTheOpenPanel) {
    test::SettingsViewFixture settings;
    test::FakeWorkspace workspace;
    ContentViewEnvironment environment;
    environment.search.defaults = &settings.defaults;
    environment.search.notificationCenter = &settings.recorder.center();
    environment.search.search = [](const QString &, bool) { return SearchResults(); };
    environment.search.persistentQueryCacheStore = PersistentQueryResultCacheStoreRegistry::store(
        SearchState::persistentQueryCacheStoreKey, settings.defaults);
    environment.terminate = [] {};
    ContentView panel(workspace, std::move(environment));
    panel.resize(600, 200);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_EQ(panel.launcherThemeID(), LauncherThemeID::graphite);
    const QPoint inside(300, 150);
    const QColor before = panel.grab().toImage().pixelColor(inside);

    const QList<ThemePreviewCard *> &cards = settings.view->appearanceSection()->grid()->cards();
    const auto daylight = std::find_if(cards.begin(), cards.end(), [](const ThemePreviewCard *card) {
        return card->theme().id == LauncherThemeID::daylight;
    });
    ASSERT_NE(daylight, cards.end());
    (*daylight)->click();

    EXPECT_EQ(panel.launcherThemeID(), LauncherThemeID::daylight);
    EXPECT_EQ(panel.theme(), LauncherThemeCatalog::theme(LauncherThemeID::daylight));
    // The dark panel turned light where nothing but its background is drawn.
    const QColor after = panel.grab().toImage().pixelColor(inside);
    EXPECT_LT(before.lightness(), 100);
    EXPECT_GT(after.lightness(), 180);
}

} // namespace
} // namespace orvex
