#include "settings/SystemIntegrationSettingsSection.h"

#include "SettingsTestSupport.h"

#include <QCheckBox>
#include <QLabel>

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(SystemIntegrationSettingsSection, WithoutAStoredWishTheSystemStateIsStored) {
    const std::pair<LaunchAtLoginState, bool> cases[] = {
        {LaunchAtLoginState::enabled, true},
        {LaunchAtLoginState::requiresApproval, true},
        {LaunchAtLoginState::disabled, false},
    };
    for (const auto &[state, expected] : cases) {
        SCOPED_TRACE(static_cast<int>(state));
        test::SettingsViewFixture f({}, {}, state);
        EXPECT_EQ(f.view->model().runAtLoginEnabled(), expected);
        EXPECT_EQ(f.defaults.boolValue("launcherRunAtLogin"), expected);
        EXPECT_EQ(f.view->systemIntegrationSection()->runAtLoginToggle()->isChecked(), expected);
        EXPECT_TRUE(f.launchAtLogin->updates.isEmpty());
    }
    // A stored wish is read, not the system.
    test::SettingsViewFixture f([](UserDefaults &d) { d.set("launcherRunAtLogin", PlistValue(false)); }, {},
                                LaunchAtLoginState::enabled);
    EXPECT_FALSE(f.view->model().runAtLoginEnabled());
}

TEST(SystemIntegrationSettingsSection, TheToggleShowsWhatTheSystemAnswered) {
    struct Case {
        const char *name;
        bool wish;
        std::optional<LaunchAtLoginState> answer;
        std::optional<LaunchAtLoginManagerError> error;
        bool shown;
        QString message;
    };
    const Case cases[] = {
        {"on", true, std::nullopt, std::nullopt, true, "Launcher will start automatically when you log in."},
        {"on, approval needed", true, LaunchAtLoginState::requiresApproval, std::nullopt, true,
         "Approve Launcher in your desktop's startup applications."},
        {"on, refused", true, std::nullopt,
         LaunchAtLoginManagerError{LaunchAtLoginManagerError::Kind::registerFailed, "Permission denied"},
         false, "Could not register run-at-login: Permission denied"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::SettingsViewFixture f;
        f.launchAtLogin->nextState = c.answer;
        f.launchAtLogin->nextError = c.error;
        SystemIntegrationSettingsSection *section = f.view->systemIntegrationSection();
        section->runAtLoginToggle()->click();
        EXPECT_EQ(f.launchAtLogin->updates, QList<bool>{c.wish});
        EXPECT_EQ(section->runAtLoginToggle()->isChecked(), c.shown);
        EXPECT_EQ(f.defaults.boolValue("launcherRunAtLogin"), c.shown);
        EXPECT_TRUE(section->statusLine()->isVisibleTo(section));
        EXPECT_EQ(section->statusLine()->text(), c.message);
        EXPECT_TRUE(f.recorder.posted().isEmpty());
    }
    test::SettingsViewFixture f({}, {}, LaunchAtLoginState::enabled);
    f.view->systemIntegrationSection()->runAtLoginToggle()->click();
    EXPECT_EQ(f.view->systemIntegrationSection()->statusLine()->text(),
              "Launcher will not start automatically.");
    EXPECT_FALSE(f.view->model().runAtLoginEnabled());
}

} // namespace
} // namespace orvex
