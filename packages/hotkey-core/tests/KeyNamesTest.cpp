#include "hotkey-core/KeyNames.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

// Both forms name keys as Linux users read them: Ctrl, Alt, Shift and Super, Backspace and Delete, never
// the glyphs of other systems.
TEST(KeyNames, HotKeySettingsShowInReadableAndCompactForm) {
    const struct {
        const char *name;
        HotKeySettings settings;
        QString readable;
        QString symbols;
    } cases[] = {
        {"default", HotKeySettings::defaultSettings(), QStringLiteral("Control + Space"),
         QStringLiteral("Ctrl+Space")},
        {"disabled", HotKeySettings(false, 49, controlKey), QStringLiteral("Disabled"),
         QStringLiteral("Disabled")},
        {"modifiers in fixed order", HotKeySettings(true, 40, shiftKey | cmdKey, QStringLiteral("k")),
         QStringLiteral("Shift + Super + K"), QStringLiteral("Shift+Super+K")},
        {"all four", HotKeySettings(true, 0, cmdKey | shiftKey | optionKey | controlKey),
         QStringLiteral("Control + Alt + Shift + Super + A"), QStringLiteral("Ctrl+Alt+Shift+Super+A")},
        {"no modifier", HotKeySettings(true, 49, 0), QStringLiteral("Space"), QStringLiteral("Space")},
        {"key without a name", HotKeySettings(true, 105, controlKey), QStringLiteral("Control + Key 105"),
         QStringLiteral("Ctrl+Key 105")},
        {"keypad Enter", HotKeySettings(true, 76, optionKey), QStringLiteral("Alt + Return"),
         QStringLiteral("Alt+Return")},
        {"character space", HotKeySettings(true, 6, controlKey, QStringLiteral(" ")),
         QStringLiteral("Control + Space"), QStringLiteral("Ctrl+Space")},
        {"character wins over key code", HotKeySettings(true, 6, controlKey, QStringLiteral("ß")),
         QStringLiteral("Control + SS"), QStringLiteral("Ctrl+SS")},
        {"function key", HotKeySettings(true, 96, controlKey), QStringLiteral("Control + F5"),
         QStringLiteral("Ctrl+F5")},
        {"arrow", HotKeySettings(true, 126, cmdKey), QStringLiteral("Super + Up"),
         QStringLiteral("Super+Up")},
        {"backspace", HotKeySettings(true, 51, shiftKey), QStringLiteral("Shift + Backspace"),
         QStringLiteral("Shift+Backspace")},
        {"forward delete", HotKeySettings(true, 117, controlKey), QStringLiteral("Control + Delete"),
         QStringLiteral("Ctrl+Delete")},
        {"grave accent", HotKeySettings(true, 50, controlKey), QStringLiteral("Control + `"),
         QStringLiteral("Ctrl+`")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hotKeyDisplayString(c.settings), c.readable);
        EXPECT_EQ(hotKeySymbolDisplayString(c.settings), c.symbols);
        if (c.settings.isEnabled) {
            EXPECT_EQ(keyShortcutDisplayString(KeyShortcut(c.settings)), c.readable);
            EXPECT_EQ(keyShortcutSymbolDisplayString(KeyShortcut(c.settings)), c.symbols);
        }
    }
}

TEST(KeyNames, HotKeySettingsWithAnUnnormalisedCharacterShowItNormalised) {
    HotKeySettings settings(true, 6, controlKey);
    settings.character = QStringLiteral("zy"); // as a decoder may leave it
    EXPECT_EQ(hotKeyDisplayString(settings), QStringLiteral("Control + Z"));
    settings.character = QString(QChar(0xF700));
    EXPECT_EQ(hotKeyDisplayString(settings), QStringLiteral("Control + Z"));
}

TEST(KeyNames, PartsAndMissingShortcut) {
    EXPECT_EQ(keyShortcutDisplayString(std::nullopt), QStringLiteral("Not Set"));
    EXPECT_EQ(keyShortcutSymbolDisplayString(std::nullopt), QStringLiteral("Not Set"));
    EXPECT_EQ(hotKeyModifierReadableString(0), QString());
    EXPECT_EQ(hotKeyModifierSymbolString(0), QString());
    EXPECT_EQ(hotKeyModifierSymbolString(controlKey | optionKey), QStringLiteral("Ctrl+Alt"));
    EXPECT_EQ(hotKeyModifierReadableString(0x1 | controlKey), QStringLiteral("Control"));
    EXPECT_EQ(hotKeyKeyReadableString(36), QStringLiteral("Return"));
    EXPECT_EQ(hotKeyKeySymbolString(53), QStringLiteral("Escape"));
    EXPECT_EQ(hotKeyKeySymbolString(51), QStringLiteral("Backspace"));
    EXPECT_EQ(hotKeyKeySymbolString(48), QStringLiteral("Tab"));
    EXPECT_EQ(hotKeyKeyReadableString(4294967295u), QStringLiteral("Key 4294967295"));
    const KeyShortcut letter(40, controlKey, QStringLiteral("k"));
    EXPECT_EQ(keyShortcutKeyReadableString(letter), QStringLiteral("K"));
    EXPECT_EQ(keyShortcutKeySymbolString(KeyShortcut(123, controlKey)), QStringLiteral("Left"));
}

} // namespace
} // namespace orvex
