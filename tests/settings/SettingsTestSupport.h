#pragma once

#include "settings/SettingsView.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>

// Sizes in test failures as "1000x700".
inline void PrintTo(const QSize &size, std::ostream *os) {
    *os << size.width() << "x" << size.height();
}

namespace orvex::test {

// A private notification centre that records every change notification of the settings windows in the
// order posted, with the "success" flag when one came along.
class NotificationRecorder {
public:
    NotificationRecorder();
    ~NotificationRecorder();

    NotificationCenter &center() { return center_; }
    const QStringList &posted() const { return posted_; }
    void clear() { posted_.clear(); }

private:
    NotificationCenter center_;
    QStringList posted_;
    QList<NotificationCenter::ObserverToken> tokens_;
};

// A start-at-login system that answers as the test says and counts what it was asked.
class FakeLaunchAtLoginManager : public LaunchAtLoginManaging {
public:
    LaunchAtLoginState currentState() const override { return state; }
    LaunchAtLoginUpdateResult update(bool enabled) override;

    LaunchAtLoginState state = LaunchAtLoginState::disabled;
    // What the next update() leads to; none: the wish is granted (enabled or disabled).
    std::optional<LaunchAtLoginState> nextState;
    // When set, the next update() fails with it and leaves `state` alone.
    std::optional<LaunchAtLoginManagerError> nextError;
    QList<bool> updates;
};

// Runs the application's event loop, closes `window` from inside it and ends the loop a moment later
// with loopStillRunning unless closing the window ended it first (with 0, as the last window does).
inline constexpr int loopStillRunning = 77;
int exitCodeAfterClosing(QWidget *window);

// Where the screenshots of this build go; made on first use.
QString screenshotDirectory();

// A settings view over its own in-memory defaults and notification centre. `seed` writes stored values
// before the view reads them; without an availability table every engine counts as available.
struct SettingsViewFixture {
    explicit SettingsViewFixture(const std::function<void(UserDefaults &)> &seed = {},
                                 std::function<TranslationEngineAvailabilityTable()> availability = {},
                                 LaunchAtLoginState systemState = LaunchAtLoginState::disabled);

    SettingsEnvironment environment();

    UserDefaults defaults;
    NotificationRecorder recorder;
    std::shared_ptr<FakeLaunchAtLoginManager> launchAtLogin = std::make_shared<FakeLaunchAtLoginManager>();
    std::function<TranslationEngineAvailabilityTable()> availability;
    std::unique_ptr<SettingsView> view;
};

} // namespace orvex::test
