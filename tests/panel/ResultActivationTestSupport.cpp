#include "ResultActivationTestSupport.h"

#include "panel/PanelNotifications.h"

#include <QCoreApplication>

namespace orvex::test::panelmodel {

OpenResult RecordingWorkspace::open(const QUrl &url) {
    log_.append(QStringLiteral("open:") + url.toString());
    return opensEverything || openable.contains(url.toString()) ? OpenResult::opened() : failure;
}

void RecordingWorkspace::activateFileViewerSelectingURLs(const QList<QUrl> &urls) {
    for (const QUrl &url : urls)
        log_.append(QStringLiteral("viewer:") + url.toString());
}

bool RecordingWorkspace::openURLsWithApplication(const QList<QUrl> &urls, const QUrl &applicationURL) {
    for (const QUrl &url : urls)
        log_.append(QStringLiteral("open-with:") + url.toString() + QLatin1Char('>') +
                    applicationURL.toString());
    return true;
}

void RecordingWorkspace::setClipboardText(const QString &text) {
    log_.append(QStringLiteral("clipboard:") + text);
}

ActivationHarness::ActivationHarness() {
    ResultActivationEnvironment environment;
    environment.recordActivation = [this](const SearchResult &result) {
        std::lock_guard guard(recordedMutex_);
        recorded_.append(result);
    };
    environment.focusBrowserTab = [this](const QString &bundleIdentifier, qint64 windowIndex,
                                         qint64 tabIndex) {
        log.append(QStringLiteral("focus:%1/%2/%3").arg(bundleIdentifier).arg(windowIndex).arg(tabIndex));
        return tabFocusSucceeds;
    };
    environment.openSystemSettingsLink = [this](const QString &link) {
        log.append(QStringLiteral("settings-link:") + link);
        return settingsLinksOpen;
    };
    environment.reveal = [this](const QUrl &item, Workspace &) {
        log.append(QStringLiteral("reveal:") + item.toString());
    };
    environment.notificationCenter = &h.center;
    activation = std::make_unique<ResultActivation>(*h.controller, workspace, std::move(environment));
    hiddenObserver_ =
        h.center.addObserver(NotificationName::launcherWindowHidden,
                             [this](const Notification &) { log.append(QStringLiteral("hidden")); });
}

ActivationHarness::~ActivationHarness() {
    activation.reset();
    h.center.removeObserver(hiddenObserver_);
}

void ActivationHarness::show(const QString &query, const SearchResults &rows) {
    h.search.answer(query.trimmed(), rows);
    h.typeAndSettle(query);
    log.clear();
}

void ActivationHarness::finish() {
    QCoreApplication::sendPostedEvents();
    activation->waitForRecordings();
}

QStringList ActivationHarness::recordedNames() {
    std::lock_guard guard(recordedMutex_);
    return filenames(recorded_);
}

} // namespace orvex::test::panelmodel
