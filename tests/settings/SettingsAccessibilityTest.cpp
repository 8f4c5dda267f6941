// The settings window as a screen reader and a keyboard user meet it: under a desktop of the test's own,
// read and driven through the accessibility bus and with real key presses.
#include "SettingsTestSupport.h"
#include "support/AccessibilityBus.h"
#include "support/DesktopSession.h"
#include "support/TestEnvironment.h"

#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPalette>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::AccessibilityBus;
using test::AccessibleEvent;
using test::AccessibleNode;
using test::AccessibleRef;
using test::ChildProcess;
using test::DesktopSession;
using namespace std::chrono_literals;

const QString settingsTitle = QStringLiteral("Launcher Settings");

std::function<bool(const AccessibleNode &)> named(const QString &role, const QString &name) {
    return [=](const AccessibleNode &node) { return node.role == role && node.name == name; };
}

std::optional<qint64> storedInteger(const QString &key) {
    return UserDefaults(UserDefaults::standardFilePath()).integerValue(key);
}

// A control Tab stops at: focusable, shown and enabled. The entries of a closed combo box's list are the
// list's own, and of a set of radio buttons only the checked one is a Tab stop (the arrow keys move
// between them).
bool isTabStop(const AccessibleNode &node) {
    return node.has(QStringLiteral("focusable")) && node.has(QStringLiteral("showing")) &&
           node.has(QStringLiteral("enabled")) && !node.has(QStringLiteral("transient")) &&
           (node.role != QLatin1String("radio button") || node.has(QStringLiteral("checked")));
}

// The settings window host on a desktop and an accessibility bus of the test's own.
class SettingsAccessibility : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex-launcher")).removeRecursively();
        ASSERT_TRUE(desktop.isReady()) << "Xvfb or openbox did not start";
        ASSERT_TRUE(bus.isReady()) << bus.failure().toStdString();
        ASSERT_TRUE(bus.recordEvents()) << bus.failure().toStdString();
    }

    // Opens the settings window and waits until it is on screen.
    bool showSettings(const QStringList &arguments = {}, QProcessEnvironment environment = {}) {
        if (environment.isEmpty())
            environment = desktop.environment();
        if (!host.start(QStringLiteral(ORVEX_SETTINGS_WINDOW_HOST),
                        QStringList{QStringLiteral("--stay")} + arguments, bus.environment(environment)))
            return false;
        const std::optional<test::XWindowInfo> window = desktop.waitForWindow(host.pid(), settingsTitle);
        if (!window)
            return false;
        windowId = window->id;
        return true;
    }

    // The shown settings window's accessible object, read from the bus.
    std::optional<AccessibleNode> accessibleWindow() {
        app = bus.waitForApplication(host.pid());
        if (!app)
            return std::nullopt;
        return bus.waitForNode(
            *app, [](const AccessibleNode &node) { return node.depth == 1 && node.name == settingsTitle; });
    }

    std::optional<AccessibleNode> openSettings() {
        if (!showSettings())
            return std::nullopt;
        return accessibleWindow();
    }

    std::optional<AccessibleNode> find(const AccessibleRef &root, const QString &role, const QString &name) {
        return bus.waitForNode(root, named(role, name), 5s);
    }

    bool key(const QString &keys) { return desktop.xdotool({QStringLiteral("key"), keys}); }

    // Presses the keys and answers the object that took the focus from `from`.
    std::optional<AccessibleNode> keyAndFocus(const QString &keys, const AccessibleRef &from) {
        bus.clearEvents();
        if (!key(keys))
            return std::nullopt;
        const std::optional<AccessibleEvent> focused = bus.waitForEvent(
            [&](const AccessibleEvent &event) {
                return event.kind == QLatin1String("object:state-changed:focused") && event.detail1 == 1 &&
                       event.source != from;
            },
            5s);
        if (!focused)
            return std::nullopt;
        return bus.node(focused->source);
    }

    // The object's value once it is `value`.
    bool waitForValue(const AccessibleRef &ref, double value) {
        return bus
            .waitForState(
                ref, [&](const AccessibleNode &node) { return node.value == value; }, 5s)
            .has_value();
    }

    // Pixels in the highlight colour, the colour of the keyboard focus.
    static int highlightedPixels(const QImage &screen, const QRect &area) {
        const QColor highlight = QApplication::palette().color(QPalette::Highlight);
        const QRect inside = area.intersected(screen.rect());
        int count = 0;
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const QColor pixel = screen.pixelColor(x, y);
                count += std::abs(pixel.red() - highlight.red()) < 30 &&
                         std::abs(pixel.green() - highlight.green()) < 30 &&
                         std::abs(pixel.blue() - highlight.blue()) < 30;
            }
        return count;
    }

    std::string treeOf(const AccessibleNode &window) {
        return AccessibilityBus::describe(bus.tree(window.ref)).toStdString();
    }

    DesktopSession desktop;
    AccessibilityBus bus;
    ChildProcess host;
    std::optional<AccessibleRef> app;
    quint32 windowId = 0;
};

TEST_F(SettingsAccessibility, ACheckBoxToggledThroughTheBusChangesTheStoredSetting) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << "the settings window is not on the accessibility bus; "
                        << host.standardError().toStdString();

    const std::optional<AccessibleNode> snippets =
        find(window->ref, QStringLiteral("check box"), QStringLiteral("Show Search Snippets"));
    ASSERT_TRUE(snippets) << treeOf(*window);
    EXPECT_TRUE(snippets->has(QStringLiteral("focusable")));
    EXPECT_FALSE(snippets->has(QStringLiteral("checked")));
    ASSERT_TRUE(snippets->hasAction(QStringLiteral("Toggle"))) << snippets->summary().toStdString();

    ASSERT_TRUE(bus.doAction(snippets->ref, QStringLiteral("Toggle")));
    EXPECT_TRUE(bus.waitForState(
        snippets->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("checked")); }));
    EXPECT_TRUE(bus.waitForEvent([&](const AccessibleEvent &event) {
        return event.kind == QLatin1String("object:state-changed:checked") && event.detail1 == 1 &&
               event.source == snippets->ref;
    })) << "no checked event";
    EXPECT_TRUE(test::waitUntil(
        [] {
            return UserDefaults(UserDefaults::standardFilePath()).boolValue(QStringLiteral("showSnippets")) ==
                   std::optional<bool>(true);
        },
        5000ms));
}

TEST_F(SettingsAccessibility, TheWindowIsADialogWhoseEveryFocusableControlHasAName) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    EXPECT_EQ(window->role, QStringLiteral("dialog"));

    QStringList unnamed;
    for (const AccessibleNode &node : bus.tree(window->ref))
        if (node.has(QStringLiteral("focusable")) && node.has(QStringLiteral("showing")) &&
            node.name.trimmed().isEmpty())
            unnamed.append(node.summary());
    EXPECT_TRUE(unnamed.isEmpty()) << "unnamed focusable objects:\n"
                                   << unnamed.join(QLatin1Char('\n')).toStdString() << "\nin\n"
                                   << treeOf(*window);
}

// Tab goes down the left column, row by row and left to right within a row, then down the right one;
// it stops only where the focus shows (no empty scrolling area), and in the theme gallery only at the
// chosen theme.
TEST_F(SettingsAccessibility, TabReachesEveryControlInTheOrderTheyStandOnScreen) {
    // A chosen theme that is not the first card.
    UserDefaults stored(UserDefaults::standardFilePath());
    stored.set(QStringLiteral("launcherThemeID"), PlistValue(QStringLiteral("forest")));
    ASSERT_TRUE(stored.flush());
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    QSet<QString> expected;
    for (const AccessibleNode &node : bus.tree(window->ref))
        if (isTabStop(node))
            expected.insert(node.ref.path);
    ASSERT_GT(expected.size(), 40) << treeOf(*window);
    const std::optional<AccessibleNode> first = bus.waitForNode(
        window->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); });
    ASSERT_TRUE(first) << "nothing has the focus when the window opens";
    EXPECT_EQ(first->name, QStringLiteral("Enable Global Hotkey"));

    QSet<QString> reached{first->ref.path};
    QStringList order{first->name};
    QStringList backwards;
    QStringList themeStops;
    AccessibleRef current = first->ref;
    for (int press = 0; press < 3 * expected.size(); ++press) {
        const std::optional<AccessibleNode> focused = keyAndFocus(QStringLiteral("Tab"), current);
        ASSERT_TRUE(focused) << "Tab moved the focus nowhere after "
                             << order.join(QStringLiteral(" > ")).toStdString();
        if (focused->ref == first->ref)
            break;
        EXPECT_FALSE(focused->name.trimmed().isEmpty()) << focused->summary().toStdString();
        EXPECT_NE(focused->role, QStringLiteral("filler"))
            << "an empty Tab stop: " << focused->summary().toStdString();
        EXPECT_NE(focused->role, QStringLiteral("scroll pane")) << focused->summary().toStdString();
        if (focused->role == QLatin1String("radio button"))
            themeStops.append(focused->name);
        // Both read now: the scrolling that brought this control into view moved both alike.
        const QRect before = bus.extents(current);
        const QRect now = bus.extents(focused->ref);
        const bool sameRow = std::abs(now.center().y() - before.center().y()) <= 8;
        if ((sameRow && now.center().x() < before.center().x()) ||
            (!sameRow && now.center().y() < before.center().y()))
            backwards.append(order.last() + QStringLiteral(" > ") + focused->role);
        reached.insert(focused->ref.path);
        order.append(focused->name);
        current = focused->ref;
    }
    // Once back up: from the left column's last control to the right column's first, the theme picker.
    EXPECT_EQ(backwards, QStringList{QStringLiteral("Run at Login > combo box")})
        << "Tab order: " << order.join(QStringLiteral(" > ")).toStdString();
    EXPECT_EQ(themeStops, QStringList{QStringLiteral("Forest")});
    QStringList missed;
    for (const AccessibleNode &node : bus.tree(window->ref))
        if (expected.contains(node.ref.path) && !reached.contains(node.ref.path))
            missed.append(node.summary());
    EXPECT_TRUE(missed.isEmpty()) << "Tab never reached:\n"
                                  << missed.join(QLatin1Char('\n')).toStdString()
                                  << "\nTab order: " << order.join(QStringLiteral(" > ")).toStdString();
}

TEST_F(SettingsAccessibility, EveryStepperIsASpinButtonWithItsValueLimitsAndStep) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    struct Case {
        const char *name;
        double value;
        double minimum;
        double maximum;
        double step;
        const char *text; // the value as the row shows it, which a screen reader speaks
    };
    const Case cases[] = {
        {"Search Debounce", 50, 10, 500, 10, "50 ms"},     {"Session Persistence", 10, 0, 120, 1, "10 s"},
        {"Boost for .gsheet", 140, -200, 500, 10, "+140"}, {"Boost for .gdoc", 120, -200, 500, 10, "+120"},
        {"Boost for .url", 320, -200, 500, 10, "+320"},    {"Boost for .webloc", 320, -200, 500, 10, "+320"},
        {"Boost for .app", 120, -200, 500, 10, "+120"},    {"Boost for .pdf", 40, -200, 500, 10, "+40"},
        {"Boost for .txt", 10, -200, 500, 10, "+10"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<AccessibleNode> stepper =
            find(window->ref, QStringLiteral("spin button"), QString::fromUtf8(c.name));
        ASSERT_TRUE(stepper) << treeOf(*window);
        EXPECT_TRUE(stepper->has(QStringLiteral("focusable")));
        EXPECT_EQ(stepper->value, c.value);
        EXPECT_EQ(stepper->minimum, c.minimum);
        EXPECT_EQ(stepper->maximum, c.maximum);
        EXPECT_EQ(stepper->step, c.step);
        EXPECT_EQ(stepper->text, QString::fromUtf8(c.text));
    }
}

TEST_F(SettingsAccessibility, TheStepperKeysStepWithinTheLimitsAndStoreTheValue) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    const std::optional<AccessibleNode> debounce =
        find(window->ref, QStringLiteral("spin button"), QStringLiteral("Search Debounce"));
    ASSERT_TRUE(debounce) << treeOf(*window);
    // The keyboard focus shows as a ring in the highlight colour around the arrows, and only then.
    const QRect area = bus.extents(debounce->ref).adjusted(-1, -1, 1, 1);
    ASSERT_FALSE(area.isEmpty());
    auto highlighted = [&](const QImage &screen) { return highlightedPixels(screen, area); };
    const QImage unfocused = desktop.screenshot();
    EXPECT_EQ(highlighted(unfocused), 0);
    ASSERT_TRUE(bus.grabFocus(debounce->ref));
    ASSERT_TRUE(bus.waitForState(
        debounce->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }));
    desktop.settle(200ms);
    const QImage focused = desktop.screenshot();
    const QRect row = area.adjusted(-240, -30, 40, 60);
    DesktopSession::saveScreenshot(unfocused.copy(row), QStringLiteral("settings-a11y-stepper"));
    DesktopSession::saveScreenshot(focused.copy(row), QStringLiteral("settings-a11y-stepper-focused"));
    EXPECT_GT(highlighted(focused), area.width()) << "no focus ring on the focused stepper";

    struct Step {
        const char *keys;
        double value;
    };
    // Up and Down one step of 10 ms, Page Up and Page Down ten; never past 10 … 500.
    const Step steps[] = {{"Up", 60},        {"Page_Up", 160}, {"Page_Down", 60}, {"Down", 50},
                          {"Page_Down", 10}, {"Down", 10},     {"Page_Up", 110},  {"Page_Up", 210},
                          {"Page_Up", 310},  {"Page_Up", 410}, {"Page_Up", 500},  {"Up", 500}};
    for (const Step &step : steps) {
        SCOPED_TRACE(step.keys);
        ASSERT_TRUE(key(QString::fromLatin1(step.keys)));
        EXPECT_TRUE(waitForValue(debounce->ref, step.value))
            << bus.node(debounce->ref).summary().toStdString();
    }
    EXPECT_EQ(bus.node(debounce->ref).text, QStringLiteral("500 ms"));
    EXPECT_EQ(bus.node(debounce->ref).description,
              QStringLiteral("Lower values feel faster but trigger more frequent searches."));
    EXPECT_TRUE(test::waitUntil(
        [] { return storedInteger(QStringLiteral("launcherSearchDebounceMilliseconds")) == 500; }, 5000ms));

    // Assistive technology sets a value directly; it is kept within the limits too.
    ASSERT_TRUE(bus.setCurrentValue(debounce->ref, 5));
    EXPECT_TRUE(waitForValue(debounce->ref, 10));
    ASSERT_TRUE(bus.doAction(debounce->ref, QStringLiteral("Increase")));
    EXPECT_TRUE(waitForValue(debounce->ref, 20));

    // A rule's boost, edited by key, changes only the unsaved copy the row shows.
    const std::optional<AccessibleNode> boost =
        find(window->ref, QStringLiteral("spin button"), QStringLiteral("Boost for .pdf"));
    ASSERT_TRUE(boost);
    ASSERT_TRUE(bus.grabFocus(boost->ref));
    ASSERT_TRUE(bus.waitForState(
        boost->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }));
    ASSERT_TRUE(key(QStringLiteral("Down")));
    EXPECT_TRUE(waitForValue(boost->ref, 30));
    EXPECT_EQ(bus.node(boost->ref).text, QStringLiteral("+30"));
    EXPECT_TRUE(find(window->ref, QStringLiteral("label"), QStringLiteral("Boost +30")));
    EXPECT_TRUE(find(window->ref, QStringLiteral("push button"), QStringLiteral("Save rules"))
                    ->has(QStringLiteral("enabled")));
}

TEST_F(SettingsAccessibility, ControlsSayWhatTheyActOn) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    struct Case {
        const char *role;
        const char *name;
        const char *description; // null: not checked
    };
    const Case cases[] = {
        {"push button", "Delete rule .gsheet", nullptr},
        {"push button", "Delete rule .txt", nullptr},
        {"push button", "Reset rules to defaults", nullptr},
        {"push button", "Save rules", nullptr},
        {"push button", "Add Rule", nullptr},
        {"text", "Suffix", "Files ending in this suffix get boost +320."},
        {"filler", "Theme previews", nullptr},
        {"filler", "General settings", nullptr},
        {"filler", "Appearance settings", nullptr},
        {"radio button", "Forest", "Dark emerald palette inspired by green developer dashboards."},
    };
    const QList<AccessibleNode> tree = bus.tree(window->ref);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        bool found = false;
        for (const AccessibleNode &node : tree)
            if (node.role == QLatin1String(c.role) && node.name == QString::fromUtf8(c.name) &&
                (!c.description || node.description == QString::fromUtf8(c.description)))
                found = true;
        EXPECT_TRUE(found) << AccessibilityBus::describe(tree).toStdString();
    }
    for (const AccessibleNode &node : tree)
        EXPECT_NE(node.name, QStringLiteral("Delete rule")) << "a delete button that names no rule";
}

TEST_F(SettingsAccessibility, FocusedControlsThatDrawThemselvesShowTheFocus) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    struct Case {
        const char *role;
        const char *name;
    };
    const Case cases[] = {{"push button", "Delete rule .pdf"},
                          {"push button", "Reset shortcut to default (Control + Space)"},
                          {"push button", "Move Argos (local) up"},
                          {"check box", "Show token"},
                          {"push button", "Shortcut: Control + Space"},
                          {"radio button", "Graphite"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<AccessibleNode> control =
            find(window->ref, QString::fromLatin1(c.role), QString::fromLatin1(c.name));
        ASSERT_TRUE(control) << treeOf(*window);
        // Focused (which scrolls it into view), then with the focus one Tab further on.
        ASSERT_TRUE(bus.grabFocus(control->ref));
        ASSERT_TRUE(bus.waitForState(
            control->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }));
        desktop.settle(200ms);
        const QRect area = bus.extents(control->ref);
        ASSERT_FALSE(area.isEmpty());
        const QImage focused = desktop.screenshot();
        const int withFocus = highlightedPixels(focused, area);
        ASSERT_TRUE(keyAndFocus(QStringLiteral("Tab"), control->ref));
        desktop.settle(200ms);
        const int without = highlightedPixels(desktop.screenshot(), bus.extents(control->ref));
        EXPECT_GT(withFocus, without + 10)
            << "no focus shown; see "
            << DesktopSession::saveScreenshot(focused.copy(area.adjusted(-20, -20, 20, 20)),
                                              QStringLiteral("settings-a11y-no-focus"))
                   .toStdString();
    }
}

TEST_F(SettingsAccessibility, TheChosenThemeCardIsTheCheckedOne) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    auto cards = [&] {
        QList<AccessibleNode> found;
        for (const AccessibleNode &node : bus.tree(window->ref))
            if (node.role == QLatin1String("radio button"))
                found.append(node);
        return found;
    };
    auto checkedNames = [&] {
        QStringList names;
        for (const AccessibleNode &card : cards())
            if (card.has(QStringLiteral("checked")))
                names.append(card.name);
        return names;
    };
    ASSERT_EQ(cards().size(), 12) << treeOf(*window);
    EXPECT_EQ(checkedNames(), QStringList{QStringLiteral("Graphite")});

    const std::optional<AccessibleNode> forest =
        find(window->ref, QStringLiteral("radio button"), QStringLiteral("Forest"));
    ASSERT_TRUE(forest);
    ASSERT_FALSE(forest->actions.isEmpty());
    ASSERT_TRUE(bus.doAction(forest->ref, forest->actions.first()));
    EXPECT_TRUE(
        test::waitUntil([&] { return checkedNames() == QStringList{QStringLiteral("Forest")}; }, 5000ms))
        << checkedNames().join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(find(window->ref, QStringLiteral("combo box"), QStringLiteral("Forest")));
    auto storedTheme = [] {
        return UserDefaults(UserDefaults::standardFilePath()).stringValue(QStringLiteral("launcherThemeID"));
    };
    EXPECT_TRUE(test::waitUntil([&] { return storedTheme() == QStringLiteral("forest"); }, 5000ms));

    // From the focused card the arrow keys move the choice, as between radio buttons (Forest is on the
    // right of Midnight Blue, two cards to a row).
    ASSERT_TRUE(bus.grabFocus(forest->ref));
    ASSERT_TRUE(bus.waitForState(
        forest->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }));
    const std::optional<AccessibleNode> next = keyAndFocus(QStringLiteral("Left"), forest->ref);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->name, QStringLiteral("Midnight Blue"));
    EXPECT_TRUE(test::waitUntil(
        [&] { return checkedNames() == QStringList{QStringLiteral("Midnight Blue")}; }, 5000ms));
    EXPECT_TRUE(test::waitUntil([&] { return storedTheme() == QStringLiteral("midnightBlue"); }, 5000ms));

    // End and Home go to the last and the first card and choose it, as among radio buttons.
    const std::optional<AccessibleNode> last = keyAndFocus(QStringLiteral("End"), next->ref);
    ASSERT_TRUE(last) << "End moved the focus nowhere";
    EXPECT_EQ(last->name, QStringLiteral("Daylight"));
    EXPECT_TRUE(
        test::waitUntil([&] { return checkedNames() == QStringList{QStringLiteral("Daylight")}; }, 5000ms));
    const std::optional<AccessibleNode> firstCard = keyAndFocus(QStringLiteral("Home"), last->ref);
    ASSERT_TRUE(firstCard) << "Home moved the focus nowhere";
    EXPECT_EQ(firstCard->name, QStringLiteral("Graphite"));
    EXPECT_TRUE(
        test::waitUntil([&] { return checkedNames() == QStringList{QStringLiteral("Graphite")}; }, 5000ms));
    EXPECT_TRUE(test::waitUntil([&] { return storedTheme() == QStringLiteral("graphite"); }, 5000ms));
}

TEST_F(SettingsAccessibility, TheRecorderNamesTheShortcutSaysWhenItRecordsAndHowToLeave) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    const std::optional<AccessibleNode> recorder =
        find(window->ref, QStringLiteral("push button"), QStringLiteral("Shortcut: Control + Space"));
    ASSERT_TRUE(recorder) << treeOf(*window);
    ASSERT_TRUE(bus.grabFocus(recorder->ref));
    ASSERT_TRUE(bus.waitForState(
        recorder->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }));
    desktop.settle(200ms);
    DesktopSession::saveScreenshot(
        desktop.screenshot().copy(bus.extents(recorder->ref).adjusted(-20, -40, 60, 60)),
        QStringLiteral("settings-a11y-recorder-focused"));
    auto nameIs = [&](const QString &name) {
        return bus.waitForState(
            recorder->ref, [&](const AccessibleNode &node) { return node.name == name; }, 5s);
    };

    // Space starts recording; the screen reader hears it, and how to leave.
    ASSERT_TRUE(key(QStringLiteral("space")));
    const std::optional<AccessibleNode> recording = nameIs(QStringLiteral("Recording shortcut"));
    ASSERT_TRUE(recording) << bus.node(recorder->ref).summary().toStdString();
    EXPECT_TRUE(recording->description.contains(QStringLiteral("Press Escape to cancel.")))
        << recording->summary().toStdString();
    EXPECT_TRUE(bus.waitForEvent([&](const AccessibleEvent &event) {
        return event.kind == QLatin1String("object:property-change:accessible-name") &&
               event.source == recorder->ref;
    }));

    // Escape leaves the recording, not the window.
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    EXPECT_TRUE(nameIs(QStringLiteral("Shortcut: Control + Space")));
    desktop.settle(200ms);
    EXPECT_TRUE(desktop.isViewable(windowId)) << "Escape while recording closed the window";

    // Return starts it too; a new shortcut is named in words.
    ASSERT_TRUE(key(QStringLiteral("Return")));
    ASSERT_TRUE(nameIs(QStringLiteral("Recording shortcut")));
    ASSERT_TRUE(key(QStringLiteral("ctrl+alt+k")));
    EXPECT_TRUE(nameIs(QStringLiteral("Shortcut: Control + Alt + K")))
        << bus.node(recorder->ref).summary().toStdString();
}

TEST_F(SettingsAccessibility, EscapeAndControlWCloseTheWindow) {
    for (const char *keys : {"Escape", "ctrl+w"}) {
        SCOPED_TRACE(keys);
        const std::optional<AccessibleNode> window = openSettings();
        ASSERT_TRUE(window) << host.standardError().toStdString();
        ASSERT_TRUE(desktop.waitUntil([&] { return desktop.inputFocus() == windowId; }));
        ASSERT_TRUE(key(QString::fromLatin1(keys)));
        EXPECT_TRUE(desktop.waitUntil([&] { return !desktop.isViewable(windowId); }, 5s));
        EXPECT_TRUE(host.waitForExit(5s));
        host.stop();
    }
}

TEST_F(SettingsAccessibility, TheWindowOpensWhileArgosIsStillBeingChecked) {
    // An interpreter that says the module imports once the test has seen the window, or after a second
    // (well within the check's time limit, so that a busy machine's slow start still leaves it room).
    const QString marker = test::homePath() + QStringLiteral("/argos-check-finished");
    const QString release = test::homePath() + QStringLiteral("/argos-check-may-finish");
    const QString python = test::homePath() + QStringLiteral("/bin/python3-slow");
    test::writeFile(python,
                    QStringLiteral("#!/bin/sh\nfor i in $(seq 100); do [ -e '%2' ] && break; sleep 0.01; "
                                   "done\ntouch '%1'\nexit 0\n")
                        .arg(marker, release)
                        .toUtf8());
    ASSERT_TRUE(QFile::setPermissions(python, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QFile::remove(marker);
    QProcessEnvironment environment = desktop.environment();
    environment.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), python);

    ASSERT_TRUE(showSettings({QStringLiteral("--engines")}, environment))
        << host.standardError().toStdString();
    EXPECT_FALSE(QFile::exists(marker)) << "the window waited for the interpreter";
    test::writeFile(release, QByteArray());
    const std::optional<AccessibleNode> window = accessibleWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(bus.waitForNode(window->ref,
                                named(QStringLiteral("paragraph"), QStringLiteral("Ready (python3-slow)."))))
        << treeOf(*window);
    EXPECT_TRUE(QFile::exists(marker));
}

TEST_F(SettingsAccessibility, TheTextsSayWhatIsTrueOnLinux) {
    const QString python = test::homePath() + QStringLiteral("/bin/python3");
    test::writeFile(python, "#!/bin/sh\nexit 0\n");
    ASSERT_TRUE(QFile::setPermissions(python, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment environment = desktop.environment();
    environment.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), python);
    ASSERT_TRUE(showSettings({QStringLiteral("--engines")}, environment))
        << host.standardError().toStdString();
    const std::optional<AccessibleNode> window = accessibleWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(
        bus.waitForNode(window->ref, named(QStringLiteral("paragraph"), QStringLiteral("Ready (python3)."))));

    QStringList texts;
    const QStringList textRoles = {QStringLiteral("label"), QStringLiteral("paragraph"),
                                   QStringLiteral("heading"), QStringLiteral("notification")};
    for (const AccessibleNode &node : bus.tree(window->ref))
        if (textRoles.contains(node.role))
            texts.append(node.name);
    EXPECT_TRUE(texts.contains(
        QStringLiteral("Adds Launcher to the applications your desktop starts when you log in.")))
        << texts.join(QLatin1Char('\n')).toStdString();
    const QString apple = QStringLiteral("; Apple Translation runs only on macOS.");
    EXPECT_TRUE(std::any_of(texts.cbegin(), texts.cend(), [&](const QString &text) {
        return text.startsWith(QStringLiteral("Unavailable on ")) && text.endsWith(apple);
    })) << texts.join(QLatin1Char('\n')).toStdString();
    for (const QString &text : texts) {
        EXPECT_FALSE(text.contains(QStringLiteral("System Settings >"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("macOS 26"))) << text.toStdString();
    }
    // Keys by the names Linux gives them, and the tray icon by its name here.
    EXPECT_TRUE(texts.contains(QStringLiteral("Keys: Ctrl+Space")))
        << texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(find(window->ref, QStringLiteral("check box"), QStringLiteral("Show Tray Icon")));
    for (const AccessibleNode &node : bus.tree(window->ref)) {
        for (const QString &text : {node.name, node.description}) {
            EXPECT_FALSE(
                text.contains(QRegularExpression(QStringLiteral("[\u2303\u2325\u21E7\u2756\u2318]"))))
                << node.summary().toStdString();
            EXPECT_FALSE(text.contains(QStringLiteral("Menu Bar"), Qt::CaseInsensitive))
                << node.summary().toStdString();
        }
    }
    // Pictures of both: the focus scrolls each into view.
    for (const char *control : {"Apple Translation", "Run at Login"}) {
        const std::optional<AccessibleNode> box =
            find(window->ref, QStringLiteral("check box"), QString::fromLatin1(control));
        ASSERT_TRUE(box);
        ASSERT_TRUE(bus.grabFocus(box->ref));
        desktop.settle(300ms);
        DesktopSession::saveScreenshot(
            desktop.screenshot(), QStringLiteral("settings-a11y-linux-texts-") +
                                      QString::fromLatin1(control).split(QLatin1Char(' ')).first().toLower());
    }
}

TEST_F(SettingsAccessibility, AnUnavailableEngineIsADisabledTabStopThatSaysWhy) {
    const QString python = test::homePath() + QStringLiteral("/bin/python3");
    test::writeFile(python, "#!/bin/sh\nexit 0\n");
    ASSERT_TRUE(QFile::setPermissions(python, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment environment = desktop.environment();
    environment.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), python);
    ASSERT_TRUE(showSettings({QStringLiteral("--engines")}, environment))
        << host.standardError().toStdString();
    const std::optional<AccessibleNode> window = accessibleWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(
        bus.waitForNode(window->ref, named(QStringLiteral("paragraph"), QStringLiteral("Ready (python3)."))));

    const std::optional<AccessibleNode> apple =
        find(window->ref, QStringLiteral("check box"), QStringLiteral("Apple Translation"));
    ASSERT_TRUE(apple) << treeOf(*window);
    EXPECT_FALSE(apple->has(QStringLiteral("enabled"))) << apple->summary().toStdString();
    EXPECT_FALSE(apple->has(QStringLiteral("sensitive"))) << apple->summary().toStdString();
    EXPECT_FALSE(apple->hasAction(QStringLiteral("Toggle"))) << apple->summary().toStdString();
    EXPECT_TRUE(apple->has(QStringLiteral("focusable")));
    EXPECT_TRUE(apple->description.startsWith(QStringLiteral("Unavailable on ")))
        << apple->summary().toStdString();
    const std::optional<AccessibleNode> argos =
        find(window->ref, QStringLiteral("check box"), QStringLiteral("Argos (local)"));
    ASSERT_TRUE(argos);
    EXPECT_TRUE(argos->has(QStringLiteral("enabled")));
    EXPECT_EQ(argos->description, QStringLiteral("Ready (python3)."));

    // Space on it changes nothing, not even for a moment; Tab then goes on to Argos.
    ASSERT_TRUE(bus.grabFocus(apple->ref));
    ASSERT_TRUE(bus.waitForState(
        apple->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }));
    bus.clearEvents();
    ASSERT_TRUE(key(QStringLiteral("space")));
    const std::optional<AccessibleNode> after = keyAndFocus(QStringLiteral("Tab"), apple->ref);
    ASSERT_TRUE(after);
    for (const AccessibleEvent &event : bus.events())
        EXPECT_FALSE(event.kind == QLatin1String("object:state-changed:checked") &&
                     event.source == apple->ref)
            << "Space changed the unavailable box to " << event.detail1;
    EXPECT_FALSE(bus.node(apple->ref).has(QStringLiteral("checked")));
}

TEST_F(SettingsAccessibility, DeletingARuleLeavesTheFocusOnTheNextRuleWhereItWas) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    struct Case {
        const char *deleted;
        const char *next;
    };
    // The third of seven rules, then the last: after it comes Add Rule.
    const Case cases[] = {{"Delete rule .url", "Delete rule .webloc"}, {"Delete rule .txt", "Add Rule"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.deleted);
        const std::optional<AccessibleNode> button =
            find(window->ref, QStringLiteral("push button"), QString::fromLatin1(c.deleted));
        ASSERT_TRUE(button) << treeOf(*window);
        ASSERT_TRUE(bus.grabFocus(button->ref));
        ASSERT_TRUE(bus.waitForState(
            button->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }));
        const QRect where = bus.extents(button->ref);
        const std::optional<AccessibleNode> focused = keyAndFocus(QStringLiteral("space"), button->ref);
        ASSERT_TRUE(focused) << "the focus went nowhere";
        EXPECT_EQ(focused->name, QString::fromLatin1(c.next));
        // Where the deleted row stood (or just below it): the window did not scroll away.
        const QRect now = bus.extents(focused->ref);
        EXPECT_LT(std::abs(now.top() - where.top()), 3 * where.height())
            << "was at " << where.top() << ", now at " << now.top();
        EXPECT_FALSE(find(window->ref, QStringLiteral("push button"), QString::fromLatin1(c.deleted)));
    }
}

// A toggle tells the screen reader of the toggle, not of every unchanged label the window refreshed.
TEST_F(SettingsAccessibility, OneToggleSendsOnlyTheEventsOfWhatChanged) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    const std::optional<AccessibleNode> snippets =
        find(window->ref, QStringLiteral("check box"), QStringLiteral("Show Search Snippets"));
    const std::optional<AccessibleNode> scores =
        find(window->ref, QStringLiteral("check box"), QStringLiteral("Show Search Scores"));
    ASSERT_TRUE(snippets && scores) << treeOf(*window);
    bus.clearEvents();
    ASSERT_TRUE(bus.doAction(snippets->ref, QStringLiteral("Toggle")));
    // A second toggle marks the end of what the first one sent: the bus keeps each sender's order.
    ASSERT_TRUE(bus.doAction(scores->ref, QStringLiteral("Toggle")));
    ASSERT_TRUE(bus.waitForEvent([&](const AccessibleEvent &event) {
        return event.kind == QLatin1String("object:state-changed:checked") && event.source == scores->ref;
    }));
    QStringList others;
    for (const AccessibleEvent &event : bus.events()) {
        if (event.source == scores->ref)
            break;
        if (event.source != snippets->ref)
            others.append(event.kind + QStringLiteral(" of ") + bus.node(event.source).summary());
    }
    EXPECT_TRUE(others.isEmpty()) << others.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SettingsAccessibility, TheFocusedControlShowsItsFocusWhenTheWindowOpens) {
    const std::optional<AccessibleNode> window = openSettings();
    ASSERT_TRUE(window) << host.standardError().toStdString();
    const std::optional<AccessibleNode> first = bus.waitForNode(
        window->ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); });
    ASSERT_TRUE(first);
    ASSERT_EQ(first->name, QStringLiteral("Enable Global Hotkey"));
    ASSERT_TRUE(desktop.waitUntil([&] { return desktop.inputFocus() == windowId; }));
    desktop.settle(300ms);
    const QRect area = bus.extents(first->ref).adjusted(-4, -4, 4, 4);
    ASSERT_FALSE(area.isEmpty());
    const QImage opened = desktop.screenshot().copy(area);
    // The same box without the focus, and with it again after Tab and Shift+Tab, as a keyboard user
    // sees it.
    const std::optional<AccessibleNode> second = keyAndFocus(QStringLiteral("Tab"), first->ref);
    ASSERT_TRUE(second);
    desktop.settle(200ms);
    const QImage unfocused = desktop.screenshot().copy(area);
    ASSERT_TRUE(keyAndFocus(QStringLiteral("shift+Tab"), second->ref));
    desktop.settle(200ms);
    const QImage refocused = desktop.screenshot().copy(area);
    DesktopSession::saveScreenshot(opened, QStringLiteral("settings-a11y-focus-on-open"));
    ASSERT_NE(refocused, unfocused) << "the focus shows nowhere, even after Tab";
    EXPECT_EQ(opened, refocused) << "no focus shown on open; see "
                                 << DesktopSession::saveScreenshot(
                                        refocused, QStringLiteral("settings-a11y-focus-after-tab"))
                                        .toStdString();
}

} // namespace
} // namespace orvex
