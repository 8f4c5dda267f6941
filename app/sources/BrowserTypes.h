#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

// A browser whose bookmark files are read: its display name and its user-data folder (one sub-folder
// per profile).
struct BrowserBookmarkSource {
    QString browserName;
    QString userDataRoot;

    bool operator==(const BrowserBookmarkSource &) const = default;
};

// The outcome of one osascript run: its exit status and both output streams, decoded as UTF-8 ("" when
// they are not valid UTF-8) and trimmed of white space and newlines.
struct AppleScriptRunResult {
    qint32 terminationStatus = 0;
    QString standardOutput;
    QString standardError;

    bool operator==(const AppleScriptRunResult &) const = default;
};

// One bookmark read from a browser's bookmark file.
struct BrowserBookmarkShortcut {
    QString browserName;
    QString title;
    QString urlString;
    QString host;
    QString folderPath;

    bool operator==(const BrowserBookmarkShortcut &) const = default;
};

// One open browser tab as the tab probe reported it; indexes are 1-based positions at probe time.
struct BrowserTabShortcut {
    QString browserName;
    QString browserBundleIdentifier;
    qint64 windowIndex = 1;
    qint64 tabIndex = 1;
    QString title;
    QString urlString;
    QString host;

    bool operator==(const BrowserTabShortcut &) const = default;
};

// A browser whose tabs are listed and focused. `appName` is the name the scripts address it by;
// `processNames` are the executable names its processes have on Linux, for the running check.
struct BrowserAutomationTarget {
    QString displayName;
    QString appName;
    QString bundleIdentifier;
    QStringList processNames;
};

// Why one tab probe failed.
struct BrowserTabProbeFailure {
    bool isPermissionDenied = false;
    QString detail;

    bool operator==(const BrowserTabProbeFailure &) const = default;
};

// What one tab probe gave: either a failure (and no tabs) or the tabs (possibly none).
struct BrowserTabProbeResult {
    QList<BrowserTabShortcut> tabs;
    std::optional<BrowserTabProbeFailure> failure;
};

// Where a tab-focus link points: a browser's bundle identifier and 1-based window and tab positions.
struct BrowserTabFocusTarget {
    QString bundleIdentifier;
    qint64 windowIndex = 0;
    qint64 tabIndex = 0;

    bool operator==(const BrowserTabFocusTarget &) const = default;
};

// What the browser warm-up found, condensed for the shell and the onboarding window. Only the payload
// fields of the case are set; the others keep their defaults, so equality compares case and payload.
struct BrowserAutomationWarmupResult {
    enum class Case { tabsFound, noTabsFound, permissionDenied, scriptError, browserNotRunning };

    Case kind = Case::browserNotRunning;
    qint64 tabCount = 0;         // tabsFound
    QStringList runningBrowsers; // noTabsFound
    QString browserName;         // permissionDenied, scriptError
    QString details;             // scriptError

    static BrowserAutomationWarmupResult tabsFound(qint64 count) {
        return {.kind = Case::tabsFound, .tabCount = count};
    }
    static BrowserAutomationWarmupResult noTabsFound(QStringList runningBrowsers) {
        return {.kind = Case::noTabsFound, .runningBrowsers = std::move(runningBrowsers)};
    }
    static BrowserAutomationWarmupResult permissionDenied(QString browserName) {
        return {.kind = Case::permissionDenied, .browserName = std::move(browserName)};
    }
    static BrowserAutomationWarmupResult scriptError(QString browserName, QString details) {
        return {
            .kind = Case::scriptError, .browserName = std::move(browserName), .details = std::move(details)};
    }
    static BrowserAutomationWarmupResult browserNotRunning() { return {}; }

    bool operator==(const BrowserAutomationWarmupResult &) const = default;
};

// The warm-up's result together with the tabs it gathered.
struct BrowserAutomationWarmupSnapshot {
    BrowserAutomationWarmupResult result;
    QList<BrowserTabShortcut> tabs;
};

} // namespace orvex
