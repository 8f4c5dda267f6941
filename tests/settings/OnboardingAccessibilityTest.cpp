// The real launcher's first start as a keyboard and screen-reader user meets it: the onboarding window
// read through the accessibility bus and driven with real key presses, then the panel it leads to.
#include "support/AccessibilityBus.h"
#include "support/DesktopSession.h"
#include "support/TestEnvironment.h"

#include "platform/UserDefaults.h"

#include <QDir>

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

const QString onboardingTitle = QStringLiteral("Permission Setup");
const QString completedKey = QStringLiteral("launcherPermissionsOnboardingCompleted");

bool isFocusEvent(const AccessibleEvent &event) {
    return event.kind == QLatin1String("object:state-changed:focused") && event.detail1 == 1;
}

class OnboardingAccessibility : public ::testing::Test {
protected:
    void SetUp() override {
        // A first start: nothing stored, one folder for the file check to find.
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex-launcher")).removeRecursively();
        QDir(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/io.orvex.launcher"))
            .removeRecursively();
        test::makeDirectory(test::homePath() + QStringLiteral("/Documents/Projects"));
        ASSERT_TRUE(desktop.isReady()) << "Xvfb or openbox did not start";
        ASSERT_TRUE(bus.isReady()) << bus.failure().toStdString();
        ASSERT_TRUE(bus.recordEvents()) << bus.failure().toStdString();
        ASSERT_TRUE(
            launcher.start(QStringLiteral(ORVEX_LAUNCHER), {}, bus.environment(desktop.environment())));
        const std::optional<test::XWindowInfo> shown = desktop.waitForWindow(launcher.pid(), onboardingTitle);
        ASSERT_TRUE(shown) << launcher.standardError().toStdString();
        windowId = shown->id;
        ASSERT_TRUE(desktop.waitUntil([&] { return desktop.inputFocus() == windowId; }));
        app = bus.waitForApplication(launcher.pid());
        ASSERT_TRUE(app) << "the launcher is not on the accessibility bus";
        window = bus.waitForNode(
            *app, [](const AccessibleNode &node) { return node.depth == 1 && node.name == onboardingTitle; });
        ASSERT_TRUE(window) << AccessibilityBus::describe(bus.tree(*app)).toStdString();
    }

    std::optional<AccessibleNode> button(const QString &name) {
        return bus.waitForNode(
            window->ref,
            [&](const AccessibleNode &node) {
                return node.role == QLatin1String("push button") && node.name == name;
            },
            5s);
    }
    bool key(const QString &keys) { return desktop.xdotool({QStringLiteral("key"), keys}); }
    bool hasFocus(const AccessibleRef &ref) {
        return bus
            .waitForState(
                ref, [](const AccessibleNode &node) { return node.has(QStringLiteral("focused")); }, 5s)
            .has_value();
    }
    std::optional<bool> storedCompleted() {
        return UserDefaults(UserDefaults::standardFilePath()).boolValue(completedKey);
    }

    DesktopSession desktop;
    AccessibilityBus bus;
    ChildProcess launcher;
    std::optional<AccessibleRef> app;
    std::optional<AccessibleNode> window;
    quint32 windowId = 0;
};

TEST_F(OnboardingAccessibility, ReturnPressesTheFocusedRequestAndTheFocusStaysToHearItsOutcome) {
    EXPECT_EQ(window->role, QStringLiteral("dialog"));
    // No system prompt is promised: Linux shows none.
    EXPECT_TRUE(bus.waitForNode(window->ref, [](const AccessibleNode &node) {
        return node.role == QLatin1String("label") &&
               node.name ==
                   QLatin1String("Before first use, run the checks below so your folders are found now "
                                 "instead of during search.");
    }));
    // Nor are open tabs promised: no browser lists them to other programs here.
    EXPECT_TRUE(bus.waitForNode(window->ref, [](const AccessibleNode &node) {
        return node.role == QLatin1String("label") &&
               node.name.startsWith(QLatin1String("Finds open Edge")) &&
               node.name.contains(QLatin1String("on Linux none does"));
    })) << AccessibilityBus::describe(bus.tree(window->ref)).toStdString();
    const std::optional<AccessibleNode> proceed = button(QStringLiteral("Continue to Launcher"));
    const std::optional<AccessibleNode> browser = button(QStringLiteral("Request Browser Automation Access"));
    ASSERT_TRUE(proceed && browser) << AccessibilityBus::describe(bus.tree(window->ref)).toStdString();
    // The default action has the focus first.
    EXPECT_TRUE(hasFocus(proceed->ref));

    // Tab goes round every button, each named, and back; then to the second card's button.
    QStringList order;
    AccessibleRef current = proceed->ref;
    for (int press = 0; press < 8; ++press) {
        bus.clearEvents();
        ASSERT_TRUE(key(QStringLiteral("Tab")));
        const std::optional<AccessibleEvent> moved = bus.waitForEvent(
            [&](const AccessibleEvent &event) { return isFocusEvent(event) && event.source != current; }, 5s);
        ASSERT_TRUE(moved) << order.join(QStringLiteral(" > ")).toStdString();
        current = moved->source;
        order.append(bus.node(current).name);
        if (current == proceed->ref)
            break;
    }
    EXPECT_EQ(order, (QStringList{QStringLiteral("Request Files & Folders Access"),
                                  QStringLiteral("Request Browser Automation Access"),
                                  QStringLiteral("Skip for now"), QStringLiteral("Continue to Launcher")}));
    ASSERT_TRUE(key(QStringLiteral("Tab")));
    ASSERT_TRUE(key(QStringLiteral("Tab")));
    ASSERT_TRUE(hasFocus(browser->ref)) << AccessibilityBus::describe(bus.tree(window->ref)).toStdString();
    bus.clearEvents();
    ASSERT_TRUE(key(QStringLiteral("Return")));

    // The request ran (no browser runs here) and its outcome is what the focused button now says.
    const QString outcome =
        QStringLiteral("Neither Edge nor Brave is running, so no open tabs were looked for.");
    EXPECT_TRUE(bus.waitForState(browser->ref, [&](const AccessibleNode &node) {
        return node.description == outcome;
    })) << bus.node(browser->ref).summary().toStdString();
    EXPECT_TRUE(bus.waitForEvent([&](const AccessibleEvent &event) {
        return event.kind == QLatin1String("object:property-change:accessible-description") &&
               event.source == browser->ref;
    })) << "the outcome was never announced";
    desktop.settle(300ms);
    EXPECT_TRUE(bus.node(browser->ref).has(QStringLiteral("focused")));
    for (const AccessibleEvent &event : bus.events())
        EXPECT_FALSE(isFocusEvent(event))
            << "the focus moved to " << bus.node(event.source).summary().toStdString();
    // Return pressed the button, not "Continue to Launcher".
    EXPECT_TRUE(desktop.isViewable(windowId));
    EXPECT_EQ(storedCompleted(), std::nullopt);

    // Escape still skips; the panel that follows is a frame named after the launcher.
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    EXPECT_TRUE(desktop.waitUntil([&] { return !desktop.isViewable(windowId); }));
    const std::optional<AccessibleNode> panel = bus.waitForNode(*app, [](const AccessibleNode &node) {
        return node.depth == 1 && node.name == QLatin1String("Orvex Launcher") &&
               node.has(QStringLiteral("showing"));
    });
    ASSERT_TRUE(panel) << AccessibilityBus::describe(bus.tree(*app, 1)).toStdString();
    EXPECT_EQ(panel->role, QStringLiteral("frame"));
    EXPECT_EQ(storedCompleted(), std::nullopt);
}

} // namespace
} // namespace orvex
