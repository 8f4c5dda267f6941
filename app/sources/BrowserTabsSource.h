#pragma once

#include "search/Source.h"
#include "sources/BrowserTypes.h"

#include <QHash>
#include <QList>

#include <functional>
#include <mutex>

namespace orvex {

class DatabaseManager;

// The open tabs of the running browsers, as action rows that bring a tab to the front. The tabs are
// asked of each browser by a script (see BrowserTabs.h); where the system has no script tool, a running
// browser's probe says that open tabs cannot be listed here.
class BrowserTabsSource final : public Source {
public:
    using Snapshot = DataSnapshot<QList<BrowserTabShortcut>>;

    struct Configuration {
        // The script tool; empty: the system has none, and nothing is started.
        QString osascriptPath;
        // Longest wait for one script run.
        int scriptTimeoutMilliseconds = 30000;
        // Whether a browser with this bundle identifier runs; null: look for its processes in /proc.
        std::function<bool(const QString &bundleIdentifier)> isBrowserRunning;
        // Off under the test harness, where tab rows are never shown: the browsers are not asked.
        bool asksBrowsers = true;
    };

    explicit BrowserTabsSource(Configuration configuration);

    QString id() const override;
    double timeToLive() const override { return 8; }
    std::shared_ptr<const SourceSnapshot> initialSnapshot() const override;
    std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &cancelled) const override;
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const override;

    // Whether a process of the browser runs (the injected check, else /proc); unknown browsers do not.
    bool isBrowserRunning(const QString &bundleIdentifier) const;
    // Asks one browser for its tabs; blocks while the script runs, or until `cancelled` (when given) is
    // set. A failure that persists is written once on standard output, not on every refresh.
    BrowserTabProbeResult probe(const QString &browserName, const QString &appName,
                                const QString &bundleIdentifier,
                                const std::atomic<bool> *cancelled = nullptr) const;
    // Every browser's tabs, in table order.
    QList<BrowserTabShortcut> discover(const std::atomic<bool> *cancelled = nullptr) const;
    // Brings a tab to the front; blocks while the script runs. True only when the browser said so.
    bool focus(const QString &bundleIdentifier, qint64 windowIndex, qint64 tabIndex) const;
    // Probes every browser in table order, stopping at the first failure. Blocks while the scripts run.
    BrowserAutomationWarmupSnapshot warmupSnapshot() const;

private:
    const Configuration configuration_;
    // The last probe-failure line written per browser.
    mutable std::mutex failureLinesMutex_;
    mutable QHash<QString, QString> lastFailureLines_;
};

// Brings a browser's tab to the front through the manager's tab source (false without one).
bool focusBrowserTab(const DatabaseManager &manager, const QString &bundleIdentifier, qint64 windowIndex,
                     qint64 tabIndex);
// Probes every browser without holding the manager, then installs the tabs as the tab source's
// snapshot. The caller picks the thread (never the GUI thread).
BrowserAutomationWarmupResult warmupBrowserAutomationPermissions(DatabaseManager &manager);

} // namespace orvex
