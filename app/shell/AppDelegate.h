#pragma once

#include "panel/ContentView.h"
#include "panel/PanelHost.h"
#include "platform/WorkerPool.h"
#include "settings/PermissionOnboardingStore.h"
#include "settings/PermissionsOnboardingViewModel.h"
#include "settings/SettingsEnvironment.h"
#include "settings/SettingsStores.h"
#include "settings/WindowSizeStore.h"
#include "shell/CustomWindow.h"
#include "shell/GlobalMouseDownMonitor.h"
#include "shell/SnapGridOverlayView.h"
#include "shell/WindowPositionStore.h"
#include "shell/WindowSnapping.h"

#include "hotkey-core/GlobalHotKeyManager.h"
#include "launch-at-login/LaunchAtLoginManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QObject>
#include <QPointer>
#include <QSize>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace orvex {

class OnboardingWindowController;
class SettingsWindowController;
class SingleInstanceController;
class Workspace;
class X11Desktop;

// What the application delegate is built from. Every empty member takes the launcher's own value.
struct AppDelegateEnvironment {
    // Null: UserDefaults::standard().
    UserDefaults *defaults = nullptr;
    // Null: NotificationCenter::defaultCenter().
    NotificationCenter *center = nullptr;
    // Null: Workspace::shared().
    Workspace *workspace = nullptr;
    // The X display the hot key is grabbed on. None: the application's display on the xcb platform, no
    // display on any other (so that tests never grab keys on a real desktop).
    std::optional<QByteArray> hotKeyDisplay;
    // Null: a LaunchAtLoginManager for the running program.
    std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager;
    // The permission warm-ups of the check after launch and of the onboarding window. None: the search
    // core's.
    std::optional<PermissionWarmups> permissionWarmups;
    // Starts the enabled translation engines ahead of the first translation. Null: the translation
    // lookup's own.
    std::function<void()> prewarmTranslationEngines;
    // The panel's content, taken when launching; its defaults and notification centre are the ones above.
    ContentViewEnvironment content;
    // The settings window's environment, asked once when it is first built. Null: production().
    std::function<SettingsEnvironment()> settingsEnvironment;
    // The controller that hands later launches over. Null: OrvexLauncherRuntime's.
    std::shared_ptr<SingleInstanceController> singleInstanceController;
    // Ends the application (Quit, Ctrl+Q). Null: QCoreApplication::quit().
    std::function<void()> terminate;
    // Whether a compositing manager runs. None: asked of the X server (false off X11).
    std::optional<bool> compositing;
    // Tells the user of a failure where they look (a summary and a sentence); false when it could not
    // be shown. Null: the desktop's notification service, when one runs.
    std::function<bool(const QString &summary, const QString &body)> notifyUser;
    // How often a hot key that could not be registered is tried again. None: hotKeyRetryInterval.
    std::optional<std::chrono::milliseconds> hotKeyRetryInterval;
};

// The running launcher's owner of everything outside the panel's content: the floating panel window
// with its placement, snapping and sizes, the status item and its menu, the settings and onboarding
// windows, the global hot key and the settings observers, the click-outside and mouse-up monitors, the
// handler of later launches and the permission check after launch. Created once by the application and
// kept until it ends; applicationDidFinishLaunching() builds everything, applicationWillTerminate()
// takes it down. GUI thread only; observers and background work hold it weakly.
class AppDelegate : public QObject, public PanelHost, private CustomWindowDelegate {
    Q_OBJECT

public:
    static constexpr QSize defaultWindowSize{600, 460};
    static constexpr int minWindowWidth = 560;
    static constexpr int maxWindowWidth = 1400;
    static constexpr int minExpandedWindowHeight = 120;
    static constexpr int maxWindowHeight = 1200;
    static constexpr int compactWindowHeight = 76;
    static constexpr QSize defaultSettingsWindowSize{980, 620};
    static inline const QString applicationName = QStringLiteral("Orvex Launcher");
    static inline const QString hotKeySignature = QStringLiteral("LCHR");
    static constexpr std::chrono::milliseconds hotKeyRetryInterval{10000};

    explicit AppDelegate(AppDelegateEnvironment environment = {});
    ~AppDelegate() override;

    // The delegate installed as the application's, if any.
    static AppDelegate *shared();

    // The window stores, made on first use.
    WindowSizeStore &windowSizeStore();
    WindowPositionStore &windowPositionStore();
    WindowSizeStore &settingsWindowSizeStore();

    // The launch steps, in order: menu, panel and window, placement, observers, status item, hot key,
    // snapping, start at login, later launches, drag hooks, compact panel, first window, monitors.
    void applicationDidFinishLaunching();
    // Removes the observers, silences later launches, hides the snap overlay, removes the monitors and
    // releases the hot key.
    void applicationWillTerminate();

    void toggleVersionNumber();
    void toggleMenuBarIcon();
    void toggleSnippets();
    void showSettingsWindow() override;
    // Says that the chosen row could not be opened, and why: one line on stderr and, where a
    // notification service runs, a desktop notification (the panel is hidden by then).
    void activationFailed(const SearchResult &result, const QString &reason) override;
    void showPermissionsOnboardingWindow();
    // Shows the panel on the current desktop, above everything, with the keyboard focus.
    void showWindow();
    void hideWindow() override;
    void toggleWindow();
    // The compact height without results, the last expanded one with them; the top edge stays.
    void updateResultsVisibility(bool hasResults, bool animated);

    // Creates or removes the status item to match showMenuBarIcon().
    void updateMenuBarIconVisibility();
    // What a click on the status item does: the menu, built anew from current values.
    void statusBarButtonClicked();
    // The status item's menu as it is now; the caller owns it.
    QMenu *buildStatusMenu();

    // Registers the stored hot key and reports the outcome ("LauncherHotKeyRegistrationStatusChanged");
    // a failure is also said on stderr and, where a notification service runs, on the desktop, and the
    // key is tried again every hotKeyRetryInterval until it registers.
    void reloadGlobalHotKey();
    // While the hot key fails, tries it again without a word unless it now registers;
    // `announceFailure` posts the status also when it fails again (the settings window shows it).
    void retryGlobalHotKey(bool announceFailure);
    // Whether the stored hot key is wished but could not be registered.
    bool isHotKeyRegistrationFailing() const { return hotKeyFailing_; }
    // Registers or unregisters start at login and stores what the system then says.
    void applyLaunchAtLoginPreference(bool enabled);
    // The permission check after launch: reopens the onboarding window when access is missing.
    void revalidatePermissionsAfterLaunch();
    // What a later launch does: the onboarding window forward when it shows, else the panel.
    void handleDuplicateLaunch();
    // The click-outside monitor's handler: hides the panel unless the click was on one of our windows.
    void handleGlobalMouseDown(const GlobalMouseDownMonitor::Press &press);
    // The mouse-up monitor's handler: ends snapping.
    void handleLocalMouseUp();

    // Placement (WindowSnapping): the visible area of the screen the panel belongs to.
    QRect preferredVisibleFrameForLauncher() const;
    // Keeps the panel inside that area after a resize.
    void clampWindowWithinVisibleFrameAfterResizeIfNeeded();
    void showSnapOverlay(const QRect &visibleFrame, const LauncherSnapState &state);

    CustomWindow *window() const { return window_; }
    ContentView *contentView() const { return contentView_; }
    QSystemTrayIcon *statusItem() const { return statusItem_; }
    SnapGridOverlayView *snapOverlayWindow() const { return snapOverlayWindow_; }
    QWidget *settingsWindow() const;
    QWidget *permissionsOnboardingWindow() const;
    GlobalHotKeyManager &hotKeyManager() { return *hotKeyManager_; }
    bool isShowingResults() const { return isShowingResults_; }
    int lastExpandedWindowHeight() const { return lastExpandedWindowHeight_; }
    bool snapWindowToGrid() const { return snapWindowToGrid_; }
    bool showMenuBarIcon() const { return showMenuBarIcon_; }
    bool showVersionNumber() const { return showVersionNumber_; }
    std::optional<double> snapOverlayHighlightedVerticalLine() const {
        return snapOverlayHighlightedVerticalLine_;
    }
    std::optional<double> snapOverlayHighlightedHorizontalLine() const {
        return snapOverlayHighlightedHorizontalLine_;
    }
    bool hasEventMonitors() const { return eventMonitor_ != nullptr || localMouseUpMonitor_ != nullptr; }
    // Whether the permission check after launch is still running.
    bool isRevalidatingPermissions() const { return revalidating_; }
    // Waits for the permission check's worker (tests, shutdown).
    void waitForBackgroundWork();

private:
    // CustomWindowDelegate
    QSize windowWillResize(CustomWindow &window, QSize proposed) override;
    void windowWillStartLiveResize(CustomWindow &window) override;
    void windowDidResize(CustomWindow &window) override;
    void windowDidEndLiveResize(CustomWindow &window) override;
    void windowDidMove(CustomWindow &window) override;

    void resizeWindow(int height, bool animated);
    // The largest panel the visible area of its screen holds, within the panel's own limits.
    QSize maxWindowSizeOnScreen() const;
    void applyWindowSizeLimits();
    void activateApplication();
    void keepWindowOnScreen();
    void applyWindowShape();
    bool isOwnWindow(quint32 rootChild) const;

    void setupGlobalHotKey();
    void reportHotKeyFailure(const HotKeySettings &settings);
    // Says why the defaults file takes no writes: a line on stderr and a desktop notification.
    void reportSettingsWriteFailure(const QString &reason);
    void setupWindowSnapSettings();
    void setupMenuBarIconVisibility();
    void setupVersionVisibility();
    void setupDuplicateLaunchActivationRequests();
    void teardownDuplicateLaunchActivationRequests();
    void setupWindowDragHandlers();
    void reconcileLaunchAtLogin();
    void hideSnapOverlay();
    void installEventMonitors();
    // Runs `work` on a later turn of the event loop unless this delegate is gone by then.
    void later(std::function<void()> work);
    NotificationCenter::ObserverToken observe(QLatin1StringView name,
                                              std::function<void(const Notification &)> handler);
    void removeObserver(std::optional<NotificationCenter::ObserverToken> &token);

    AppDelegateEnvironment environment_;
    UserDefaults &defaults_;
    NotificationCenter &center_;
    SettingsStores stores_;
    PermissionOnboardingStore permissionOnboardingStore_;
    std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager_;
    std::function<void()> terminate_;

    QPointer<CustomWindow> window_;
    ContentView *contentView_ = nullptr;
    QSystemTrayIcon *statusItem_ = nullptr;
    std::unique_ptr<GlobalMouseDownMonitor> eventMonitor_;
    std::unique_ptr<QObject> localMouseUpMonitor_;
    std::unique_ptr<X11Desktop> x11_;
    bool isShowingResults_ = false;
    std::unique_ptr<SettingsWindowController> settingsWindowController_;
    std::unique_ptr<OnboardingWindowController> onboardingWindowController_;
    int lastExpandedWindowHeight_ = defaultWindowSize.height();
    std::optional<NotificationCenter::ObserverToken> resultsVisibilityObserver_;
    std::optional<NotificationCenter::ObserverToken> hotKeyObserver_;
    std::unique_ptr<GlobalHotKeyManager> hotKeyManager_;
    std::optional<NotificationCenter::ObserverToken> snapSettingsObserver_;
    std::optional<NotificationCenter::ObserverToken> menuBarIconObserver_;
    std::optional<NotificationCenter::ObserverToken> versionVisibilityObserver_;
    bool isResizingWindowProgrammatically_ = false;
    std::optional<QPoint> liveResizeAnchorOrigin_;
    QPointer<SnapGridOverlayView> snapOverlayWindow_;
    std::optional<double> snapOverlayHighlightedVerticalLine_;
    std::optional<double> snapOverlayHighlightedHorizontalLine_;
    bool snapWindowToGrid_ = true;
    bool showMenuBarIcon_ = true;
    bool showVersionNumber_ = true;
    WindowSnapping::DragSnapLocks dragSnapLocks_;
    std::optional<int> intendedTopYAfterResize_;
    std::optional<WindowSizeStore> windowSizeStore_;
    std::optional<WindowPositionStore> windowPositionStore_;
    std::optional<WindowSizeStore> settingsWindowSizeStore_;
    // Shows of the panel so far, and the show after which the user last typed into the search field.
    quint64 showCount_ = 0;
    quint64 lastEditedShow_ = 0;
    // The server time of the hot-key press the next show answers.
    quint32 pendingActivationTimestamp_ = 0;
    std::shared_ptr<SingleInstanceController> singleInstanceController_;
    bool quitMenuOnSettingsWindow_ = false;
    bool quitMenuOnOnboardingWindow_ = false;
    bool revalidating_ = false;
    bool hotKeyFailing_ = false;
    QTimer *hotKeyRetryTimer_ = nullptr;
    bool terminated_ = false;
    WorkerPool backgroundWork_{1};
};

} // namespace orvex
