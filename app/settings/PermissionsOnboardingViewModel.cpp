#include "settings/PermissionsOnboardingViewModel.h"

#include "platform/WorkerPool.h"
#include "search/Database.h"
#include "sources/BrowserTabsSource.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace orvex {

PermissionWarmups PermissionWarmups::production() {
    return PermissionWarmups{
        .fileSystem = [] { return DatabaseManager::shared().warmupFileSystemPermissions(); },
        .browserAutomation = [] { return warmupBrowserAutomationPermissions(DatabaseManager::shared()); },
    };
}

PermissionsOnboardingViewModel::PermissionsOnboardingViewModel(PermissionWarmups warmups, QObject *parent)
    : QObject(parent), warmups_(std::move(warmups)) {}

namespace {

// Runs `work` on a worker and hands its result to `done` on this object's thread; nothing is delivered
// once `owner` is gone.
template <typename Result, typename Work, typename Done>
void runOnWorker(QObject *owner, Work work, Done done) {
    auto *watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, owner, [watcher, done] {
        watcher->deleteLater();
        done(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(waitingWorkPool(), std::move(work)));
}

} // namespace

void PermissionsOnboardingViewModel::requestFileAndFolderAccess() {
    if (isRequestingFileAccess_)
        return;
    isRequestingFileAccess_ = true;
    fileAccessStatus_ = PermissionWarmupStatus::running(QStringLiteral("Requesting Files & Folders access…"));
    Q_EMIT stateChanged();
    runOnWorker<std::pair<qint64, qint64>>(
        this, warmups_.fileSystem, [this](std::pair<qint64, qint64> counts) {
            isRequestingFileAccess_ = false;
            fileAccessStatus_ = fileAccessOutcome(counts.first, counts.second);
            Q_EMIT stateChanged();
        });
}

void PermissionsOnboardingViewModel::requestBrowserAutomationAccess() {
    if (isRequestingBrowserAccess_)
        return;
    isRequestingBrowserAccess_ = true;
    browserAccessStatus_ =
        PermissionWarmupStatus::running(QStringLiteral("Requesting browser automation access…"));
    Q_EMIT stateChanged();
    runOnWorker<BrowserAutomationWarmupResult>(this, warmups_.browserAutomation,
                                               [this](const BrowserAutomationWarmupResult &result) {
                                                   isRequestingBrowserAccess_ = false;
                                                   browserAccessStatus_ = browserAccessOutcome(result);
                                                   Q_EMIT stateChanged();
                                               });
}

PermissionWarmupStatus PermissionsOnboardingViewModel::fileAccessOutcome(qint64 appCount,
                                                                         qint64 folderCount) {
    // Only folders prove access to the user's files; apps live in readable system places.
    if (folderCount < 1)
        return PermissionWarmupStatus::warning(
            QStringLiteral("No folders were indexed. Grant Files & Folders access and try again."));
    return PermissionWarmupStatus::success(
        QStringLiteral("Access check finished. Indexed %1 folders and %2 apps.")
            .arg(folderCount)
            .arg(appCount));
}

PermissionWarmupStatus
PermissionsOnboardingViewModel::browserAccessOutcome(const BrowserAutomationWarmupResult &result) {
    using Case = BrowserAutomationWarmupResult::Case;
    switch (result.kind) {
    case Case::tabsFound:
        return PermissionWarmupStatus::success(
            QStringLiteral("Browser tab discovery works. Found %1 open tabs.").arg(result.tabCount));
    case Case::noTabsFound:
        return PermissionWarmupStatus::warning(
            QStringLiteral("No HTTP(S) tabs found in %1. Open a regular website tab and retry.")
                .arg(result.runningBrowsers.join(QStringLiteral(", "))));
    case Case::permissionDenied:
        return PermissionWarmupStatus::warning(
            QStringLiteral(
                "Automation denied for %1. Allow it in System Settings > Privacy & Security > Automation.")
                .arg(result.browserName));
    case Case::scriptError:
        return PermissionWarmupStatus::warning(QStringLiteral("Could not read tabs from ") +
                                               result.browserName + QStringLiteral(": ") + result.details);
    case Case::browserNotRunning:
        break;
    }
    // Starting one would not help where no browser lists its tabs: say only what was done.
    return PermissionWarmupStatus::warning(
        QStringLiteral("Neither Edge nor Brave is running, so no open tabs were looked for."));
}

} // namespace orvex
