#include "settings/OnboardingWindowController.h"
#include "settings/PermissionOnboardingStore.h"
#include "settings/PermissionsOnboardingView.h"

#include "SettingsTestSupport.h"
#include "support/TestEnvironment.h"

#include "platform/UserDefaults.h"
#include "sources/BrowserTabsSource.h"

#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace orvex {

void PrintTo(const PermissionWarmupStatus &status, std::ostream *os) {
    *os << "{" << static_cast<int>(status.kind) << ", " << status.message.toStdString() << "}";
}

namespace {

using Status = PermissionWarmupStatus;
using Result = BrowserAutomationWarmupResult;

// Warm-ups that wait until the test lets them finish and count how often they ran.
struct GatedWarmups {
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
    std::shared_ptr<std::atomic<int>> fileRuns = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> browserRuns = std::make_shared<std::atomic<int>>(0);
    std::pair<qint64, qint64> counts{40, 12};
    Result browserResult = Result::tabsFound(3);

    PermissionWarmups warmups() const {
        return PermissionWarmups{
            .fileSystem =
                [gate = gate, runs = fileRuns, counts = counts] {
                    ++*runs;
                    gate->acquire();
                    return counts;
                },
            .browserAutomation =
                [gate = gate, runs = browserRuns, result = browserResult] {
                    ++*runs;
                    gate->acquire();
                    return result;
                },
        };
    }
    // Lets `count` waiting warm-ups end.
    void release(int count = 1) const { gate->release(count); }
};

TEST(PermissionOnboardingStore, ReadsOnlyABooleanAsTheFlag) {
    UserDefaults defaults;
    const PermissionOnboardingStore store{.defaults = &defaults};
    EXPECT_EQ(store.completedKey, "launcherPermissionsOnboardingCompleted");
    EXPECT_FALSE(store.load(false));
    defaults.set(store.completedKey, PlistValue(QStringLiteral("YES")));
    EXPECT_FALSE(store.load(false));
    EXPECT_TRUE(store.load(true));
    defaults.set(store.completedKey, PlistValue(true));
    EXPECT_TRUE(store.load(false));
}

TEST(PermissionsOnboardingViewModel, TurnsEachOutcomeIntoItsSentence) {
    EXPECT_EQ(PermissionsOnboardingViewModel::fileAccessOutcome(40, 12),
              Status::success("Access check finished. Indexed 12 folders and 40 apps."));
    EXPECT_EQ(PermissionsOnboardingViewModel::fileAccessOutcome(1, 1),
              Status::success("Access check finished. Indexed 1 folders and 1 apps."));
    // Apps alone prove nothing about the user's folders.
    EXPECT_EQ(PermissionsOnboardingViewModel::fileAccessOutcome(250, 0),
              Status::warning("No folders were indexed. Grant Files & Folders access and try again."));

    const std::pair<Result, Status> browserCases[] = {
        {Result::tabsFound(1), Status::success("Browser tab discovery works. Found 1 open tabs.")},
        {Result::tabsFound(27), Status::success("Browser tab discovery works. Found 27 open tabs.")},
        {Result::noTabsFound({"Edge", "Brave"}),
         Status::warning("No HTTP(S) tabs found in Edge, Brave. Open a regular website tab and retry.")},
        {Result::permissionDenied("Brave"),
         Status::warning(
             "Automation denied for Brave. Allow it in System Settings > Privacy & Security > Automation.")},
        {Result::scriptError("Edge", "Open tabs cannot be listed on this system (%1 missing)."),
         Status::warning(
             "Could not read tabs from Edge: Open tabs cannot be listed on this system (%1 missing).")},
        {Result::browserNotRunning(),
         Status::warning("Neither Edge nor Brave is running, so no open tabs were looked for.")},
    };
    for (const auto &[result, expected] : browserCases) {
        SCOPED_TRACE(expected.message.toStdString());
        EXPECT_EQ(PermissionsOnboardingViewModel::browserAccessOutcome(result), expected);
    }
}

TEST(PermissionsOnboardingViewModel, EachWarmupRunsOnceAtATimeAndCanBeRepeated) {
    GatedWarmups gated;
    gated.counts = {5, 0};
    PermissionsOnboardingView view({}, {}, gated.warmups());
    PermissionsOnboardingViewModel &model = view.viewModel();
    EXPECT_EQ(model.fileAccessStatus(), Status::idle("Not requested yet."));
    EXPECT_EQ(model.browserAccessStatus(), Status::idle("Not requested yet."));

    view.fileCard()->button()->click();
    EXPECT_TRUE(model.isRequestingFileAccess());
    // Busy, but still enabled: the keyboard focus stays on it.
    EXPECT_TRUE(view.fileCard()->button()->isBusy());
    EXPECT_TRUE(view.fileCard()->button()->isEnabled());
    EXPECT_EQ(model.fileAccessStatus(), Status::running("Requesting Files & Folders access…"));
    EXPECT_EQ(view.fileCard()->button()->accessibleDescription(), model.fileAccessStatus().message);
    // A second press of the busy button, or a request past it, starts nothing.
    view.fileCard()->button()->click();
    model.requestFileAndFolderAccess();
    // The other warm-up is independent.
    view.browserCard()->button()->click();
    EXPECT_EQ(model.browserAccessStatus(), Status::running("Requesting browser automation access…"));
    ASSERT_TRUE(test::waitUntil([&] { return *gated.fileRuns == 1 && *gated.browserRuns == 1; }));

    gated.release(2);
    ASSERT_TRUE(test::waitUntil(
        [&] { return !model.isRequestingFileAccess() && !model.isRequestingBrowserAccess(); }));
    EXPECT_EQ(*gated.fileRuns, 1);
    EXPECT_EQ(model.fileAccessStatus(),
              Status::warning("No folders were indexed. Grant Files & Folders access and try again."));
    EXPECT_EQ(model.browserAccessStatus(),
              Status::success("Browser tab discovery works. Found 3 open tabs."));
    EXPECT_EQ(view.fileCard()->statusText()->text(), model.fileAccessStatus().message);
    EXPECT_FALSE(view.fileCard()->button()->isBusy());
    // What a screen reader reads on the button: the outcome.
    EXPECT_EQ(view.fileCard()->button()->accessibleDescription(), model.fileAccessStatus().message);

    // Retrying runs the warm-up again and replaces the outcome.
    view.fileCard()->button()->click();
    EXPECT_EQ(model.fileAccessStatus().kind, Status::Case::running);
    gated.release();
    ASSERT_TRUE(test::waitUntil([&] { return !model.isRequestingFileAccess(); }));
    EXPECT_EQ(*gated.fileRuns, 2);
}

TEST(OnboardingWindowController, ContinueStoresTheFlagAndSkipDoesNot) {
    struct Case {
        const char *name;
        int key;
        std::optional<bool> storedFlag;
    };
    const Case cases[] = {
        {"Return continues", Qt::Key_Return, true},
        {"Enter continues", Qt::Key_Enter, true},
        {"Escape skips", Qt::Key_Escape, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults defaults;
        int panelShown = 0;
        GatedWarmups gated;
        OnboardingWindowController controller(
            PermissionOnboardingStore{.defaults = &defaults}, [&] { ++panelShown; }, gated.warmups());
        controller.show();
        QWidget *window = controller.window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), "Permission Setup");
        EXPECT_EQ(window->size(), QSize(680, 460));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        // Whatever the statuses: one warm-up is still running.
        controller.view()->fileCard()->button()->click();
        QTest::keyClick(controller.view()->fileCard()->button(), static_cast<Qt::Key>(c.key));
        EXPECT_EQ(defaults.boolValue(QStringLiteral("launcherPermissionsOnboardingCompleted")), c.storedFlag);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(panelShown, 1);
        gated.release();
        ASSERT_TRUE(
            test::waitUntil([&] { return !controller.view()->viewModel().isRequestingFileAccess(); }));
    }
}

TEST(OnboardingWindowController, TheWindowIsBuiltOnceAndKeepsOutcomesFinishedWhileClosed) {
    UserDefaults defaults;
    int panelShown = 0;
    GatedWarmups gated;
    gated.browserResult = Result::noTabsFound({"Edge", "Brave"});
    OnboardingWindowController controller(
        PermissionOnboardingStore{.defaults = &defaults}, [&] { ++panelShown; }, gated.warmups());
    controller.show();
    QWidget *window = controller.window();
    controller.view()->browserCard()->button()->click();
    EXPECT_EQ(test::exitCodeAfterClosing(window), test::loopStillRunning);
    EXPECT_FALSE(window->isVisible());
    // Closing neither completes nor shows the panel.
    EXPECT_EQ(defaults.value(QStringLiteral("launcherPermissionsOnboardingCompleted")), std::nullopt);
    EXPECT_EQ(panelShown, 0);

    gated.release();
    ASSERT_TRUE(test::waitUntil([&] { return !controller.view()->viewModel().isRequestingBrowserAccess(); }));
    controller.show();
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(controller.view()->browserCard()->statusText()->text(),
              "No HTTP(S) tabs found in Edge, Brave. Open a regular website tab and retry.");
}

TEST(OnboardingWindowController, Screenshot) {
    UserDefaults defaults;
    GatedWarmups gated;
    // What the launcher's own tab source answers here, where no browser lists its tabs: the picture
    // shows what a user with a browser running reads.
    const BrowserTabsSource tabs(BrowserTabsSource::Configuration{
        .osascriptPath = {}, .isBrowserRunning = [](const QString &) { return true; }});
    testing::internal::CaptureStdout();
    gated.browserResult = tabs.warmupSnapshot().result;
    testing::internal::GetCapturedStdout();
    OnboardingWindowController controller(PermissionOnboardingStore{.defaults = &defaults}, {},
                                          gated.warmups());
    controller.show();
    controller.view()->fileCard()->button()->click();
    controller.view()->browserCard()->button()->click();
    gated.release(2);
    ASSERT_TRUE(test::waitUntil([&] {
        const PermissionsOnboardingViewModel &m = controller.view()->viewModel();
        return !m.isRequestingFileAccess() && !m.isRequestingBrowserAccess();
    }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    // Both cards span the content width, and each status sentence has the room it needs (a long one
    // wraps rather than being cut off) once the layout has taken the new sentences in.
    const PermissionsOnboardingView &view = *controller.view();
    const auto statusesFit = [&] {
        for (const PermissionCard *card : {view.fileCard(), view.browserCard()})
            if (card->statusText()->height() <
                card->statusText()->heightForWidth(card->statusText()->width()))
                return false;
        return true;
    };
    test::waitUntil(statusesFit);
    EXPECT_EQ(view.fileCard()->width(), view.width() - 40);
    EXPECT_EQ(view.browserCard()->width(), view.width() - 40);
    for (const PermissionCard *card : {view.fileCard(), view.browserCard()}) {
        const QLabel *status = card->statusText();
        EXPECT_GE(status->height(), status->heightForWidth(status->width())) << status->text().toStdString();
        EXPECT_LE(status->geometry().right(), card->contentsRect().right() - 14);
    }
    EXPECT_EQ(view.browserCard()->statusText()->text(),
              "Could not read tabs from Edge: Open tabs cannot be listed on this system: its browsers do "
              "not offer them to other programs.");
    const QString path = test::screenshotDirectory() + QStringLiteral("/onboarding-window.png");
    ASSERT_TRUE(controller.window()->grab().save(path));
}

} // namespace
} // namespace orvex
