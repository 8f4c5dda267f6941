#include "hotkey-core/KeyboardLayout.h"
#include "hotkey-core/KeyCodeTable.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

KeyboardLayout compiled(const QString &layouts, quint32 group = 0) {
    const auto layout = KeyboardLayout::fromNames(layouts, {}, {}, group);
    if (!layout)
        ADD_FAILURE() << "layout " << layouts.toStdString() << " does not compile";
    return *layout;
}

struct CurrentLayout {
    explicit CurrentLayout(const QString &layouts) { KeyboardLayout::setCurrent(compiled(layouts)); }
    ~CurrentLayout() { KeyboardLayout::setCurrent(std::nullopt); }
};

TEST(KeyboardLayout, FindsTheFirstKeyAndLevelThatTypeACharacter) {
    const quint32 option = optionKey; // the third level, AltGr
    const struct {
        const char *layout;
        QString character;
        std::optional<KeyboardLayoutShortcut> expected;
    } cases[] = {
        {"us", QStringLiteral("a"), KeyboardLayoutShortcut{0, 0}},
        {"us", QStringLiteral("A"), KeyboardLayoutShortcut{0, 0}},
        {"us", QStringLiteral("z"), KeyboardLayoutShortcut{6, 0}},
        {"us", QStringLiteral("!"), KeyboardLayoutShortcut{18, shiftKey}},
        {"us", QStringLiteral("@"), KeyboardLayoutShortcut{19, shiftKey}},
        {"us", QStringLiteral(" "), KeyboardLayoutShortcut{49, 0}},
        {"us", QStringLiteral("\u00B4"), std::nullopt},
        {"de", QStringLiteral("a"), KeyboardLayoutShortcut{0, 0}},
        {"de", QStringLiteral("z"), KeyboardLayoutShortcut{16, 0}},
        {"de", QStringLiteral("y"), KeyboardLayoutShortcut{6, 0}},
        {"de", QStringLiteral("!"), KeyboardLayoutShortcut{18, shiftKey}},
        {"de", QStringLiteral("@"), KeyboardLayoutShortcut{12, option}},
        {"de", QStringLiteral("\u00FC"), KeyboardLayoutShortcut{33, 0}},
        {"de", QStringLiteral("U\u0308"), KeyboardLayoutShortcut{33, 0}}, // decomposed Ü
        // Dead keys type nothing by themselves.
        {"de", QStringLiteral("\u00B4"), std::nullopt},
        {"de", QStringLiteral("^"), std::nullopt},
        {"fr", QStringLiteral("a"), KeyboardLayoutShortcut{12, 0}},
        {"fr", QStringLiteral("z"), KeyboardLayoutShortcut{13, 0}},
        {"fr", QStringLiteral("q"), KeyboardLayoutShortcut{0, 0}},
        {"fr", QStringLiteral("!"), KeyboardLayoutShortcut{44, 0}},
        {"fr", QStringLiteral("1"), KeyboardLayoutShortcut{18, shiftKey}},
        {"fr", QStringLiteral("@"), KeyboardLayoutShortcut{0, option}},
        {"fr", QStringLiteral("\u00E9"), KeyboardLayoutShortcut{19, 0}},
        {"fr", QStringLiteral("^"), KeyboardLayoutShortcut{25, option}},
        {"fr", QStringLiteral("\u00A8"), std::nullopt},
        {"us", QStringLiteral("\u0416"), std::nullopt},
        {"us", QString(), std::nullopt},
        {"us", QString(QChar(0xF700)), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " " + c.character.toStdString());
        EXPECT_EQ(compiled(QString::fromLatin1(c.layout)).shortcutForCharacter(c.character), c.expected);
    }
}

TEST(KeyboardLayout, SelectedGroupDecides) {
    EXPECT_EQ(compiled(QStringLiteral("us,de"), 0).shortcutForCharacter(QStringLiteral("z")),
              (KeyboardLayoutShortcut{6, 0}));
    EXPECT_EQ(compiled(QStringLiteral("us,de"), 1).shortcutForCharacter(QStringLiteral("z")),
              (KeyboardLayoutShortcut{16, 0}));
}

TEST(KeyboardLayout, EveryKeyPositionExistsOnAPcKeyboardAndMapsBack) {
    const KeyboardLayout us = compiled(QStringLiteral("us"));
    int positions = 0;
    for (quint32 keyCode = 0; keyCode < 256; ++keyCode) {
        const auto name = xkbKeyNameForKeyCode(keyCode);
        if (!name)
            continue;
        ++positions;
        SCOPED_TRACE(keyCode);
        EXPECT_EQ(keyCodeForXkbKeyName(*name), keyCode);
        const auto x11 = us.x11KeyCodeForKeyCode(keyCode);
        ASSERT_TRUE(x11.has_value()) << name->toStdString();
        EXPECT_EQ(us.keyCodeForX11KeyCode(*x11), keyCode);
    }
    EXPECT_GT(positions, 100);
    // The X11 key codes of the evdev keyboard, as Qt reports them.
    EXPECT_EQ(us.x11KeyCodeForKeyCode(0), 38u);
    EXPECT_EQ(us.x11KeyCodeForKeyCode(49), 65u);
    EXPECT_EQ(us.keyCodeForX11KeyCode(37), 59u);          // left Control
    EXPECT_EQ(us.x11KeyCodeForKeyCode(63), std::nullopt); // Function has no X11 key
    EXPECT_EQ(us.keyCodeForX11KeyCode(248), std::nullopt);
}

TEST(KeyboardLayout, ModifierMasksAndTextOfKeys) {
    const KeyboardLayout de = compiled(QStringLiteral("de"));
    EXPECT_EQ(de.levelThreeModifierMask(), 0x80u); // Mod5
    EXPECT_EQ(de.numLockModifierMask(), 0x10u);    // Mod2
    EXPECT_EQ(de.textIgnoringModifiers(52, false), QStringLiteral("y"));
    EXPECT_EQ(de.textIgnoringModifiers(11, true), QStringLiteral("\""));
    EXPECT_EQ(de.textIgnoringModifiers(21, false), QString()); // dead acute
}

TEST(KeyboardLayout, ResolvesHotKeysOnTheCurrentLayout) {
    const struct {
        HotKeySettings settings;
        KeyboardLayoutShortcut expected;
    } cases[] = {
        {HotKeySettings(true, 6, controlKey, QStringLiteral("z")), {16, controlKey}},
        {HotKeySettings(true, 6, controlKey), {6, controlKey}},
        {HotKeySettings(true, 19, controlKey, QStringLiteral("@")), {12, controlKey | optionKey}},
        {HotKeySettings(true, 18, controlKey | shiftKey, QStringLiteral("!")), {18, controlKey | shiftKey}},
        // Not on this layout: the stored key.
        {HotKeySettings(true, 7, cmdKey, QStringLiteral("\u0436")), {7, cmdKey}},
    };
    EXPECT_EQ(keyboardLayoutShortcut(QStringLiteral("a")), std::nullopt) << "no layout is current yet";
    const CurrentLayout de(QStringLiteral("de"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.settings.character.value_or(QStringLiteral("-")).toStdString());
        EXPECT_EQ(resolvedGlobalHotKeyShortcut(c.settings), c.expected);
    }
}

} // namespace
} // namespace orvex
