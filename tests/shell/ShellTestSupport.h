#pragma once

#include "fixtures/FakeWorkspace.h"
#include "shell/AppDelegate.h"

#include "launch-at-login/LaunchAtLoginManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QList>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

namespace orvex::test {

// Start at login as the system would answer, recording what it is asked.
class FakeLaunchAtLogin : public LaunchAtLoginManaging {
public:
    LaunchAtLoginState currentState() const override { return state; }
    LaunchAtLoginUpdateResult update(bool enabled) override;

    LaunchAtLoginState state = LaunchAtLoginState::disabled;
    // What a successful update leaves; none: enabled or disabled as asked.
    std::optional<LaunchAtLoginState> stateAfterUpdate;
    std::optional<LaunchAtLoginManagerError> failure;
    QList<bool> updates;
};

// An application delegate on the offscreen screen over memory-only defaults, a private notification
// centre, a fake workspace, a fake start at login and fake permission warm-ups. The panel's search
// answers "row…" queries with as many rows as the query's length and nothing else.
struct DelegateHarness {
    explicit DelegateHarness(const std::function<void(UserDefaults &)> &settings = {},
                             bool compositing = false);
    // The same over defaults in `file`, which may hold at most `fileByteLimit` bytes.
    DelegateHarness(const QString &file, qint64 fileByteLimit,
                    const std::function<void(UserDefaults &)> &settings = {});
    ~DelegateHarness();

    // Finishes launching and, when the panel shows, waits for it.
    void launch();
    // A new delegate over the same defaults, as after quitting and starting again (not launched yet).
    void restart();
    // Types into the panel's field with key events and waits for the height that the answer brings.
    void type(const QString &text);
    void clearQuery();
    bool waitForHeight(int height);
    // Notifications of one name posted so far.
    QList<Notification> posted(const QString &name) const;
    QStringList postedNames() const;

private:
    std::unique_ptr<UserDefaults> ownedDefaults_;

public:
    UserDefaults &defaults;
    NotificationCenter center;
    FakeWorkspace workspace;
    std::shared_ptr<FakeLaunchAtLogin> launchAtLogin = std::make_shared<FakeLaunchAtLogin>();
    // What the permission warm-ups answer.
    std::atomic<qint64> folderCount{3};
    BrowserAutomationWarmupResult browserResult = BrowserAutomationWarmupResult::browserNotRunning();
    std::atomic<int> fileSystemWarmups{0};
    // Runs inside the file warm-up, on its worker.
    std::function<void()> duringFileSystemWarmup;
    int terminations = 0;
    // What the delegate told the user through the desktop's notifications: summary and sentence.
    QList<QPair<QString, QString>> userNotifications;
    // The X display the hot key is grabbed on (none: no display, so every enabled hot key fails) and how
    // often a failed one is tried again; for delegates made from now on.
    std::optional<QByteArray> hotKeyDisplay;
    std::optional<std::chrono::milliseconds> hotKeyRetryInterval;
    // Given to delegates made from now on (restart()).
    std::shared_ptr<SingleInstanceController> singleInstanceController;
    std::unique_ptr<AppDelegate> delegate;

private:
    void prepare(const std::function<void(UserDefaults &)> &settings);
    void makeDelegate();

    bool compositing_;
    QList<Notification> notifications_;
    QList<NotificationCenter::ObserverToken> observers_;
};

// Every name the shell's notifications use, for recording.
QStringList shellNotificationNames();

} // namespace orvex::test
