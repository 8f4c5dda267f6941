#include "hotkey-core/KeyEventShortcut.h"
#include "hotkey-core/KeyboardLayout.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

// X11 key codes of the evdev keyboard and modifier states, as Qt's xcb platform reports them.
constexpr quint32 x11Q = 24, x11W = 25, x11Z = 29, x11Y = 52, x11Two = 11, x11Slash = 61, x11Space = 65,
                  x11F5 = 71, x11Left = 113, x11ControlL = 37, x11Keypad1 = 87, x11Escape = 9;
constexpr quint32 stateControl = 0x4, stateShift = 0x1, stateAlt = 0x8, stateLevelThree = 0x80;

QKeyEvent nativeKey(quint32 scanCode, int key, Qt::KeyboardModifiers modifiers, quint32 state,
                    const QString &text = {}) {
    return QKeyEvent(QEvent::KeyPress, key, modifiers, scanCode, 0, state, text);
}

// A key event without hardware details, as synthesised events come.
QKeyEvent plainKey(int key, Qt::KeyboardModifiers modifiers, const QString &text = {}) {
    return QKeyEvent(QEvent::KeyPress, key, modifiers, text);
}

class KeyEventShortcutTest : public ::testing::Test {
protected:
    void use(const QString &layouts) { KeyboardLayout::setCurrent(KeyboardLayout::fromNames(layouts)); }
    void TearDown() override { KeyboardLayout::setCurrent(std::nullopt); }
};

TEST_F(KeyEventShortcutTest, KeyPressesBecomeShortcutsWithoutTheShiftTheirCharacterNeeds) {
    const auto ctrl = Qt::ControlModifier;
    const auto shift = Qt::ShiftModifier;
    const auto alt = Qt::AltModifier;
    const struct {
        const char *name;
        const char *layout;
        QKeyEvent event;
        std::optional<KeyShortcut> expected;
    } cases[] = {
        {"Shift+2 types @ and leaves no modifier", "us",
         nativeKey(x11Two, Qt::Key_At, shift, stateShift, "@"), std::nullopt},
        {"Control+Shift+2", "us", nativeKey(x11Two, Qt::Key_At, ctrl | shift, stateControl | stateShift),
         KeyShortcut(19, controlKey, QStringLiteral("@"))},
        {"Control+Z on German keys", "de", nativeKey(x11Z, Qt::Key_Z, ctrl, stateControl, "\x1a"),
         KeyShortcut(16, controlKey, QStringLiteral("z"))},
        {"Control+Y on German keys", "de", nativeKey(x11Y, Qt::Key_Y, ctrl, stateControl),
         KeyShortcut(6, controlKey, QStringLiteral("y"))},
        {"Control+Shift+2 on German keys", "de",
         nativeKey(x11Two, Qt::Key_QuoteDbl, ctrl | shift, stateControl | stateShift),
         KeyShortcut(19, controlKey, QStringLiteral("\""))},
        {"Control+A on French keys", "fr", nativeKey(x11Q, Qt::Key_A, ctrl, stateControl),
         KeyShortcut(12, controlKey, QStringLiteral("a"))},
        {"Alt keeps a letter plain", "de",
         nativeKey(x11Q, Qt::Key_Q, ctrl | alt, stateControl | stateAlt, "q"),
         KeyShortcut(12, controlKey | optionKey, QStringLiteral("q"))},
        {"Alt with punctuation keeps it", "us",
         nativeKey(x11Slash, Qt::Key_Slash, ctrl | alt, stateControl | stateAlt, "/"),
         KeyShortcut(44, controlKey | optionKey, QStringLiteral("/"))},
        {"AltGr is no modifier of the shortcut", "de",
         nativeKey(x11Q, Qt::Key_At, ctrl | Qt::GroupSwitchModifier, stateControl | stateLevelThree, "@"),
         KeyShortcut(12, controlKey, QStringLiteral("q"))},
        {"Super+W", "us", nativeKey(x11W, Qt::Key_W, Qt::MetaModifier, 0x40, "w"),
         KeyShortcut(13, cmdKey, QStringLiteral("w"))},
        {"Control+Space", "us", nativeKey(x11Space, Qt::Key_Space, ctrl, stateControl, " "),
         KeyShortcut(49, controlKey, QStringLiteral(" "))},
        {"function key has no character", "us", nativeKey(x11F5, Qt::Key_F5, ctrl, stateControl),
         KeyShortcut(96, controlKey)},
        {"arrow key", "us", nativeKey(x11Left, Qt::Key_Left, ctrl, stateControl),
         KeyShortcut(123, controlKey)},
        {"keypad key", "us", nativeKey(x11Keypad1, Qt::Key_End, ctrl | Qt::KeypadModifier, stateControl),
         KeyShortcut(83, controlKey)},
        {"no modifier", "us", nativeKey(x11Q, Qt::Key_Q, {}, 0, "q"), std::nullopt},
        {"modifier-only key", "us", nativeKey(x11ControlL, Qt::Key_Control, ctrl, 0), std::nullopt},
        {"synthesised letter", "us", plainKey(Qt::Key_K, ctrl, "k"),
         KeyShortcut(40, controlKey, QStringLiteral("k"))},
        {"synthesised letter on German keys", "de", plainKey(Qt::Key_Z, ctrl),
         KeyShortcut(16, controlKey, QStringLiteral("z"))},
        {"synthesised Shift+2", "us", plainKey(Qt::Key_At, shift, "@"), std::nullopt},
        {"synthesised Escape", "us", plainKey(Qt::Key_Escape, ctrl), KeyShortcut(53, controlKey)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        use(QString::fromLatin1(c.layout));
        EXPECT_EQ(keyShortcut(c.event), c.expected);
    }
}

TEST_F(KeyEventShortcutTest, KeyCodesOfEventsWithoutALayout) {
    // No X server: synthesised events still name their keys, by the US keyboard.
    EXPECT_EQ(keyCodeOfKeyEvent(plainKey(Qt::Key_A, {})), 0u);
    EXPECT_EQ(keyCodeOfKeyEvent(plainKey(Qt::Key_Exclam, Qt::ShiftModifier)), 18u);
    EXPECT_EQ(keyCodeOfKeyEvent(plainKey(Qt::Key_Escape, {})), 53u);
    EXPECT_EQ(keyCodeOfKeyEvent(plainKey(Qt::Key_Shift, Qt::ShiftModifier)), 56u);
    EXPECT_EQ(keyCodeOfKeyEvent(plainKey(Qt::Key_5, Qt::KeypadModifier)), 87u);
    EXPECT_EQ(keyCodeOfKeyEvent(plainKey(Qt::Key_5, {})), 23u);
    EXPECT_EQ(keyCodeOfKeyEvent(plainKey(0x436, {})), std::nullopt); // a Cyrillic letter
    // With a layout, a hardware key the table lacks has no key code.
    use(QStringLiteral("us"));
    EXPECT_EQ(keyCodeOfKeyEvent(nativeKey(x11Escape, Qt::Key_Escape, {}, 0)), 53u);
    EXPECT_EQ(keyCodeOfKeyEvent(nativeKey(248, Qt::Key_unknown, {}, 0)), std::nullopt);
}

TEST_F(KeyEventShortcutTest, ShortcutsMatchTheKeyThatTypesTheirCharacterNow) {
    use(QStringLiteral("de"));
    const auto ctrl = Qt::ControlModifier;
    const KeyShortcut controlZ(6, controlKey, QStringLiteral("z"));
    const KeyShortcut controlAt(19, controlKey, QStringLiteral("@"));
    const KeyShortcut controlLeft(123, controlKey);
    const struct {
        const char *name;
        const KeyShortcut &shortcut;
        QKeyEvent event;
        bool matches;
    } cases[] = {
        {"z moved to its German key", controlZ, nativeKey(x11Z, Qt::Key_Z, ctrl, stateControl), true},
        {"the old key types y now", controlZ, nativeKey(x11Y, Qt::Key_Y, ctrl, stateControl), false},
        {"other modifiers", controlZ,
         nativeKey(x11Z, Qt::Key_Z, ctrl | Qt::ShiftModifier, stateControl | stateShift), false},
        {"AltGr reaches @", controlAt,
         nativeKey(x11Q, Qt::Key_At, ctrl | Qt::GroupSwitchModifier, stateControl | stateLevelThree, "@"),
         true},
        {"without AltGr it is q", controlAt, nativeKey(x11Q, Qt::Key_Q, ctrl, stateControl), false},
        {"key code shortcut", controlLeft, nativeKey(x11Left, Qt::Key_Left, ctrl, stateControl), true},
        {"key code shortcut, more modifiers", controlLeft,
         nativeKey(x11Left, Qt::Key_Left, ctrl | Qt::AltModifier, stateControl | stateAlt), false},
        {"synthesised z", controlZ, plainKey(Qt::Key_Z, ctrl), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keyShortcutMatches(c.shortcut, c.event), c.matches);
    }
}

} // namespace
} // namespace orvex
