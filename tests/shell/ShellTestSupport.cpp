#include "ShellTestSupport.h"

#include "panel/PanelNotifications.h"
#include "panel/SearchState.h"
#include "panel/SearchTextField.h"
#include "search/LauncherNotifications.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "settings/SettingsEnvironment.h"
#include "single-instance/SingleInstanceController.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace orvex::test {

LaunchAtLoginUpdateResult FakeLaunchAtLogin::update(bool enabled) {
    updates.append(enabled);
    if (failure)
        return {state, failure};
    state = stateAfterUpdate.value_or(enabled ? LaunchAtLoginState::enabled : LaunchAtLoginState::disabled);
    return {state, std::nullopt};
}

QStringList shellNotificationNames() {
    QStringList names;
    for (const QLatin1StringView name :
         {NotificationName::launcherWindowAppeared, NotificationName::launcherWindowHidden,
          NotificationName::launcherResultsVisibilityChanged,
          NotificationName::launcherHotKeyRegistrationStatusChanged,
          NotificationName::launcherMenuBarIconVisibilityChanged,
          NotificationName::launcherVersionVisibilityChanged, NotificationName::launcherShowSnippetsChanged})
        names.append(QString(name));
    return names;
}

DelegateHarness::DelegateHarness(const std::function<void(UserDefaults &)> &settings, bool compositing)
    : ownedDefaults_(std::make_unique<UserDefaults>()), defaults(*ownedDefaults_), compositing_(compositing) {
    prepare(settings);
}

DelegateHarness::DelegateHarness(const QString &file, qint64 fileByteLimit,
                                 const std::function<void(UserDefaults &)> &settings)
    : ownedDefaults_(std::make_unique<UserDefaults>(file, std::chrono::hours(1), fileByteLimit)),
      defaults(*ownedDefaults_), compositing_(false) {
    prepare(settings);
}

void DelegateHarness::prepare(const std::function<void(UserDefaults &)> &settings) {
    defaults.set(QStringLiteral("launcherPermissionsOnboardingCompleted"), PlistValue(true));
    if (settings)
        settings(defaults);
    for (const QString &name : shellNotificationNames())
        observers_.append(
            center.addObserver(name, [this](const Notification &note) { notifications_.append(note); }));
    makeDelegate();
}

void DelegateHarness::restart() {
    delegate.reset();
    makeDelegate();
}

void DelegateHarness::makeDelegate() {
    AppDelegateEnvironment environment;
    environment.defaults = &defaults;
    environment.center = &center;
    environment.workspace = &workspace;
    environment.launchAtLoginManager = launchAtLogin;
    environment.permissionWarmups =
        PermissionWarmups{[this] {
                              ++fileSystemWarmups;
                              if (duringFileSystemWarmup)
                                  duringFileSystemWarmup();
                              return std::pair<qint64, qint64>(10, folderCount.load());
                          },
                          [this] { return browserResult; }};
    environment.prewarmTranslationEngines = [] {};
    environment.content.search.search = [](const QString &query, bool) {
        SearchResults rows;
        if (!query.startsWith(QStringLiteral("row")))
            return rows;
        for (qsizetype i = 0; i < query.size(); ++i) {
            SearchResultFields row;
            row.id = i + 1;
            row.filename = QStringLiteral("%1 %2.txt").arg(query).arg(i);
            row.directory = homePath() + QStringLiteral("/Documents");
            row.kind = SearchResultKind::file;
            rows.append(SearchResult(row));
        }
        return rows;
    };
    environment.content.search.persistentQueryCacheStore = std::make_shared<PersistentQueryResultCacheStore>(
        SearchState::persistentQueryCacheStoreKey, defaults);
    environment.content.activation.recordActivation = [](const SearchResult &) {};
    environment.content.version =
        AppVersionInfo{"1.4.2", "abc123def456", QDateTime::fromSecsSinceEpoch(1709640000, QTimeZone::utc())};
    environment.settingsEnvironment = [this] {
        return SettingsEnvironment::over(defaults, center, launchAtLogin);
    };
    environment.terminate = [this] { ++terminations; };
    environment.notifyUser = [this](const QString &summary, const QString &body) {
        userNotifications.append({summary, body});
        return true;
    };
    environment.hotKeyDisplay = hotKeyDisplay;
    environment.hotKeyRetryInterval = hotKeyRetryInterval;
    environment.compositing = compositing_;
    environment.singleInstanceController = singleInstanceController;
    delegate = std::make_unique<AppDelegate>(std::move(environment));
}

DelegateHarness::~DelegateHarness() {
    delegate.reset();
    for (const auto token : observers_)
        center.removeObserver(token);
}

void DelegateHarness::launch() {
    delegate->applicationDidFinishLaunching();
    if (delegate->window()->isVisible()) {
        // Unless the permission check after launch hides it first.
        CustomWindow *window = delegate->window();
        EXPECT_TRUE(waitUntil([&] {
            return !window->isVisible() || (window->windowHandle() && window->windowHandle()->isExposed() &&
                                            delegate->contentView()->searchField()->hasFocus());
        }));
    }
}

bool DelegateHarness::waitForHeight(int height) {
    return waitUntil([&] { return delegate->window()->height() == height; });
}

void DelegateHarness::type(const QString &text) {
    QTest::keyClicks(delegate->contentView()->searchField(), text);
}

void DelegateHarness::clearQuery() {
    SearchTextField *field = delegate->contentView()->searchField();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
}

QList<Notification> DelegateHarness::posted(const QString &name) const {
    QList<Notification> found;
    for (const Notification &note : notifications_)
        if (note.name == name)
            found.append(note);
    return found;
}

QStringList DelegateHarness::postedNames() const {
    QStringList names;
    for (const Notification &note : notifications_)
        names.append(note.name);
    return names;
}

} // namespace orvex::test
