#include "launch-at-login/LaunchAtLoginPreferenceStore.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

const QString key = QStringLiteral("runAtLogin");

TEST(LaunchAtLoginPreferenceStore, OnlyAStoredBooleanCountsAsAWish) {
    struct Case {
        const char *name;
        std::optional<PlistValue> stored;
        std::optional<bool> storedValue;
    } cases[] = {
        {"absent", std::nullopt, std::nullopt},   {"true", PlistValue(true), true},
        {"false", PlistValue(false), false},      {"text", PlistValue(QStringLiteral("yes")), std::nullopt},
        {"integer", PlistValue(1), std::nullopt}, {"real", PlistValue(1.0), std::nullopt},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        if (c.stored)
            defaults.set(key, *c.stored);
        const LaunchAtLoginPreferenceStore store(defaults, key);
        EXPECT_EQ(store.storedValue(), c.storedValue) << c.name;
        EXPECT_EQ(store.load(true), c.storedValue.value_or(true)) << c.name;
        EXPECT_EQ(store.load(false), c.storedValue.value_or(false)) << c.name;
    }
}

TEST(LaunchAtLoginPreferenceStore, SaveWritesABooleanUnderTheKey) {
    UserDefaults defaults;
    defaults.set(key, QStringLiteral("yes"));
    const LaunchAtLoginPreferenceStore store(defaults, key);
    store.save(false);
    EXPECT_EQ(defaults.boolValue(key), false);
    EXPECT_EQ(store.storedValue(), false);
    store.save(true);
    EXPECT_EQ(store.load(false), true);
}

} // namespace
} // namespace orvex
