#pragma once

#include "sources/BrowserTypes.h"

#include <QObject>
#include <QString>

#include <functional>
#include <utility>

namespace orvex {

// What one permission card shows: the state of its warm-up and the sentence that goes with it.
struct PermissionWarmupStatus {
    enum class Case { idle, running, success, warning };

    Case kind = Case::idle;
    QString message;

    static PermissionWarmupStatus idle(QString message) { return {Case::idle, std::move(message)}; }
    static PermissionWarmupStatus running(QString message) { return {Case::running, std::move(message)}; }
    static PermissionWarmupStatus success(QString message) { return {Case::success, std::move(message)}; }
    static PermissionWarmupStatus warning(QString message) { return {Case::warning, std::move(message)}; }

    bool operator==(const PermissionWarmupStatus &) const = default;
};

// The two warm-ups the onboarding runs. Each blocks while it works and is called on a worker thread.
struct PermissionWarmups {
    // Crawls the app and folder roots into the search core's caches: (appCount, folderCount).
    std::function<std::pair<qint64, qint64>()> fileSystem;
    // Asks the running browsers for their tabs.
    std::function<BrowserAutomationWarmupResult()> browserAutomation;

    // Both on DatabaseManager::shared().
    static PermissionWarmups production();
};

// The onboarding's state: one status per permission and a flag per warm-up that keeps it from starting
// twice. The warm-ups run on workers; their outcomes are written here on the GUI thread.
class PermissionsOnboardingViewModel : public QObject {
    Q_OBJECT

public:
    explicit PermissionsOnboardingViewModel(PermissionWarmups warmups = PermissionWarmups::production(),
                                            QObject *parent = nullptr);

    const PermissionWarmupStatus &fileAccessStatus() const { return fileAccessStatus_; }
    const PermissionWarmupStatus &browserAccessStatus() const { return browserAccessStatus_; }
    bool isRequestingFileAccess() const { return isRequestingFileAccess_; }
    bool isRequestingBrowserAccess() const { return isRequestingBrowserAccess_; }

    // Start the warm-up unless it already runs.
    void requestFileAndFolderAccess();
    void requestBrowserAutomationAccess();

    // The card's sentence for each outcome.
    static PermissionWarmupStatus fileAccessOutcome(qint64 appCount, qint64 folderCount);
    static PermissionWarmupStatus browserAccessOutcome(const BrowserAutomationWarmupResult &result);

Q_SIGNALS:
    void stateChanged();

private:
    PermissionWarmups warmups_;
    PermissionWarmupStatus fileAccessStatus_ =
        PermissionWarmupStatus::idle(QStringLiteral("Not requested yet."));
    PermissionWarmupStatus browserAccessStatus_ =
        PermissionWarmupStatus::idle(QStringLiteral("Not requested yet."));
    bool isRequestingFileAccess_ = false;
    bool isRequestingBrowserAccess_ = false;
};

} // namespace orvex
