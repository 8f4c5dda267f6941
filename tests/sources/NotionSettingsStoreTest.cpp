#include "sources/NotionSettingsStore.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(NotionSettingsStore, TheSwitchFollowsTheTokenUnlessStored) {
    struct Case {
        const char *name;
        std::optional<PlistValue> enabled;
        std::optional<PlistValue> token;
        bool expectEnabled;
        bool expectToken;
        QString expectTrimmed;
    };
    const QString secret = QStringLiteral("ntn_secret");
    const Case cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, false, false, {}},
        {"a token turns it on", std::nullopt, QStringLiteral(" \tntn_secret\n"), true, true, secret},
        {"a blank token does not", std::nullopt, QStringLiteral(" \n\u2028 "), false, false, {}},
        {"a token of another type counts as none", std::nullopt, PlistValue(qint64(5)), false, false, {}},
        {"switched off with a token", false, secret, false, true, secret},
        {"switched on without a token", true, std::nullopt, true, false, {}},
        {"a switch stored as a number", PlistValue(qint64(1)), std::nullopt, true, false, {}},
        {"a switch stored as zero", PlistValue(0.0), secret, false, true, secret},
        {"a switch stored as YES", QStringLiteral("YES"), std::nullopt, true, false, {}},
        {"a switch stored as no", QStringLiteral("no"), secret, false, true, secret},
        {"a switch stored as data", QByteArray("1"), secret, false, true, secret},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults defaults;
        const NotionSettingsStore store = NotionSettingsStore::withDefaults(defaults);
        if (c.enabled)
            defaults.set(store.enabledKey, *c.enabled);
        if (c.token)
            defaults.set(store.tokenKey, *c.token);
        EXPECT_EQ(store.loadEnabled(), c.expectEnabled);
        EXPECT_EQ(store.hasToken(), c.expectToken);
        EXPECT_EQ(store.trimmedToken(), c.expectTrimmed);
    }
}

TEST(NotionSettingsStore, TheStandardStoreUsesTheStandardDefaultsAndKeys) {
    const NotionSettingsStore &store = NotionSettingsStore::standard();
    EXPECT_EQ(store.defaults, &UserDefaults::standard());
    EXPECT_EQ(store.tokenKey, QStringLiteral("notionIntegrationToken"));
    EXPECT_EQ(store.enabledKey, QStringLiteral("notionSearchEnabled"));
    EXPECT_EQ(QString(NotificationName::notionSettingsChanged), QStringLiteral("NotionSettingsChanged"));
}

} // namespace
} // namespace orvex
