// The settings window as a screen reader and a keyboard user meet it: under a desktop of the test's own,
// read and driven through the accessibility bus and with real key presses.
#include "SettingsTestSupport.h"
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

const QString settingsTitle = QStringLiteral("Launcher Settings");

std::function<bool(const AccessibleNode &)> named(const QString &role, const QString &name) {
    return [=](const AccessibleNode &node) { return node.role == role && node.name == name; };
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

    // Opens the settings window; its accessible object, read from the bus.
    std::optional<AccessibleNode> openSettings(const QStringList &arguments = {QStringLiteral("--stay")}) {
        if (!host.start(QStringLiteral(ORVEX_SETTINGS_WINDOW_HOST), arguments,
                        bus.environment(desktop.environment())))
            return std::nullopt;
        const std::optional<test::XWindowInfo> window = desktop.waitForWindow(host.pid(), settingsTitle);
        if (!window)
            return std::nullopt;
        windowId = window->id;
        app = bus.waitForApplication(host.pid());
        if (!app)
            return std::nullopt;
        return bus.waitForNode(
            *app, [](const AccessibleNode &node) { return node.depth == 1 && node.name == settingsTitle; });
    }

    std::optional<AccessibleNode> find(const AccessibleRef &root, const QString &role, const QString &name) {
        return bus.waitForNode(root, named(role, name), 5s);
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
    ASSERT_TRUE(snippets) << AccessibilityBus::describe(bus.tree(window->ref)).toStdString();
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

} // namespace
} // namespace orvex
