#include "shell/AppDelegate.h"

#include "platform/ConsoleLog.h"
#include "platform/DesktopNotifier.h"
#include "platform/MainQueue.h"
#include "shell/OrvexLauncherRuntime.h"
#include "shell/SnapGridOverlayView.h"
#include "shell/X11Desktop.h"

#include "app-version/AccessoryAppCommandMenu.h"
#include "panel/PanelTrace.h"
#include "panel/SearchTextField.h"
#include "panel/SessionState.h"
#include "platform/Workspace.h"
#include "search/Database.h"
#include "search/LauncherNotifications.h"
#include "settings/OnboardingWindowController.h"
#include "settings/SettingsWindowController.h"
#include "sources/AppleScriptRunner.h"
#include "sources/TranslationLookup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QSystemTrayIcon>

namespace orvex {

namespace {

AppDelegate *sharedDelegate = nullptr;

// Hears every left button release inside the application, so that no snapping state outlives a drag
// that ended somewhere else.
class LocalMouseUpMonitor final : public QObject {
public:
    explicit LocalMouseUpMonitor(std::function<void()> handler) : handler_(std::move(handler)) {
        qApp->installEventFilter(this);
    }
    ~LocalMouseUpMonitor() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::MouseButtonRelease && watched->isWidgetType() &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            handler_();
        return false;
    }

private:
    std::function<void()> handler_;
};

bool isXcb() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

AppDelegate::AppDelegate(AppDelegateEnvironment environment)
    : environment_(std::move(environment)),
      defaults_(environment_.defaults ? *environment_.defaults : UserDefaults::standard()),
      center_(environment_.center ? *environment_.center : NotificationCenter::defaultCenter()),
      stores_(SettingsStores::over(defaults_)), permissionOnboardingStore_{&defaults_} {
    launchAtLoginManager_ = environment_.launchAtLoginManager ? environment_.launchAtLoginManager
                                                              : std::make_shared<LaunchAtLoginManager>();
    terminate_ = environment_.terminate ? environment_.terminate : [] { QCoreApplication::quit(); };
    if (!environment_.notifyUser) {
        auto notifier = std::make_shared<DesktopNotifier>(
            applicationName, OrvexLauncherRuntime::bundleIdentifier, OrvexLauncherRuntime::bundleIdentifier);
        environment_.notifyUser = [notifier](const QString &summary, const QString &body) {
            return notifier->notify(summary, body);
        };
    }
    // Settings and what is learned stay in memory when the file cannot take them; the user hears why,
    // once for each time writing stops working.
    defaults_.setWriteFailureHandler([this](const QString &reason) {
        MainQueue::post(this, [this, reason] { reportSettingsWriteFailure(reason); });
    });
    if (!environment_.permissionWarmups)
        environment_.permissionWarmups = PermissionWarmups::production();
    singleInstanceController_ = environment_.singleInstanceController
                                    ? environment_.singleInstanceController
                                    : OrvexLauncherRuntime::singleInstanceController();
    const QByteArray display =
        environment_.hotKeyDisplay.value_or(isXcb() ? qgetenv("DISPLAY") : QByteArray());
    hotKeyManager_ = std::make_unique<GlobalHotKeyManager>(hotKeySignature, display);
    if (isXcb())
        x11_ = X11Desktop::open();
    snapWindowToGrid_ = stores_.windowSnapSettingsStore.load(true);
    showMenuBarIcon_ = stores_.menuBarIconVisibilityStore.load(true);
    showVersionNumber_ = stores_.versionVisibilityStore.load(true);
    // The search history is a convenience: should the defaults file ever be full, it gives way (as the
    // query cache does) before a setting is refused.
    defaults_.setDiscardable(SessionState::historyQueriesKey);
    sharedDelegate = this;
    PanelHost::setCurrent(this);
}

AppDelegate::~AppDelegate() {
    defaults_.setWriteFailureHandler({});
    waitForBackgroundWork();
    if (!terminated_)
        applicationWillTerminate();
    if (PanelHost::current() == this)
        PanelHost::setCurrent(nullptr);
    if (sharedDelegate == this)
        sharedDelegate = nullptr;
    delete statusItem_;
    settingsWindowController_.reset();
    onboardingWindowController_.reset();
    delete snapOverlayWindow_.data();
    delete window_.data();
}

void AppDelegate::reportSettingsWriteFailure(const QString &reason) {
    // The defaults print their own line with the same reason; the user is told once more, on the desktop.
    const QString file = defaults_.filePath();
    environment_.notifyUser(QStringLiteral("Settings cannot be saved"),
                            QStringLiteral("Orvex Launcher cannot save its settings or what it learns to %1: "
                                           "%2. It keeps them while it runs and saves them once it can.")
                                .arg(file, reason));
}

AppDelegate *AppDelegate::shared() {
    return sharedDelegate;
}

WindowSizeStore &AppDelegate::windowSizeStore() {
    if (!windowSizeStore_)
        windowSizeStore_.emplace(defaults_, QStringLiteral("launcherWindowWidth"),
                                 QStringLiteral("launcherWindowHeight"), minWindowWidth, maxWindowWidth,
                                 minExpandedWindowHeight, maxWindowHeight);
    return *windowSizeStore_;
}

WindowPositionStore &AppDelegate::windowPositionStore() {
    if (!windowPositionStore_)
        windowPositionStore_.emplace(WindowPositionStore::launcherPanel(defaults_));
    return *windowPositionStore_;
}

WindowSizeStore &AppDelegate::settingsWindowSizeStore() {
    if (!settingsWindowSizeStore_)
        settingsWindowSizeStore_.emplace(WindowSizeStore::settingsWindow(defaults_));
    return *settingsWindowSizeStore_;
}

void AppDelegate::later(std::function<void()> work) {
    MainQueue::post(this, std::move(work));
}

NotificationCenter::ObserverToken AppDelegate::observe(QLatin1StringView name,
                                                       std::function<void(const Notification &)> handler) {
    // Delivered on a later turn of the event loop, on the GUI thread, and only while this delegate lives.
    QPointer<AppDelegate> self(this);
    return center_.addObserver(
        QString(name), [self, handler = std::move(handler)](const Notification &notification) {
            if (!self)
                return;
            MainQueue::post(self.data(), [handler, notification] { handler(notification); });
        });
}

void AppDelegate::removeObserver(std::optional<NotificationCenter::ObserverToken> &token) {
    if (token)
        center_.removeObserver(*token);
    token.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    // The panel's content and its window.
    ContentViewEnvironment content = std::move(environment_.content);
    content.search.defaults = &defaults_;
    content.search.notificationCenter = &center_;
    if (!content.terminate)
        content.terminate = terminate_;
    PanelTrace::traceSearchesIfRequested(QCoreApplication::arguments(), content.search.search);
    Workspace &workspace = environment_.workspace ? *environment_.workspace : Workspace::shared();
    contentView_ = new ContentView(workspace, std::move(content));
    // The benchmark's record of what the panel shows ("--trace FILE").
    PanelTrace::installIfRequested(QCoreApplication::arguments(), *contentView_);

    const QSize stored = windowSizeStore().load(defaultWindowSize);
    lastExpandedWindowHeight_ = stored.height();

    const bool compositing = environment_.compositing.value_or(x11_ && x11_->isCompositingManagerRunning());
    window_ = new CustomWindow(compositing, defaults_, center_);
    window_->setContentView(contentView_);
    window_->setSearchField(contentView_->searchField());
    connect(contentView_->searchField(), &QLineEdit::textEdited, this,
            [this] { lastEditedShow_ = showCount_; });
    // The stored size within the screen the panel opens on.
    const QSize size = stored.boundedTo(maxWindowSizeOnScreen());
    window_->resize(size);
    // Ctrl+Q, whichever of the launcher's windows has the focus.
    AccessoryAppCommandMenu::installQuitMenu(*window_, applicationName, terminate_);

    // An unsaved position centres the panel and is saved at once. A saved one is kept within the screen
    // for the compact panel that launching shows: clamped for the full height, a panel the user put low
    // on the screen would creep up at every start. Growing later keeps it on screen (windowDidResize).
    const QRect visibleFrame = preferredVisibleFrameForLauncher();
    if (const std::optional<QPoint> origin =
            windowPositionStore().load(QSize(size.width(), compactWindowHeight), visibleFrame)) {
        window_->move(*origin);
    } else {
        window_->move(WindowPositionStore::clamped(
            visibleFrame.x() + (visibleFrame.width() - size.width()) / 2.0,
            visibleFrame.y() + (visibleFrame.height() - size.height()) / 2.0, size, visibleFrame));
        windowPositionStore().save(QRect(window_->pos(), size));
    }

    window_->setMinimumSize(minWindowWidth, minExpandedWindowHeight);
    window_->setMaximumSize(maxWindowSizeOnScreen());
    window_->setDelegate(this);

    resultsVisibilityObserver_ =
        observe(NotificationName::launcherResultsVisibilityChanged, [this](const Notification &notification) {
            updateResultsVisibility(
                notificationFlag(notification, NotificationUserInfoKey::hasResults).value_or(false), false);
        });

    updateMenuBarIconVisibility();
    setupGlobalHotKey();
    setupWindowSnapSettings();
    setupMenuBarIconVisibility();
    setupVersionVisibility();

    if (environment_.prewarmTranslationEngines)
        environment_.prewarmTranslationEngines();
    else
        TranslationLookup::prewarmEnabledEnginesIfPossible(std::nullopt, defaults_);

    reconcileLaunchAtLogin();
    setupDuplicateLaunchActivationRequests();
    setupWindowDragHandlers();

    isShowingResults_ = false;
    resizeWindow(compactWindowHeight, false);

    if (permissionOnboardingStore_.load(false)) {
        showWindow();
        revalidatePermissionsAfterLaunch();
    } else {
        showPermissionsOnboardingWindow();
    }

    installEventMonitors();
}

void AppDelegate::installEventMonitors() {
    if (isXcb()) {
        eventMonitor_ = GlobalMouseDownMonitor::open(qgetenv("DISPLAY"));
        if (eventMonitor_) {
            QPointer<AppDelegate> self(this);
            eventMonitor_->onMouseDown = [self](const GlobalMouseDownMonitor::Press &press) {
                if (self)
                    self->handleGlobalMouseDown(press);
            };
        }
    }
    QPointer<AppDelegate> self(this);
    localMouseUpMonitor_ = std::make_unique<LocalMouseUpMonitor>([self] {
        if (self)
            self->handleLocalMouseUp();
    });
}

void AppDelegate::handleGlobalMouseDown(const GlobalMouseDownMonitor::Press &press) {
    if (!window_ || !window_->isVisible())
        return;
    const QPoint pointer = QCursor::pos();
    if (window_->frameGeometry().contains(pointer))
        return;
    // Clicks in the launcher's own windows (the settings window, a menu, the status item) are not
    // outside it.
    if (isOwnWindow(press.rootChild) || (statusItem_ && statusItem_->geometry().contains(pointer)))
        return;
    hideWindow();
}

bool AppDelegate::isOwnWindow(quint32 rootChild) const {
    if (!x11_ || rootChild == 0)
        return false;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *widget : windows) {
        if (!widget->isVisible() || !widget->internalWinId())
            continue;
        if (x11_->rootChildOf(static_cast<quint32>(widget->internalWinId())) == rootChild)
            return true;
    }
    return false;
}

void AppDelegate::handleLocalMouseUp() {
    dragSnapLocks_ = {};
    hideSnapOverlay();
}

void AppDelegate::setupDuplicateLaunchActivationRequests() {
    if (!singleInstanceController_)
        return;
    QPointer<AppDelegate> self(this);
    singleInstanceController_->setActivationHandler([self] {
        if (self)
            self->handleDuplicateLaunch();
    });
}

void AppDelegate::teardownDuplicateLaunchActivationRequests() {
    if (singleInstanceController_)
        singleInstanceController_->setActivationHandler([] {});
}

void AppDelegate::handleDuplicateLaunch() {
    // A hot key that another program held at launch may be free by now.
    retryGlobalHotKey(false);
    // Never hides: a later launch is how a user without status item and hot key gets the panel back.
    if (QWidget *onboarding = permissionsOnboardingWindow(); onboarding && onboarding->isVisible()) {
        onboarding->raise();
        if (x11_)
            x11_->activate(static_cast<quint32>(onboarding->winId()), 0);
        else
            onboarding->activateWindow();
        return;
    }
    showWindow();
}

void AppDelegate::revalidatePermissionsAfterLaunch() {
    const PermissionWarmups warmups = *environment_.permissionWarmups;
    if (!warmups.fileSystem || !warmups.browserAutomation)
        return;
    revalidating_ = true;
    QPointer<AppDelegate> self(this);
    backgroundWork_.start([self, warmups, target = this] {
        const qint64 folderCount = warmups.fileSystem().second;
        const BrowserAutomationWarmupResult browser = warmups.browserAutomation();
        // Back on the GUI thread; the delegate waits for this worker before it goes.
        MainQueue::post(target, [self, folderCount, browser] {
            if (!self)
                return;
            self->revalidating_ = false;
            using Case = BrowserAutomationWarmupResult::Case;
            const bool browserRefused = browser.kind == Case::permissionDenied ||
                                        (browser.kind == Case::scriptError &&
                                         AppleScriptRunner::isAppleEventsPermissionDenied(browser.details));
            if (!self->permissionOnboardingStore_.load(false) || folderCount == 0 || browserRefused) {
                self->hideWindow();
                self->showPermissionsOnboardingWindow();
            }
        });
    });
}

void AppDelegate::waitForBackgroundWork() {
    backgroundWork_.waitForDone();
}

QWidget *AppDelegate::settingsWindow() const {
    return settingsWindowController_ ? settingsWindowController_->window() : nullptr;
}

QWidget *AppDelegate::permissionsOnboardingWindow() const {
    return onboardingWindowController_ ? onboardingWindowController_->window() : nullptr;
}

void AppDelegate::showSettingsWindow() {
    if (window_ && window_->isVisible())
        hideWindow();
    if (!settingsWindowController_) {
        std::function<SettingsEnvironment()> base = environment_.settingsEnvironment
                                                        ? environment_.settingsEnvironment
                                                        : &SettingsEnvironment::production;
        QPointer<AppDelegate> self(this);
        auto environment = [base, self] {
            SettingsEnvironment settings = base();
            if (!self)
                return settings;
            // One start-at-login manager for the whole launcher; the recorder needs the hot key released;
            // a failure is told with the reason the hot-key manager knows.
            settings.launchAtLoginManager = self->launchAtLoginManager_;
            settings.hotKeyRecordingChanged = [self](bool recording) {
                if (self)
                    self->hotKeyManager_->setSuspended(recording);
            };
            settings.hotKeyRegistrationFailureReason = [self]() -> std::optional<QString> {
                if (!self)
                    return std::nullopt;
                const std::optional<HotKeyRegistrationFailure> failure = self->hotKeyManager_->lastFailure();
                return failure ? std::optional<QString>(describe(*failure)) : std::nullopt;
            };
            return settings;
        };
        // The window saves its own size on every resize, through the same store.
        settingsWindowController_ =
            std::make_unique<SettingsWindowController>(std::move(environment), settingsWindowSizeStore());
    }
    settingsWindowController_->show();
    // The window's registration sentence tells of a hot key that still fails, whenever it opens.
    retryGlobalHotKey(true);
    if (QWidget *window = settingsWindow(); window && !quitMenuOnSettingsWindow_) {
        AccessoryAppCommandMenu::installQuitMenu(*window, applicationName, terminate_);
        quitMenuOnSettingsWindow_ = true;
    }
}

void AppDelegate::showPermissionsOnboardingWindow() {
    if (!onboardingWindowController_) {
        QPointer<AppDelegate> self(this);
        onboardingWindowController_ = std::make_unique<OnboardingWindowController>(
            permissionOnboardingStore_,
            [self] {
                if (self)
                    self->showWindow();
            },
            *environment_.permissionWarmups);
    }
    onboardingWindowController_->show();
    if (QWidget *window = permissionsOnboardingWindow(); window && !quitMenuOnOnboardingWindow_) {
        AccessoryAppCommandMenu::installQuitMenu(*window, applicationName, terminate_);
        quitMenuOnOnboardingWindow_ = true;
    }
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_)
        return;
    terminated_ = true;
    removeObserver(resultsVisibilityObserver_);
    removeObserver(hotKeyObserver_);
    removeObserver(snapSettingsObserver_);
    removeObserver(menuBarIconObserver_);
    removeObserver(versionVisibilityObserver_);
    teardownDuplicateLaunchActivationRequests();
    hideSnapOverlay();
    eventMonitor_.reset();
    localMouseUpMonitor_.reset();
    if (hotKeyRetryTimer_)
        hotKeyRetryTimer_->stop();
    hotKeyManager_->unregister();
}

} // namespace orvex
