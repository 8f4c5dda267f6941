#include "settings/WindowSizeStore.h"

#include <gtest/gtest.h>

#include <limits>

namespace orvex {
namespace {

TEST(WindowSizeStore, LoadsEachAxisFromANumberAndClampsIt) {
    struct Case {
        const char *name;
        std::optional<PlistValue> width, height;
        QSize expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, QSize(980, 620)},
        {"reals", PlistValue(1000.0), PlistValue(700.0), QSize(1000, 700)},
        {"integers", PlistValue(qint64(1000)), PlistValue(qint64(700)), QSize(1000, 700)},
        {"below the limits", PlistValue(200.0), PlistValue(76.0), QSize(460, 420)},
        {"above the limits", PlistValue(5000.0), PlistValue(qint64(1) << 60), QSize(1200, 900)},
        {"a text counts as absent", PlistValue(QStringLiteral("1000")), PlistValue(700.0), QSize(980, 700)},
        {"not a finite number", PlistValue(nan), PlistValue(std::numeric_limits<double>::infinity()),
         QSize(980, 620)},
        {"only the height", std::nullopt, PlistValue(500.0), QSize(980, 500)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults defaults;
        const WindowSizeStore store = WindowSizeStore::settingsWindow(defaults);
        if (c.width)
            defaults.set(store.widthKey, *c.width);
        if (c.height)
            defaults.set(store.heightKey, *c.height);
        EXPECT_EQ(store.load(QSize(980, 620)), c.expected);
    }
}

TEST(WindowSizeStore, SavesTheClampedSizeAsReals) {
    UserDefaults defaults;
    const WindowSizeStore store = WindowSizeStore::settingsWindow(defaults);
    EXPECT_EQ(store.widthKey, "launcherSettingsWindowWidth");
    EXPECT_EQ(store.heightKey, "launcherSettingsWindowHeight");
    store.save(QSize(2000, 50));
    EXPECT_EQ(defaults.realValue(store.widthKey), 1200.0);
    EXPECT_EQ(defaults.realValue(store.heightKey), 420.0);
    store.save(QSize(1000, 700));
    EXPECT_EQ(store.load(QSize(980, 620)), QSize(1000, 700));
}

TEST(WindowSizeStore, TheMaximumWinsWhenLimitsCross) {
    UserDefaults defaults;
    const WindowSizeStore store(defaults, QStringLiteral("w"), QStringLiteral("h"), 500, 400, 300, 200);
    EXPECT_EQ(store.clamped(QSize(450, 250)), QSize(400, 200));
}

} // namespace
} // namespace orvex
