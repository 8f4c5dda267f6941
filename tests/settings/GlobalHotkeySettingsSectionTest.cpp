#include "settings/GlobalHotkeySettingsSection.h"
#include "settings/SettingsView.h"
#include "settings/WindowSettingsSection.h"

#include "SettingsTestSupport.h"
#include "support/TestEnvironment.h"

#include "search/LauncherNotifications.h"

#include "hotkey-core/KeyboardLayout.h"
#include "hotkey-core/ShortcutRecorderController.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// A shown settings view on the US layout.
class GlobalHotkeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        KeyboardLayout::setCurrent(KeyboardLayout::fromNames(QStringLiteral("us")));
        fixture = std::make_unique<test::SettingsViewFixture>(seed);
        fixture->view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(fixture->view.get()));
    }
    void TearDown() override {
        fixture.reset();
        KeyboardLayout::setCurrent(std::nullopt);
    }

    GlobalHotkeySettingsSection &section() { return *fixture->view->globalHotkeySection(); }
    SettingsViewModel &model() { return fixture->view->model(); }
    QWidget *keyTarget() { return section().recorderButton(); }

    std::function<void(UserDefaults &)> seed;
    std::unique_ptr<test::SettingsViewFixture> fixture;
};

TEST_F(GlobalHotkeyTest, TheRecorderCapturesAShortcutFromKeyPresses) {
    // Keys as Linux names them: Ctrl, Alt, Shift, Super.
    EXPECT_EQ(section().recorderButton()->text(), "Ctrl+Space");
    EXPECT_EQ(section().currentLine()->text(), "Current: Control + Space");
    EXPECT_EQ(section().keysLine()->text(), "Keys: Ctrl+Space");
    EXPECT_FALSE(section().recordingHint()->isVisible());

    section().recorderButton()->click();
    EXPECT_TRUE(section().recorderButton()->isRecording());
    EXPECT_TRUE(section().recordingHint()->isVisible());
    EXPECT_EQ(section().recorderButton()->text(), "Record Shortcut");
    // The held modifiers are previewed, in their fixed order.
    QTest::keyPress(keyTarget(), Qt::Key_Shift);
    QTest::keyPress(keyTarget(), Qt::Key_Control, Qt::ShiftModifier);
    EXPECT_EQ(section().recorderButton()->text(), "Ctrl+Shift+…");
    ASSERT_TRUE(section().grab().save(test::screenshotDirectory() +
                                      QStringLiteral("/settings-hotkey-recording.png")));
    QTest::keyRelease(keyTarget(), Qt::Key_Control, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyRelease(keyTarget(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(section().recorderButton()->text(), "Record Shortcut");

    // A letter alone is refused and recording goes on.
    QTest::keyClick(keyTarget(), Qt::Key_B);
    EXPECT_EQ(section().registrationLine()->text(), "Please include at least one modifier key.");
    EXPECT_TRUE(model().shortcutRecorder().isRecording());
    EXPECT_TRUE(fixture->recorder.posted().isEmpty());

    QTest::keyClick(keyTarget(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(model().shortcutRecorder().isRecording());
    EXPECT_EQ(model().currentHotKeySettings(), HotKeySettings(true, 40, 0x1800, QStringLiteral("k")));
    EXPECT_EQ(fixture->defaults.integerValue("launcherHotKeyCode"), 40);
    EXPECT_EQ(fixture->defaults.integerValue("launcherHotKeyModifiers"), 0x1800);
    EXPECT_EQ(fixture->recorder.posted(), QStringList{"LauncherHotKeyChanged"});
    EXPECT_EQ(section().recorderButton()->text(), "Ctrl+Alt+K");
    EXPECT_EQ(section().currentLine()->text(), "Current: Control + Alt + K");
    EXPECT_FALSE(section().recordingHint()->isVisible());
}

TEST_F(GlobalHotkeyTest, EscapeEndsRecordingWithoutSaving) {
    section().recorderButton()->click();
    QTest::keyClick(keyTarget(), Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_FALSE(model().shortcutRecorder().isRecording());
    EXPECT_EQ(model().currentHotKeySettings(), HotKeySettings::defaultSettings());
    EXPECT_TRUE(fixture->recorder.posted().isEmpty());
    EXPECT_EQ(fixture->defaults.value("launcherHotKeyCode"), std::nullopt);
}

TEST_F(GlobalHotkeyTest, TheRegistrationSentenceFollowsTheStatusNotification) {
    struct Case {
        const char *name;
        std::optional<bool> success;
        QString expected;
    };
    const Case cases[] = {
        {"success", true, "Hotkey registered successfully."},
        {"failure", false, "Hotkey could not be registered. It may be used by another app or the desktop."},
        {"no user info", std::nullopt,
         "Hotkey could not be registered. It may be used by another app or the desktop."},
    };
    EXPECT_FALSE(section().registrationLine()->isVisible());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.success)
            postHotKeyRegistrationStatusChanged(*c.success, fixture->recorder.center());
        else
            fixture->recorder.center().post(
                QString(NotificationName::launcherHotKeyRegistrationStatusChanged));
        EXPECT_EQ(model().registrationMessage(), c.expected);
        EXPECT_TRUE(section().registrationLine()->isVisible());
        EXPECT_EQ(section().registrationLine()->text(), c.expected);
    }
    // Switching off saves and posts; the running launcher counts unregistering as a success.
    section().enabledToggle()->click();
    EXPECT_EQ(fixture->recorder.posted().last(), "LauncherHotKeyChanged");
    postHotKeyRegistrationStatusChanged(true, fixture->recorder.center());
    EXPECT_EQ(section().registrationLine()->text(), "Hotkey registered successfully.");
}

// A failure is told with the reason the launcher knows, asked when the failure arrives; a success, or a
// failure whose reason is not known, is the sentence alone.
TEST(GlobalHotkeySection, AFailureSentenceNamesTheReasonTheLauncherKnows) {
    const QString failure =
        QStringLiteral("Hotkey could not be registered. It may be used by another app or the desktop.");
    struct Case {
        const char *name;
        std::optional<bool> success;
        std::optional<QString> reason;
        QString expected;
    };
    const Case cases[] = {
        {"held elsewhere", false, QStringLiteral("another program holds it"),
         failure + QStringLiteral(" Reason: another program holds it.")},
        {"no user info", std::nullopt, QStringLiteral("no X display is open"),
         failure + QStringLiteral(" Reason: no X display is open.")},
        {"reason not known", false, std::nullopt, failure},
        {"empty reason", false, QString(), failure},
        {"success", true, QStringLiteral("stale reason"), QStringLiteral("Hotkey registered successfully.")},
    };
    test::SettingsViewFixture f;
    std::optional<QString> reason;
    SettingsEnvironment environment = f.environment();
    environment.hotKeyRegistrationFailureReason = [&] { return reason; };
    SettingsView view(environment);
    view.show();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        reason = c.reason;
        if (c.success)
            postHotKeyRegistrationStatusChanged(*c.success, f.recorder.center());
        else
            f.recorder.center().post(QString(NotificationName::launcherHotKeyRegistrationStatusChanged));
        EXPECT_EQ(view.globalHotkeySection()->registrationLine()->text(), c.expected);
    }
}

// The launcher says whether its hot key is registered right after it shows the window, in the same turn
// of the event loop. Once the loop has laid the window out, the sentence shows whole: its wrapped lines
// at full height inside the section's card, in either layout.
TEST(GlobalHotkeySection, TheRegistrationSentenceShowsWholeInOneAndTwoColumns) {
    const struct {
        QSize size;
        bool wide;
        const char *file;
    } layouts[] = {
        {QSize(460, 620), false, "settings-hotkey-not-registered-one-column.png"},
        {QSize(980, 620), true, "settings-hotkey-not-registered-two-columns.png"},
    };
    for (const auto &c : layouts) {
        SCOPED_TRACE(c.file);
        test::SettingsViewFixture f;
        f.view->resize(c.size);
        f.view->show();
        postHotKeyRegistrationStatusChanged(false, f.recorder.center());
        const QLabel *line = f.view->globalHotkeySection()->registrationLine();
        const auto whole = [&] { return line->height() >= line->heightForWidth(line->width()); };
        test::waitUntil(whole, std::chrono::milliseconds(1000));
        ASSERT_EQ(f.view->isWideLayout(), c.wide);

        ASSERT_TRUE(line->isVisible());
        EXPECT_EQ(line->text(), SettingsMessages::hotKeyNotRegistered);
        // The sentence wraps in this width and is as tall as its lines.
        EXPECT_GT(line->heightForWidth(line->width()), line->fontMetrics().height());
        EXPECT_TRUE(whole()) << line->height() << " of " << line->heightForWidth(line->width());
        const QWidget *card = line->parentWidget();
        EXPECT_TRUE(card->rect().contains(line->geometry())) << "the label reaches past its card";
        EXPECT_TRUE(card->parentWidget()->rect().contains(card->geometry()))
            << "the card reaches past its section";
        ASSERT_TRUE(f.view->grab().save(test::screenshotDirectory() + QLatin1Char('/') +
                                        QString::fromLatin1(c.file)));
    }
}

TEST_F(GlobalHotkeyTest, ASwitchedOffHotKeyCannotBeRecordedAndCannotLoseTheIcon) {
    section().enabledToggle()->click();
    EXPECT_EQ(section().recorderButton()->text(), "Disabled");
    EXPECT_FALSE(section().recorderButton()->isEnabled());
    EXPECT_FALSE(section().resetButton()->isEnabled());
    EXPECT_TRUE(section().disabledLine()->isVisible());
    EXPECT_EQ(section().currentLine()->text(), "Current: Disabled");
    model().beginShortcutRecording();
    EXPECT_FALSE(model().shortcutRecorder().isRecording());
    fixture->recorder.clear();

    // The tray icon stays: nothing would be left to open the launcher with.
    WindowSettingsSection *window = fixture->view->windowSection();
    window->menuBarIconToggle()->click();
    EXPECT_TRUE(window->menuBarIconToggle()->isChecked());
    EXPECT_TRUE(model().showMenuBarIcon());
    EXPECT_EQ(fixture->defaults.value("launcherShowMenuBarIcon"), std::nullopt);
    EXPECT_TRUE(fixture->recorder.posted().isEmpty());
    EXPECT_EQ(section().registrationLine()->text(), "Enable Global Hotkey before hiding the tray icon.");
    EXPECT_FALSE(window->reopenHint()->isVisible());

    // With the hot key on, the icon can go; turning the hot key off afterwards is not prevented.
    section().enabledToggle()->click();
    window->menuBarIconToggle()->click();
    EXPECT_FALSE(model().showMenuBarIcon());
    EXPECT_TRUE(window->reopenHint()->isVisible());
    section().enabledToggle()->click();
    EXPECT_FALSE(model().hotKeyEnabled());
}

TEST_F(GlobalHotkeyTest, ResetWhileRecordingRestoresControlSpace) {
    model().setHotKeyEnabled(true);
    section().recorderButton()->click();
    QTest::keyClick(keyTarget(), Qt::Key_K, Qt::ControlModifier);
    postHotKeyRegistrationStatusChanged(false, fixture->recorder.center());
    section().recorderButton()->click();
    fixture->recorder.clear();

    section().resetButton()->click();
    EXPECT_FALSE(model().shortcutRecorder().isRecording());
    EXPECT_EQ(model().currentHotKeySettings(), HotKeySettings::defaultSettings());
    EXPECT_EQ(fixture->defaults.value("launcherHotKeyCharacter"), std::nullopt);
    EXPECT_EQ(fixture->recorder.posted(), QStringList{"LauncherHotKeyChanged"});
    // The enabled flag is untouched and the message stays (recording cleared it).
    EXPECT_TRUE(model().hotKeyEnabled());
    EXPECT_EQ(model().registrationMessage(), std::nullopt);
}

TEST_F(GlobalHotkeyTest, HidingTheViewEndsRecordingAndTellsTheShell) {
    QList<bool> suspensions;
    test::SettingsViewFixture f;
    SettingsEnvironment environment = f.environment();
    environment.hotKeyRecordingChanged = [&](bool recording) { suspensions.append(recording); };
    SettingsView view(environment);
    view.show();
    view.model().beginShortcutRecording();
    EXPECT_EQ(suspensions, QList<bool>{true});
    view.hide();
    EXPECT_FALSE(view.model().shortcutRecorder().isRecording());
    EXPECT_EQ(suspensions, QList<bool>({true, false}));
}

} // namespace
} // namespace orvex
