#include "sources/BrowserTabsSource.h"

#include "platform/RunningApplications.h"
#include "platform/StringUtils.h"
#include "search/Database.h"
#include "search/SearchContext.h"
#include "sources/AppleScriptRunner.h"
#include "sources/BrowserTabs.h"

#include <QFileInfo>

namespace orvex {

BrowserTabsSource::BrowserTabsSource(Configuration configuration)
    : configuration_(std::move(configuration)) {}

QString BrowserTabsSource::id() const {
    return QStringLiteral("browserTabs");
}

std::shared_ptr<const SourceSnapshot> BrowserTabsSource::initialSnapshot() const {
    return std::make_shared<Snapshot>(QList<BrowserTabShortcut>());
}

std::shared_ptr<const SourceSnapshot> BrowserTabsSource::crawl(const std::atomic<bool> &cancelled) const {
    return std::make_shared<Snapshot>(configuration_.asksBrowsers ? discover(&cancelled)
                                                                  : QList<BrowserTabShortcut>());
}

SearchResults BrowserTabsSource::match(const SourceSnapshot &snapshot, const SearchContext &context) const {
    // Under the test harness tab rows are never shown.
    if (!configuration_.asksBrowsers)
        return {};
    return BrowserTabs::rows(context, static_cast<const Snapshot &>(snapshot).data);
}

bool BrowserTabsSource::isBrowserRunning(const QString &bundleIdentifier) const {
    if (configuration_.isBrowserRunning)
        return configuration_.isBrowserRunning(bundleIdentifier);
    const BrowserAutomationTarget *target = BrowserTabs::target(bundleIdentifier);
    return target && RunningApplications().isAnyRunning(target->processNames);
}

BrowserTabProbeResult BrowserTabsSource::probe(const QString &browserName, const QString &appName,
                                               const QString &bundleIdentifier,
                                               const std::atomic<bool> *cancelled) const {
    // What the probe script answers for a browser that is not running, without starting anything.
    if (!isBrowserRunning(bundleIdentifier)) {
        std::lock_guard guard(failureLinesMutex_);
        lastFailureLines_.remove(browserName);
        return {};
    }

    std::optional<BrowserTabProbeFailure> failure;
    bool writeLine = true;
    QList<BrowserTabShortcut> tabs;
    const QFileInfo tool(configuration_.osascriptPath);
    if (configuration_.osascriptPath.isEmpty()) {
        failure = BrowserTabProbeFailure{
            .isPermissionDenied = false,
            .detail = QStringLiteral("Open tabs cannot be listed on this system: its browsers do not offer "
                                     "them to other programs.")};
    } else if (!tool.isFile() || !tool.isExecutable()) {
        // Linux has no interface that lists a browser's tabs: say so rather than claim there are none.
        failure = BrowserTabProbeFailure{
            .isPermissionDenied = false,
            .detail = QStringLiteral("Open tabs cannot be listed on this system (%1 is missing).")
                          .arg(configuration_.osascriptPath)};
    } else if (const auto run = AppleScriptRunner(configuration_.osascriptPath,
                                                  configuration_.scriptTimeoutMilliseconds, cancelled)
                                    .runDetailed(BrowserTabs::probeScript(), {appName});
               !run) {
        // The runner has written its own line, or the probe was cancelled.
        failure = BrowserTabProbeFailure{.isPermissionDenied = false,
                                         .detail = QStringLiteral("Failed to execute AppleScript process.")};
        writeLine = false;
    } else if (run->terminationStatus != 0) {
        const QString detail =
            run->standardError.isEmpty()
                ? QStringLiteral("AppleScript exited with status %1.").arg(run->terminationStatus)
                : run->standardError;
        failure = BrowserTabProbeFailure{
            .isPermissionDenied = AppleScriptRunner::isAppleEventsPermissionDenied(detail), .detail = detail};
    } else {
        tabs = BrowserTabs::parse(run->standardOutput, browserName, bundleIdentifier);
    }

    QString line;
    {
        std::lock_guard guard(failureLinesMutex_);
        if (!failure) {
            lastFailureLines_.remove(browserName);
        } else if (writeLine) {
            // A failure that persists is written once, not on every refresh.
            line = QStringLiteral("Browser tab probe failed for ") + browserName + QStringLiteral(": ") +
                   failure->detail;
            if (lastFailureLines_.value(browserName) == line)
                line.clear();
            else
                lastFailureLines_.insert(browserName, line);
        }
    }
    if (!line.isEmpty())
        AppleScriptRunner::writeDiagnostic(line);
    if (failure)
        return {.tabs = {}, .failure = failure};
    return {.tabs = tabs, .failure = std::nullopt};
}

QList<BrowserTabShortcut> BrowserTabsSource::discover(const std::atomic<bool> *cancelled) const {
    QList<BrowserTabShortcut> tabs;
    for (const BrowserAutomationTarget &target : BrowserTabs::targets()) {
        if (cancelled && cancelled->load())
            break;
        tabs += probe(target.displayName, target.appName, target.bundleIdentifier, cancelled).tabs;
    }
    return tabs;
}

bool BrowserTabsSource::focus(const QString &bundleIdentifier, qint64 windowIndex, qint64 tabIndex) const {
    if (windowIndex < 1 || tabIndex < 1)
        return false;
    // Only the browsers of the table are ever addressed: a link cannot name an application to control.
    const BrowserAutomationTarget *target = BrowserTabs::target(bundleIdentifier);
    if (!target)
        return false;
    // The script would answer "false" for a browser that is not running; no need to start it.
    if (configuration_.osascriptPath.isEmpty() || !isBrowserRunning(bundleIdentifier))
        return false;
    const auto answer =
        AppleScriptRunner(configuration_.osascriptPath, configuration_.scriptTimeoutMilliseconds)
            .run(BrowserTabs::focusScript(),
                 {target->appName, QString::number(windowIndex), QString::number(tabIndex)});
    if (!answer)
        return false;
    return StringUtils::trimmedWhitespaceAndNewlines(*answer).toLower() == QLatin1String("true");
}

BrowserAutomationWarmupSnapshot BrowserTabsSource::warmupSnapshot() const {
    QList<BrowserTabShortcut> tabs;
    QStringList runningBrowsers;
    for (const BrowserAutomationTarget &target : BrowserTabs::targets()) {
        if (isBrowserRunning(target.bundleIdentifier))
            runningBrowsers.append(target.displayName);
        // Probed whether or not it runs: a browser that is not running answers no tabs.
        const BrowserTabProbeResult answer =
            probe(target.displayName, target.appName, target.bundleIdentifier);
        if (answer.failure) {
            const auto result =
                answer.failure->isPermissionDenied
                    ? BrowserAutomationWarmupResult::permissionDenied(target.displayName)
                    : BrowserAutomationWarmupResult::scriptError(target.displayName, answer.failure->detail);
            return {.result = result, .tabs = tabs};
        }
        tabs += answer.tabs;
    }
    if (!tabs.isEmpty())
        return {.result = BrowserAutomationWarmupResult::tabsFound(tabs.size()), .tabs = tabs};
    if (!runningBrowsers.isEmpty())
        return {.result = BrowserAutomationWarmupResult::noTabsFound(runningBrowsers), .tabs = tabs};
    return {.result = BrowserAutomationWarmupResult::browserNotRunning(), .tabs = tabs};
}

bool focusBrowserTab(const DatabaseManager &manager, const QString &bundleIdentifier, qint64 windowIndex,
                     qint64 tabIndex) {
    const auto tabs = manager.source<BrowserTabsSource>();
    return tabs && tabs->focus(bundleIdentifier, windowIndex, tabIndex);
}

BrowserAutomationWarmupResult warmupBrowserAutomationPermissions(DatabaseManager &manager) {
    const auto tabs = manager.source<BrowserTabsSource>();
    if (!tabs)
        return BrowserAutomationWarmupResult::browserNotRunning();
    const BrowserAutomationWarmupSnapshot snapshot = tabs->warmupSnapshot();
    manager.installSourceSnapshot(tabs->id(), std::make_shared<BrowserTabsSource::Snapshot>(snapshot.tabs));
    return snapshot.result;
}

} // namespace orvex
