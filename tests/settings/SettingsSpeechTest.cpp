// What a blind user hears in the settings and onboarding windows: Orca on a desktop and accessibility bus
// of the test's own, the windows driven with real keys, its speech read from its log.
#include "fixtures/LoopbackHttpServer.h"
#include "support/AccessibilityBus.h"
#include "support/DesktopSession.h"
#include "support/ScreenReader.h"
#include "support/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

#include <optional>

namespace orvex {
namespace {

using test::AccessibleNode;
using test::ChildProcess;
using namespace std::chrono_literals;

// The utterance is exactly `text` once the trailing full stop Orca adds is left out.
std::function<bool(const QString &)> said(const QString &text) {
    return [text](const QString &utterance) {
        QString spoken = utterance.trimmed();
        if (spoken.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char('.')))
            spoken.chop(1);
        return spoken == text;
    };
}

class SettingsSpeech : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex-launcher")).removeRecursively();
        QDir(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher"))
            .removeRecursively();
        ASSERT_TRUE(desktop.isReady()) << desktop.describe().toStdString();
        ASSERT_TRUE(bus.isReady()) << bus.failure().toStdString();
        reader.emplace(desktop, bus);
        ASSERT_TRUE(reader->isReady()) << reader->failure().toStdString();
    }

    // Starts `program` and waits until its window `title` is shown and Orca has read `firstFocus` in it;
    // answers what Orca said meanwhile and forgets it.
    std::optional<QStringList> open(const QString &program, const QStringList &arguments,
                                    const QString &title, const QString &firstFocus) {
        if (!process.start(program, arguments, bus.environment(desktop.environment())))
            return std::nullopt;
        if (!desktop.waitForWindow(process.pid(), title))
            return std::nullopt;
        app = bus.waitForApplication(process.pid());
        if (!app || !reader->waitForSpeech(firstFocus))
            return std::nullopt;
        const QStringList spoken = reader->spoken();
        reader->clear();
        return spoken;
    }
    std::optional<QStringList> openSettings(const QStringList &arguments = {}) {
        return open(QStringLiteral(ORVEX_SETTINGS_WINDOW_HOST),
                    QStringList{QStringLiteral("--stay")} + arguments, QStringLiteral("Launcher Settings"),
                    QStringLiteral("Enable Global Hotkey check box"));
    }

    std::optional<AccessibleNode> control(const QString &role, const QString &name) {
        return bus.waitForNode(
            *app, [&](const AccessibleNode &node) { return node.role == role && node.name == name; }, 5s);
    }
    // Gives the control the focus as a screen reader user's review would, and waits until Orca has read
    // it; what it said is forgotten.
    std::optional<AccessibleNode> focus(const QString &role, const QString &name) {
        const std::optional<AccessibleNode> found = control(role, name);
        if (!found || !bus.grabFocus(found->ref) || !reader->waitForSpeech(name))
            return std::nullopt;
        reader->clear();
        return found;
    }
    bool key(const QString &keys) { return desktop.xdotool({QStringLiteral("key"), keys}); }
    bool hasFocus(const test::AccessibleRef &ref) { return bus.node(ref).has(QStringLiteral("focused")); }
    std::string heard() { return reader->transcript().toStdString(); }

    test::DesktopSession desktop;
    test::AccessibilityBus bus;
    std::optional<test::ScreenReader> reader;
    ChildProcess process;
    std::optional<test::AccessibleRef> app;
};

TEST_F(SettingsSpeech, TheRecorderSaysWhenItRecordsWhatItSavedAndWhetherItRegistered) {
    struct Case {
        const char *registration;
        const char *outcome;
    };
    const Case cases[] = {
        {"ok", "Hotkey registered successfully."},
        {"fail", "Hotkey could not be registered. It may be used by another app or the desktop."}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.registration);
        ASSERT_TRUE(openSettings({QStringLiteral("--registration"), QString::fromLatin1(c.registration)}))
            << heard();
        const std::optional<AccessibleNode> recorder =
            focus(QStringLiteral("push button"), QStringLiteral("Shortcut: Control + Space"));
        ASSERT_TRUE(recorder) << heard();

        ASSERT_TRUE(key(QStringLiteral("space")));
        EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("Recording shortcut"))) << heard();
        EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("Press modifier + key. Press Escape to cancel.")))
            << heard();
        ASSERT_TRUE(key(QStringLiteral("ctrl+alt+k")));
        EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("Current: Control + Alt + K"))) << heard();
        EXPECT_TRUE(reader->waitForSpeech(QString::fromLatin1(c.outcome))) << heard();
        // Heard where the user is: the focus never left the recorder.
        EXPECT_TRUE(hasFocus(recorder->ref)) << bus.node(recorder->ref).summary().toStdString();
        process.stop();
        reader->clear();
        // The next window starts from the default shortcut again.
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex-launcher")).removeRecursively();
    }
}

TEST_F(SettingsSpeech, TheNotionTestSaysEachOutcomeAndTheTokenToggleItsState) {
    test::LoopbackHttpServer notion;
    ASSERT_TRUE(notion.isListening());
    notion.setDefaultReply({.status = 401, .body = "{}", .held = true});
    ASSERT_TRUE(openSettings({QStringLiteral("--notion-url"), notion.baseURL().toString()})) << heard();
    ASSERT_TRUE(focus(QStringLiteral("check box"), QStringLiteral("Search Notion Pages"))) << heard();
    ASSERT_TRUE(key(QStringLiteral("space")));
    ASSERT_TRUE(reader->waitForSpeech(said(QStringLiteral("checked")))) << heard();
    ASSERT_TRUE(key(QStringLiteral("Tab")));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("type"), QStringLiteral("secret")}));

    // The eye shows the token and says so: a toggle, pressed while the token shows.
    ASSERT_TRUE(key(QStringLiteral("Tab")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Show token"))) << heard();
    reader->clear();
    ASSERT_TRUE(key(QStringLiteral("space")));
    EXPECT_TRUE(reader->waitForSpeech(said(QStringLiteral("checked")))) << heard();
    if (const std::optional<AccessibleNode> eye =
            control(QStringLiteral("check box"), QStringLiteral("Show token")))
        test::DesktopSession::saveScreenshot(
            desktop.screenshot().copy(bus.extents(eye->ref).adjusted(-360, -20, 20, 20)),
            QStringLiteral("settings-speech-token-shown"));
    reader->clear();
    ASSERT_TRUE(key(QStringLiteral("space")));
    EXPECT_TRUE(reader->waitForSpeech(said(QStringLiteral("not checked")))) << heard();

    ASSERT_TRUE(key(QStringLiteral("Tab")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Test connection"))) << heard();
    const std::optional<AccessibleNode> test =
        control(QStringLiteral("push button"), QStringLiteral("Test connection"));
    ASSERT_TRUE(test);
    reader->clear();
    ASSERT_TRUE(key(QStringLiteral("space")));
    EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("Testing..."))) << heard();
    notion.releaseHeldReplies();
    EXPECT_TRUE(
        reader->waitForSpeech(QStringLiteral("Connection failed: Notion refused the token (HTTP 401).")))
        << heard();
    EXPECT_TRUE(hasFocus(test->ref));
}

// A spin button's value with its unit, the theme picker with its theme before and after a choice, and
// entering the Advanced group or the window reads no help text that belongs to other controls.
TEST_F(SettingsSpeech, ValuesAreReadWithTheirUnitsAndThePickerWithItsChoice) {
    const std::optional<QStringList> opening = openSettings();
    ASSERT_TRUE(opening) << heard();
    const auto otherHelp = [](const QString &utterance) {
        return utterance.contains(QLatin1String("Use this prefix")) ||
               utterance.contains(QLatin1String("Comma-separated")) ||
               utterance.contains(QLatin1String("Translation Engines")) ||
               utterance.contains(QLatin1String("integration"));
    };
    for (const QString &utterance : *opening)
        EXPECT_FALSE(otherHelp(utterance)) << "on opening: " << utterance.toStdString();

    ASSERT_TRUE(focus(QStringLiteral("check box"), QStringLiteral("Show Search Scores"))) << heard();
    ASSERT_TRUE(key(QStringLiteral("Tab")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Search Debounce 50 ms spin button"))) << heard();
    EXPECT_TRUE(reader->waitForSpeech(QStringLiteral("Lower values feel faster"))) << heard();
    for (const QString &utterance : reader->spoken())
        EXPECT_FALSE(otherHelp(utterance)) << "entering Advanced: " << utterance.toStdString();
    reader->clear();
    ASSERT_TRUE(key(QStringLiteral("Up")));
    EXPECT_TRUE(reader->waitForSpeech(said(QStringLiteral("60 ms")))) << heard();

    ASSERT_TRUE(focus(QStringLiteral("check box"), QStringLiteral("Show Real App Icons"))) << heard();
    ASSERT_TRUE(key(QStringLiteral("shift+Tab")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Launcher Theme combo box"))) << heard();
    EXPECT_TRUE(reader->waitForSpeech(said(QStringLiteral("Graphite")))) << heard();
    // Down opens the list at the current theme and goes on from it; Return chooses.
    reader->clear();
    ASSERT_TRUE(key(QStringLiteral("Down")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("List with 12 items"))) << heard();
    ASSERT_TRUE(key(QStringLiteral("Down")));
    ASSERT_TRUE(reader->waitForSpeech(said(QStringLiteral("Vitesse Dark Soft (Syntax)")))) << heard();
    reader->clear();
    ASSERT_TRUE(key(QStringLiteral("Return")));
    ASSERT_TRUE(reader->waitForSpeech(QStringLiteral("Launcher Theme combo box"))) << heard();
    EXPECT_TRUE(reader->waitForSpeech(said(QStringLiteral("Vitesse Dark Soft (Syntax)")))) << heard();
}

// The real launcher's first start: each permission request says its outcome while the focus stays on
// the pressed button.
TEST_F(SettingsSpeech, EachPermissionRequestSaysItsOutcomeWhereTheFocusIs) {
    test::makeDirectory(test::homePath() + QStringLiteral("/Documents/Projects"));
    ASSERT_TRUE(open(QStringLiteral(ORVEX_LAUNCHER), {}, QStringLiteral("Permission Setup"),
                     QStringLiteral("Continue to Launcher push button")))
        << heard() << process.standardError().toStdString();
    struct Case {
        const char *button;
        const char *outcome;
    };
    const Case cases[] = {
        {"Request Files & Folders Access", "Access check finished. Indexed "},
        {"Request Browser Automation Access",
         "Neither Edge nor Brave is running, so no open tabs were looked for."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        ASSERT_TRUE(key(QStringLiteral("Tab")));
        ASSERT_TRUE(reader->waitForSpeech(QString::fromLatin1(c.button))) << heard();
        const std::optional<AccessibleNode> button =
            control(QStringLiteral("push button"), QString::fromLatin1(c.button));
        ASSERT_TRUE(button);
        reader->clear();
        ASSERT_TRUE(key(QStringLiteral("Return")));
        EXPECT_TRUE(reader->waitForSpeech(QString::fromLatin1(c.outcome))) << heard();
        EXPECT_TRUE(hasFocus(button->ref)) << bus.node(button->ref).summary().toStdString();
        reader->clear();
    }
}

} // namespace
} // namespace orvex
