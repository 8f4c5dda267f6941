#include "hotkey-core/HotKeySettings.h"
#include "hotkey-core/GlobalHotKeyManager.h"
#include "hotkey-core/HotKeySettingsStore.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>

namespace orvex {
namespace {

class HotKeySettingsStoreTest : public ::testing::Test {
protected:
    UserDefaults defaults;
    HotKeySettingsStore store{defaults, QStringLiteral("launcherHotKeyEnabled"),
                              QStringLiteral("launcherHotKeyCode"), QStringLiteral("launcherHotKeyModifiers"),
                              QStringLiteral("launcherHotKeyCharacter")};
    const HotKeySettings defaultSettings = HotKeySettings::defaultSettings();
};

TEST_F(HotKeySettingsStoreTest, EmptyDefaultsLoadTheDefaultControlSpace) {
    const HotKeySettings loaded = store.load(defaultSettings);
    EXPECT_EQ(loaded, HotKeySettings(true, 49, controlKey));
    EXPECT_FALSE(loaded.character.has_value());
}

TEST_F(HotKeySettingsStoreTest, EachStoredFieldLoadsOnItsOwnOrFallsBackToTheDefault) {
    struct Case {
        const char *name;
        QString key;
        PlistValue stored;
        HotKeySettings expected;
    };
    const QString code = store.keyCodeKey;
    const QString mask = store.modifiersKey;
    const QString enabled = store.enabledKey;
    const QString character = *store.characterKey;
    const qint64 largest = std::numeric_limits<quint32>::max();
    const Case cases[] = {
        {"mask 0 stays 0", mask, qint64(0), HotKeySettings(true, 49, 0)},
        {"key code as integer", code, qint64(12), HotKeySettings(true, 12, controlKey)},
        {"key code as whole real", code, 12.0, HotKeySettings(true, 12, controlKey)},
        {"largest key code", code, largest, HotKeySettings(true, quint32(largest), controlKey)},
        {"negative key code", code, qint64(-1), defaultSettings},
        {"key code past 32 bits", code, largest + 1, defaultSettings},
        {"negative mask", mask, qint64(-4096), defaultSettings},
        {"mask past 32 bits", mask, qint64(1) << 40, defaultSettings},
        {"fractional key code", code, 12.5, defaultSettings},
        {"huge real mask", mask, 1e300, defaultSettings},
        {"key code as text", code, QStringLiteral("12"), defaultSettings},
        {"disabled", enabled, false, HotKeySettings(false, 49, controlKey)},
        {"enabled flag as integer", enabled, qint64(0), defaultSettings},
        {"character lowercased", character, QStringLiteral("A"),
         HotKeySettings(true, 49, controlKey, QStringLiteral("a"))},
        {"only the first character", character, QStringLiteral("zx"),
         HotKeySettings(true, 49, controlKey, QStringLiteral("z"))},
        {"private-use character", character, QString(QChar(0xF700)), defaultSettings},
        {"control character", character, QStringLiteral("\u0007"), defaultSettings},
        {"empty character", character, QString(), defaultSettings},
        {"character of another type", character, qint64(7), defaultSettings},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults.remove(c.key);
        defaults.set(c.key, c.stored);
        EXPECT_EQ(store.load(defaultSettings), c.expected);
        defaults.remove(c.key);
    }
}

TEST_F(HotKeySettingsStoreTest, StoredCharacterFallsBackToTheDefaultsCharacterOnlyWhenAbsent) {
    const HotKeySettings withCharacter(true, 6, controlKey, QStringLiteral("z"));
    EXPECT_EQ(store.load(withCharacter).character, QStringLiteral("z"));
    defaults.set(*store.characterKey, QStringLiteral("Y"));
    EXPECT_EQ(store.load(withCharacter).character, QStringLiteral("y"));
    // Stored but unusable gives none, not the default's.
    defaults.set(*store.characterKey, QString());
    EXPECT_EQ(store.load(withCharacter).character, std::nullopt);
}

TEST_F(HotKeySettingsStoreTest, SaveWritesEveryFieldAndRemovesAMissingCharacter) {
    const HotKeySettings settings(false, 40, controlKey | shiftKey, QStringLiteral("k"));
    store.save(settings);
    EXPECT_EQ(defaults.boolValue(store.enabledKey), false);
    EXPECT_EQ(defaults.integerValue(store.keyCodeKey), 40);
    EXPECT_EQ(defaults.integerValue(store.modifiersKey), controlKey | shiftKey);
    EXPECT_EQ(defaults.stringValue(*store.characterKey), QStringLiteral("k"));
    EXPECT_EQ(store.load(defaultSettings), settings);

    store.save(HotKeySettings(true, 40, controlKey));
    EXPECT_FALSE(defaults.value(*store.characterKey).has_value());
    EXPECT_EQ(store.load(defaultSettings), HotKeySettings(true, 40, controlKey));

    // The largest codes survive the trip.
    const HotKeySettings extreme(true, std::numeric_limits<quint32>::max(),
                                 std::numeric_limits<quint32>::max());
    store.save(extreme);
    EXPECT_EQ(store.load(defaultSettings), extreme);
}

TEST_F(HotKeySettingsStoreTest, WithoutACharacterKeyTheCharacterIsNeitherReadNorWritten) {
    const HotKeySettingsStore plain(defaults, store.enabledKey, store.keyCodeKey, store.modifiersKey,
                                    std::nullopt);
    defaults.set(*store.characterKey, QStringLiteral("q"));
    EXPECT_EQ(plain.load(defaultSettings).character, std::nullopt);
    plain.save(HotKeySettings(true, 1, controlKey));
    EXPECT_EQ(defaults.stringValue(*store.characterKey), QStringLiteral("q"));
}

TEST(ShortcutCharacter, IsTheFirstGraphemeLowercasedWhenDisplayable) {
    const struct {
        QString text;
        std::optional<QString> expected;
    } cases[] = {
        {QStringLiteral("A"), QStringLiteral("a")},
        {QStringLiteral("\u00C9"), QStringLiteral("\u00E9")},
        {QStringLiteral("E\u0301x"), QStringLiteral("e\u0301")}, // one grapheme of two scalars
        {QStringLiteral("@"), QStringLiteral("@")},
        {QStringLiteral(" "), QStringLiteral(" ")},
        {QString(), std::nullopt},
        {QStringLiteral("\n"), std::nullopt},
        {QStringLiteral("\u200B"), std::nullopt}, // format character
        {QString(QChar(0xF702)), std::nullopt},   // what an arrow key types
        {QString::fromUcs4(U"\U000F0000"), std::nullopt},
        {QString::fromUcs4(U"\U0010FFFD"), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(normalizedShortcutCharacter(c.text), c.expected);
        EXPECT_EQ(KeyShortcut(0, controlKey, c.text).character, c.expected);
        EXPECT_EQ(HotKeySettings(true, 0, controlKey, c.text).character, c.expected);
    }
}

TEST(KeyShortcutValidity, NeedsAModifierAndAKeyThatIsNotOnlyAModifier) {
    for (quint32 keyCode = 54; keyCode <= 63; ++keyCode) {
        SCOPED_TRACE(keyCode);
        EXPECT_TRUE(isModifierOnlyKeyCode(keyCode));
        EXPECT_FALSE(isValidKeyShortcut(keyCode, controlKey | shiftKey | optionKey | cmdKey));
    }
    EXPECT_TRUE(isValidKeyShortcut(49, controlKey));
    EXPECT_TRUE(isValidKeyShortcut(0, cmdKey));
    EXPECT_TRUE(isValidKeyShortcut(53, shiftKey));
    EXPECT_FALSE(isValidKeyShortcut(49, 0));
    EXPECT_FALSE(isValidKeyShortcut(0, 0));
    // Bits other than the four modifiers do not make a bare key a shortcut.
    EXPECT_FALSE(isValidKeyShortcut(49, 0x1));
    EXPECT_FALSE(isValidKeyShortcut(49, 0x10000));
    EXPECT_TRUE(isValidKeyShortcut(49, 0x10000 | controlKey));
}

TEST(ModifierConversions, MapFourFlagsEachWayAndDropTheRest) {
    EXPECT_EQ(carbonModifiers(Qt::ControlModifier), controlKey);
    EXPECT_EQ(carbonModifiers(Qt::AltModifier), optionKey);
    EXPECT_EQ(carbonModifiers(Qt::ShiftModifier), shiftKey);
    EXPECT_EQ(carbonModifiers(Qt::MetaModifier), cmdKey);
    EXPECT_EQ(carbonModifiers(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u);
    const quint32 all = controlKey | optionKey | shiftKey | cmdKey;
    EXPECT_EQ(carbonModifiers(qtModifierFlags(all | 0x1 | 0x10000)), all);
    EXPECT_EQ(qtModifierFlags(0x1), Qt::KeyboardModifiers());
}

TEST(KeyShortcutConflicts, CompareCharactersWhenBothHaveOneElseKeyCodes) {
    const struct {
        const char *name;
        KeyShortcut a;
        KeyShortcut b;
        bool conflict;
    } cases[] = {
        {"same character, other key codes", KeyShortcut(6, controlKey, QStringLiteral("z")),
         KeyShortcut(16, controlKey, QStringLiteral("z")), true},
        {"same key code, other masks", KeyShortcut(49, controlKey), KeyShortcut(49, optionKey), false},
        {"same character, other masks", KeyShortcut(6, controlKey, QStringLiteral("z")),
         KeyShortcut(6, cmdKey, QStringLiteral("z")), false},
        {"other characters on the same key", KeyShortcut(6, controlKey, QStringLiteral("z")),
         KeyShortcut(6, controlKey, QStringLiteral("y")), false},
        {"one without character, same key", KeyShortcut(6, controlKey),
         KeyShortcut(6, controlKey, QStringLiteral("z")), true},
        {"one without character, other key", KeyShortcut(6, controlKey),
         KeyShortcut(7, controlKey, QStringLiteral("z")), false},
        {"ignored bits do not tell masks apart", KeyShortcut(49, controlKey | 0x1),
         KeyShortcut(49, controlKey), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keyShortcutsConflict(c.a, c.b), c.conflict);
        EXPECT_EQ(keyShortcutsConflict(c.b, c.a), c.conflict);
    }
}

TEST(HotKeySettingsJson, RoundTripsAndRefusesWhatCannotBeRepresented) {
    const HotKeySettings withCharacter(true, 6, controlKey | shiftKey, QStringLiteral("z"));
    EXPECT_EQ(HotKeySettings::fromJson(withCharacter.toJson()), withCharacter);
    const HotKeySettings plain = HotKeySettings::defaultSettings();
    EXPECT_FALSE(plain.toJson().contains(QStringLiteral("character")));
    EXPECT_EQ(HotKeySettings::fromJson(plain.toJson()), plain);
    const KeyShortcut shortcut(40, cmdKey, QStringLiteral("k"));
    EXPECT_EQ(KeyShortcut::fromJson(shortcut.toJson()), shortcut);
    EXPECT_EQ(KeyShortcut(HotKeySettings(false, shortcut)), shortcut);

    const char *refused[] = {
        R"({"isEnabled":true,"keyCode":-1,"modifiers":4096})",
        R"({"isEnabled":true,"keyCode":4294967296,"modifiers":4096})",
        R"({"isEnabled":true,"keyCode":1.5,"modifiers":4096})",
        R"({"isEnabled":true,"keyCode":"1","modifiers":4096})",
        R"({"isEnabled":1,"keyCode":1,"modifiers":4096})",
        R"({"isEnabled":true,"modifiers":4096})",
        R"({"isEnabled":true,"keyCode":1,"modifiers":4096,"character":5})",
    };
    for (const char *json : refused) {
        SCOPED_TRACE(json);
        EXPECT_EQ(HotKeySettings::fromJson(QJsonDocument::fromJson(json).object()), std::nullopt);
    }
    // Decoding keeps what was stored, unnormalised.
    const auto decoded = HotKeySettings::fromJson(
        QJsonDocument::fromJson(R"({"isEnabled":true,"keyCode":4294967295,"modifiers":0,"character":"AB"})")
            .object());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->keyCode, 4294967295u);
    EXPECT_EQ(decoded->character, QStringLiteral("AB"));
}

TEST(FourCharCode, FoldsTheFirstFourUtf8BytesBigEndian) {
    EXPECT_EQ(fourCharCode(QStringLiteral("LCHR")), 0x4C434852u);
    EXPECT_EQ(fourCharCode(QString()), 0u);
    EXPECT_EQ(fourCharCode(QStringLiteral("AB")), 0x4142u);
    EXPECT_EQ(fourCharCode(QStringLiteral("ABCDE")), fourCharCode(QStringLiteral("ABCD")));
    EXPECT_EQ(fourCharCode(QStringLiteral("\u00E9A")), 0xC3A941u);
}

} // namespace
} // namespace orvex
