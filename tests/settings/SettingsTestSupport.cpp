#include "SettingsTestSupport.h"

#include "panel/PanelNotifications.h"
#include "search/LauncherNotifications.h"
#include "sources/NotionSettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace orvex::test {

NotificationRecorder::NotificationRecorder() {
    const QLatin1StringView names[] = {
        NotificationName::launcherThemeChanged,
        NotificationName::launcherIconSettingsChanged,
        NotificationName::launcherWindowSnapChanged,
        NotificationName::launcherMenuBarIconVisibilityChanged,
        NotificationName::launcherVersionVisibilityChanged,
        NotificationName::launcherScoreVisibilityChanged,
        NotificationName::launcherSearchDataRefreshed,
        NotificationName::launcherSearchDebounceChanged,
        NotificationName::launcherRankingSettingsChanged,
        NotificationName::launcherHotKeyChanged,
        NotificationName::launcherHotKeyRegistrationStatusChanged,
        NotificationName::launcherSessionPersistenceChanged,
        NotificationName::launcherWindowAppeared,
        NotificationName::launcherWindowHidden,
        NotificationName::launcherResultsVisibilityChanged,
        NotificationName::launcherShowSnippetsChanged,
        NotificationName::notionSettingsChanged,
    };
    for (const QLatin1StringView name : names)
        tokens_.append(
            center_.addObserver(QString(name), [this](const Notification &n) { posted_.append(n.name); }));
}

NotificationRecorder::~NotificationRecorder() {
    for (const NotificationCenter::ObserverToken token : tokens_)
        center_.removeObserver(token);
}

int exitCodeAfterClosing(QWidget *window) {
    QTimer::singleShot(0, window, [window] { window->close(); });
    QTimer::singleShot(300, qApp, [] { QCoreApplication::exit(loopStillRunning); });
    return QApplication::exec();
}

QString screenshotDirectory() {
    const QString path = QStringLiteral(ORVEX_BINARY_DIR "/screenshots");
    QDir().mkpath(path);
    return path;
}

LaunchAtLoginUpdateResult FakeLaunchAtLoginManager::update(bool enabled) {
    updates.append(enabled);
    if (nextError) {
        const LaunchAtLoginManagerError error = *nextError;
        nextError.reset();
        return {state, error};
    }
    state = nextState.value_or(enabled ? LaunchAtLoginState::enabled : LaunchAtLoginState::disabled);
    nextState.reset();
    return {state, std::nullopt};
}

SettingsViewFixture::SettingsViewFixture(const std::function<void(UserDefaults &)> &seed,
                                         std::function<TranslationEngineAvailabilityTable()> availability,
                                         LaunchAtLoginState systemState)
    : availability(std::move(availability)) {
    launchAtLogin->state = systemState;
    if (seed)
        seed(defaults);
    view = std::make_unique<SettingsView>(environment());
}

SettingsEnvironment SettingsViewFixture::environment() {
    return SettingsEnvironment::over(defaults, recorder.center(), launchAtLogin, availability);
}

} // namespace orvex::test
