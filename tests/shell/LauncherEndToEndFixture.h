#pragma once

// The real orvex-launcher on a desktop of the test's own (Xvfb with openbox), driven as a user drives it:
// what the end-to-end tests of the shell and the panel share.

#include "support/DesktopSession.h"

#include "platform/UserDefaults.h"

#include <QList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace orvex::test {

inline const QString panelTitle = QStringLiteral("Orvex Launcher");

// The launcher's files in the test's home, cleared before each test; onboarding marked done.
void prepareHome(const std::function<void(UserDefaults &)> &settings = {});
// What the launcher has written to its defaults file so far.
std::unique_ptr<UserDefaults> storedDefaults();
// The processes whose parent is `pid`.
QList<qint64> childrenOf(qint64 pid);

class LauncherEndToEnd : public ::testing::Test {
protected:
    // A launcher process of this test: what it wrote is shown when the test fails, and it is stopped
    // before the desktop goes.
    ChildProcess &newProcess() { return *processes.emplace_back(std::make_unique<ChildProcess>()); }
    void TearDown() override;
    void startSession(DesktopSession::Options options = {});
    // Starts orvex-launcher and waits for its panel; `environment` replaces the desktop's own.
    XWindowInfo startLauncher(ChildProcess &launcher,
                              const std::optional<QProcessEnvironment> &environment = std::nullopt);
    QRect geometry(quint32 window) const;
    ::testing::AssertionResult waitForHeight(quint32 window, int height);
    ::testing::AssertionResult waitForViewable(quint32 window, bool viewable);
    ::testing::AssertionResult waitForFocus(quint32 window);
    // The hot key shows the hidden panel; it is shown once the user sees it and types into it. (Keys typed
    // before the window manager has given it the focus go where the focus was, as for any window.)
    ::testing::AssertionResult showWithHotKey(quint32 panel);
    bool key(const QString &keys);
    // Types with 15 ms between keys, or `delayMilliseconds`.
    bool type(const QString &text, int delayMilliseconds = 15);
    bool clickAt(QPoint point, int button = 1);
    // Quits with Ctrl+Q in the panel and checks that nothing of the launcher is left.
    void quitWithControlQ(ChildProcess &launcher, quint32 panel);

    std::unique_ptr<DesktopSession> session;
    std::vector<std::unique_ptr<ChildProcess>> processes;
};

} // namespace orvex::test
