#include "XClient.h"

#include "hotkey-core/GlobalHotKeyManager.h"
#include "hotkey-core/KeyboardLayout.h"
#include "support/DesktopSession.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace orvex {
namespace {

using test::XClient;

// X11 key codes and modifier masks of the server's evdev keyboard.
constexpr quint8 x11Space = 65, x11F2 = 68, x11Z = 29, x11Y = 52;
constexpr quint16 controlMask = 0x4, lockMask = 0x2, numLockMask = 0x10;

class GlobalHotKeyManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isReady()) << "Xvfb did not start";
        manager = std::make_unique<GlobalHotKeyManager>(QStringLiteral("LCHR"), server.displayName());
        ASSERT_TRUE(manager->hasDisplay());
        manager->onHotKeyPressed = [this] { ++presses; };
    }
    void TearDown() override {
        manager.reset();
        KeyboardLayout::setCurrent(std::nullopt);
    }

    bool press(const QString &keys) {
        return server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
    }
    bool waitForPresses(int count) {
        return test::waitUntil([&] { return presses >= count; });
    }
    // Whether another program could take the key now, that is, whether the manager holds none of it.
    bool freeForOthers(quint8 key, quint16 modifiers) {
        XClient other(server.displayName());
        return other.grab(key, modifiers);
    }
    bool layoutTypesZOn(quint32 keyCode) {
        return test::waitUntil([&] {
            const auto found = keyboardLayoutShortcut(QStringLiteral("z"));
            return found && found->keyCode == keyCode;
        });
    }

    // A bare server: no window manager grabs keys of its own.
    test::DesktopSession server{{.screen = QSize(320, 240), .windowManager = false}};
    std::unique_ptr<GlobalHotKeyManager> manager;
    int presses = 0;
};

TEST_F(GlobalHotKeyManagerTest, ControlSpaceFiresOncePerPressAlsoWithNumLockOn) {
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings::defaultSettings()));
    EXPECT_TRUE(manager->isRegistered());
    EXPECT_EQ(manager->registeredSettings(), HotKeySettings::defaultSettings());
    EXPECT_EQ(manager->lastPressTimestamp(), 0u);

    ASSERT_TRUE(press(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(waitForPresses(1));
    // The press's own server time, for focus requests made on its behalf.
    const quint32 firstPress = manager->lastPressTimestamp();
    EXPECT_NE(firstPress, 0u);
    ASSERT_TRUE(press(QStringLiteral("Num_Lock")));
    ASSERT_TRUE(press(QStringLiteral("ctrl+space")));
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_GT(manager->lastPressTimestamp(), firstPress);

    // Every event of those presses reaches the manager before the answer to this registration, so a
    // press of the new key proves that nothing more came of them.
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings(true, 120, controlKey))); // Control+F2
    EXPECT_TRUE(freeForOthers(x11Space, controlMask)) << "the old key stays grabbed";
    ASSERT_TRUE(press(QStringLiteral("ctrl+F2")));
    ASSERT_TRUE(waitForPresses(3));
    EXPECT_EQ(presses, 3);
    // A bare F2 is not the hot key.
    EXPECT_TRUE(freeForOthers(x11F2, 0));
}

TEST_F(GlobalHotKeyManagerTest, ACombinationHeldByAnotherProgramIsRefusedAndNothingStaysGrabbed) {
    for (const quint16 taken : {quint16(controlMask), quint16(controlMask | numLockMask),
                                quint16(controlMask | lockMask | numLockMask)}) {
        SCOPED_TRACE(taken);
        XClient other(server.displayName());
        ASSERT_TRUE(other.grab(x11Space, taken));
        EXPECT_FALSE(manager->registerHotKey(HotKeySettings::defaultSettings()));
        EXPECT_EQ(manager->lastFailure(), HotKeyRegistrationFailure::heldByAnotherProgram);
        EXPECT_FALSE(manager->isRegistered());
        EXPECT_EQ(manager->registeredSettings(), HotKeySettings::defaultSettings());
        for (const quint16 variant : {quint16(0), lockMask, numLockMask, quint16(lockMask | numLockMask)}) {
            if ((controlMask | variant) != taken) {
                EXPECT_TRUE(freeForOthers(x11Space, controlMask | variant)) << "variant " << variant;
            }
        }
    }
    // Once the other program lets go, the same settings register.
    EXPECT_TRUE(manager->registerHotKey(HotKeySettings::defaultSettings()));
    EXPECT_EQ(manager->lastFailure(), std::nullopt);
    EXPECT_FALSE(freeForOthers(x11Space, controlMask | numLockMask));
}

TEST_F(GlobalHotKeyManagerTest, DisabledOrInvalidSettingsGrabNothing) {
    using Failure = HotKeyRegistrationFailure;
    const struct {
        const char *name;
        HotKeySettings settings;
        bool answer;
        std::optional<Failure> failure;
    } cases[] = {
        {"disabled", HotKeySettings(false, 49, controlKey), true, std::nullopt},
        {"no modifier: Space for the whole desktop", HotKeySettings(true, 49, 0), false,
         Failure::notAShortcut},
        {"only bits that are no modifier", HotKeySettings(true, 49, 0x10000), false, Failure::notAShortcut},
        {"modifier-only key", HotKeySettings(true, 56, controlKey), false, Failure::notAShortcut},
        {"key code of no key", HotKeySettings(true, 52, controlKey), false, Failure::keyNotOnKeyboard},
        {"key code past every key", HotKeySettings(true, 4000, controlKey), false, Failure::keyNotOnKeyboard},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(manager->registerHotKey(HotKeySettings::defaultSettings()));
        EXPECT_EQ(manager->registerHotKey(c.settings), c.answer);
        EXPECT_EQ(manager->lastFailure(), c.failure);
        EXPECT_FALSE(manager->isRegistered());
        EXPECT_EQ(manager->registeredSettings(), c.settings);
        EXPECT_TRUE(freeForOthers(x11Space, 0));
        EXPECT_TRUE(freeForOthers(x11Space, controlMask));
    }
}

TEST_F(GlobalHotKeyManagerTest, ACharacterHotKeyFollowsTheLayout) {
    // Stored on a US keyboard: Control and the key that types "z" there.
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings(true, 6, controlKey, QStringLiteral("z"))));
    EXPECT_FALSE(freeForOthers(x11Y, controlMask));

    ASSERT_TRUE(server.run(QStringLiteral("setxkbmap"), {QStringLiteral("de")}));
    ASSERT_TRUE(layoutTypesZOn(16));
    EXPECT_TRUE(manager->isRegistered());
    EXPECT_TRUE(freeForOthers(x11Y, controlMask)) << "the key that types y now is released";
    ASSERT_TRUE(press(QStringLiteral("ctrl+z")));
    ASSERT_TRUE(waitForPresses(1));

    // A switch of group within one keymap moves it too.
    ASSERT_TRUE(
        server.run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us,de")}));
    ASSERT_TRUE(layoutTypesZOn(6));
    XClient switcher(server.displayName());
    ASSERT_TRUE(switcher.lockGroup(1));
    ASSERT_TRUE(layoutTypesZOn(16));
    EXPECT_FALSE(freeForOthers(x11Z, controlMask));
    EXPECT_TRUE(freeForOthers(x11Y, controlMask));
}

TEST_F(GlobalHotKeyManagerTest, LayoutChangesKeepKeyCodeAndDisabledHotKeysAsTheyAre) {
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings(true, 6, controlKey))); // no character
    ASSERT_TRUE(server.run(QStringLiteral("setxkbmap"), {QStringLiteral("de")}));
    ASSERT_TRUE(layoutTypesZOn(16));
    EXPECT_FALSE(freeForOthers(x11Y, controlMask)) << "the key position stays";

    ASSERT_TRUE(manager->registerHotKey(HotKeySettings(false, 6, controlKey, QStringLiteral("z"))));
    ASSERT_TRUE(server.run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
    ASSERT_TRUE(layoutTypesZOn(6));
    EXPECT_FALSE(manager->isRegistered());
    EXPECT_TRUE(freeForOthers(x11Y, controlMask));

    // A character the layout cannot type falls back on the stored key.
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings(true, 6, controlKey, QStringLiteral("\u0436"))));
    EXPECT_FALSE(freeForOthers(x11Y, controlMask));
}

TEST_F(GlobalHotKeyManagerTest, UnregisterReleasesTheKey) {
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings::defaultSettings()));
    manager->unregister();
    EXPECT_FALSE(manager->isRegistered());
    EXPECT_EQ(manager->registeredSettings(), std::nullopt);

    XClient other(server.displayName());
    ASSERT_TRUE(other.grab(x11Space, controlMask));
    ASSERT_TRUE(press(QStringLiteral("ctrl+space")));
    EXPECT_TRUE(other.waitForKeyPress(x11Space)) << "the press went to the program that holds the key now";
    // The manager had no grab, so the server sent it nothing.
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, 0);
}

TEST_F(GlobalHotKeyManagerTest, SuspendingReleasesTheKeyUntilResumed) {
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings::defaultSettings()));
    manager->setSuspended(true);
    EXPECT_TRUE(freeForOthers(x11Space, controlMask));
    EXPECT_TRUE(manager->isRegistered());

    // Registering while suspended checks the key, then leaves it free until resuming.
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings(true, 120, controlKey)));
    EXPECT_TRUE(freeForOthers(x11F2, controlMask));
    {
        XClient other(server.displayName());
        ASSERT_TRUE(other.grab(x11Space, controlMask));
        EXPECT_FALSE(manager->registerHotKey(HotKeySettings::defaultSettings()));
    }
    ASSERT_TRUE(manager->registerHotKey(HotKeySettings(true, 120, controlKey)));

    manager->setSuspended(false);
    EXPECT_FALSE(freeForOthers(x11F2, controlMask));
    ASSERT_TRUE(press(QStringLiteral("ctrl+F2")));
    ASSERT_TRUE(waitForPresses(1));
}

TEST(GlobalHotKeyManagerWithoutDisplay, EnabledHotKeysFailDisabledOnesSucceed) {
    ::unsetenv("DISPLAY");
    for (GlobalHotKeyManager *manager : {new GlobalHotKeyManager(QStringLiteral("LCHR")),
                                         new GlobalHotKeyManager(QStringLiteral("LCHR"), QByteArray())}) {
        EXPECT_FALSE(manager->hasDisplay());
        EXPECT_EQ(manager->signature(), 0x4C434852u);
        EXPECT_FALSE(manager->registerHotKey(HotKeySettings::defaultSettings()));
        EXPECT_EQ(manager->lastFailure(), HotKeyRegistrationFailure::noDisplay);
        EXPECT_EQ(manager->registeredSettings(), HotKeySettings::defaultSettings());
        EXPECT_TRUE(manager->registerHotKey(HotKeySettings(false, 49, controlKey)));
        manager->setSuspended(true);
        manager->setSuspended(false);
        manager->unregister();
        delete manager;
    }
}

} // namespace
} // namespace orvex
