#include "search/Database.h"

#include "platform/RunningApplications.h"
#include "platform/StringUtils.h"
#include "sources/BrowserSourceHelpers.h"
#include "sources/DatabaseAppleScript.h"

#include <QFileInfo>
#include <QUrl>

#include <limits>

namespace orvex {

namespace {

// Both browsers share one scripting dictionary, so the scripts compile against Edge's terms and address
// the application named by their first argument. Nothing but that name and the indexes reaches them,
// and only as arguments.
const QString probeScriptText = QStringLiteral(R"(on run argv
	set appName to item 1 of argv
	set fieldSeparator to ASCII character 31
	set lineSeparator to ASCII character 10
	set outputLines to {}
	if not (application appName is running) then return ""
	using terms from application "Microsoft Edge"
		tell application appName
			repeat with w from 1 to (count of windows)
				repeat with t from 1 to (count of tabs of window w)
					set tabTitle to ""
					set tabURL to ""
					try
						set tabTitle to (title of tab t of window w) as text
					end try
					try
						set tabURL to (URL of tab t of window w) as text
					end try
					set end of outputLines to (w as text) & fieldSeparator & (t as text) & fieldSeparator & tabTitle & fieldSeparator & tabURL
				end repeat
			end repeat
		end tell
	end using terms from
	set AppleScript's text item delimiters to lineSeparator
	set outputText to outputLines as text
	set AppleScript's text item delimiters to ""
	return outputText
end run)");

const QString focusScriptText = QStringLiteral(R"(on run argv
	set appName to item 1 of argv
	set windowIndex to (item 2 of argv) as integer
	set tabIndex to (item 3 of argv) as integer
	if windowIndex < 1 or tabIndex < 1 then return "false"
	if not (application appName is running) then return "false"
	using terms from application "Microsoft Edge"
		tell application appName
			if (count of windows) < windowIndex then return "false"
			if (count of tabs of window windowIndex) < tabIndex then return "false"
			set active tab index of window windowIndex to tabIndex
			set index of window windowIndex to 1
			activate
		end tell
	end using terms from
	return "true"
end run)");

const QString focusLinkScheme = QStringLiteral("browser-tab-focus");
constexpr qsizetype maxTabRows = 50;

// A decimal integer with an optional sign and nothing else; absent on anything else or on overflow.
std::optional<qint64> parseDecimal(QStringView text) {
    bool negative = false;
    if (text.startsWith(u'+') || text.startsWith(u'-')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

const BrowserAutomationTarget *targetWithBundleIdentifier(const QString &bundleIdentifier) {
    for (const BrowserAutomationTarget &target : DatabaseManager::browserAutomationTargets())
        if (target.bundleIdentifier == bundleIdentifier)
            return &target;
    return nullptr;
}

} // namespace

const QList<BrowserAutomationTarget> &DatabaseManager::browserAutomationTargets() {
    static const QList<BrowserAutomationTarget> targets = {
        {.displayName = QStringLiteral("Edge"),
         .appName = QStringLiteral("Microsoft Edge"),
         .bundleIdentifier = QStringLiteral("com.microsoft.edgemac"),
         .processNames = {QStringLiteral("msedge"), QStringLiteral("microsoft-edge"),
                          QStringLiteral("microsoft-edge-stable")}},
        {.displayName = QStringLiteral("Brave"),
         .appName = QStringLiteral("Brave Browser"),
         .bundleIdentifier = QStringLiteral("com.brave.Browser"),
         .processNames = {QStringLiteral("brave"), QStringLiteral("brave-browser"),
                          QStringLiteral("brave-browser-stable")}},
    };
    return targets;
}

const QString &DatabaseManager::browserTabProbeScript() {
    return probeScriptText;
}

const QString &DatabaseManager::browserTabFocusScript() {
    return focusScriptText;
}

bool DatabaseManager::isBrowserRunning(const QString &bundleIdentifier) const {
    if (config_.isBrowserRunning)
        return config_.isBrowserRunning(bundleIdentifier);
    const BrowserAutomationTarget *target = targetWithBundleIdentifier(bundleIdentifier);
    return target && RunningApplications().isAnyRunning(target->processNames);
}

BrowserTabProbeResult DatabaseManager::probeBrowserTabs(const QString &browserName, const QString &appName,
                                                        const QString &bundleIdentifier) const {
    // What the probe script answers for a browser that is not running, without starting anything.
    if (!isBrowserRunning(bundleIdentifier)) {
        auto guard = lock();
        lastBrowserTabProbeFailureLines_.remove(browserName);
        return {};
    }

    std::optional<BrowserTabProbeFailure> failure;
    bool writeLine = true;
    QList<BrowserTabShortcut> tabs;
    const QFileInfo tool(config_.osascriptPath);
    if (config_.osascriptPath.isEmpty()) {
        failure = BrowserTabProbeFailure{
            .isPermissionDenied = false,
            .detail = QStringLiteral("Open tabs cannot be listed on this system: its browsers do not offer "
                                     "them to other programs.")};
    } else if (!tool.isFile() || !tool.isExecutable()) {
        // Linux has no interface that lists a browser's tabs: say so rather than claim there are none.
        failure = BrowserTabProbeFailure{
            .isPermissionDenied = false,
            .detail = QStringLiteral("Open tabs cannot be listed on this system (%1 is missing).")
                          .arg(config_.osascriptPath)};
    } else if (const auto run = runAppleScriptDetailed(probeScriptText, {appName}); !run) {
        // The runner has written its own line.
        failure = BrowserTabProbeFailure{.isPermissionDenied = false,
                                         .detail = QStringLiteral("Failed to execute AppleScript process.")};
        writeLine = false;
    } else if (run->terminationStatus != 0) {
        const QString detail =
            run->standardError.isEmpty()
                ? QStringLiteral("AppleScript exited with status %1.").arg(run->terminationStatus)
                : run->standardError;
        failure = BrowserTabProbeFailure{.isPermissionDenied = isAppleEventsPermissionDenied(detail),
                                         .detail = detail};
    } else {
        tabs = parseBrowserTabs(run->standardOutput, browserName, bundleIdentifier);
    }

    QString line;
    {
        auto guard = lock();
        if (!failure) {
            lastBrowserTabProbeFailureLines_.remove(browserName);
        } else if (writeLine) {
            // A failure that persists is written once, not on every refresh.
            line = QStringLiteral("Browser tab probe failed for ") + browserName + QStringLiteral(": ") +
                   failure->detail;
            if (lastBrowserTabProbeFailureLines_.value(browserName) == line)
                line.clear();
            else
                lastBrowserTabProbeFailureLines_.insert(browserName, line);
        }
    }
    if (!line.isEmpty())
        AppleScriptRunner::writeDiagnostic(line);
    if (failure)
        return {.tabs = {}, .failure = failure};
    return {.tabs = tabs, .failure = std::nullopt};
}

QList<BrowserTabShortcut> DatabaseManager::parseBrowserTabs(const QString &output, const QString &browserName,
                                                            const QString &bundleIdentifier) {
    QList<BrowserTabShortcut> tabs;
    // Records end at a line feed only: a title may hold U+2028 or other line breaks of its own.
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QChar(0x1F));
        if (fields.size() < 4)
            continue;
        const auto window = parseDecimal(fields[0]);
        const auto tab = parseDecimal(fields[1]);
        if (!window || !tab || *window < 1 || *tab < 1)
            continue;
        const QString title = StringUtils::trimmedWhitespaceAndNewlines(fields[2]);
        const QString urlString = StringUtils::trimmedWhitespaceAndNewlines(fields[3]);
        const auto host = BrowserSourceHelpers::webAddressHost(urlString);
        if (!host)
            continue;
        tabs.append({.browserName = browserName,
                     .browserBundleIdentifier = bundleIdentifier,
                     .windowIndex = *window,
                     .tabIndex = *tab,
                     .title = title,
                     .urlString = urlString,
                     .host = *host});
    }
    return tabs;
}

QList<BrowserTabShortcut> DatabaseManager::discoverBrowserTabs() const {
    QList<BrowserTabShortcut> tabs;
    for (const BrowserAutomationTarget &target : browserAutomationTargets())
        tabs += probeBrowserTabs(target.displayName, target.appName, target.bundleIdentifier).tabs;
    return tabs;
}

QString DatabaseManager::browserTabFocusTargetURLString(const QString &bundleIdentifier, qint64 windowIndex,
                                                        qint64 tabIndex) {
    // Percent-encoded like a host component; the table's identifiers need no encoding.
    const QByteArray host = QUrl::toPercentEncoding(bundleIdentifier, "!$&'()*+,;=");
    return focusLinkScheme + QStringLiteral("://") + QString::fromLatin1(host) + QStringLiteral("?window=") +
           QString::number(windowIndex) + QStringLiteral("&tab=") + QString::number(tabIndex);
}

std::optional<BrowserTabFocusTarget> DatabaseManager::parseBrowserTabFocusLink(const QString &link) {
    if (!QUrl(link, QUrl::StrictMode).isValid())
        return std::nullopt;
    const QString prefix = focusLinkScheme + QStringLiteral("://");
    if (!link.startsWith(prefix))
        return std::nullopt;
    // The host is read from the text itself: a URL parser would lowercase "com.brave.Browser".
    const QStringView rest = QStringView(link).mid(prefix.size());
    qsizetype hostEnd = 0;
    while (hostEnd < rest.size() && rest[hostEnd] != u'/' && rest[hostEnd] != u'?' && rest[hostEnd] != u'#')
        ++hostEnd;
    const QString host = QUrl::fromPercentEncoding(rest.left(hostEnd).toUtf8());
    if (host.isEmpty())
        return std::nullopt;

    const qsizetype queryStart = rest.indexOf(u'?');
    if (queryStart < 0)
        return std::nullopt;
    QStringView query = rest.mid(queryStart + 1);
    if (const qsizetype fragment = query.indexOf(u'#'); fragment >= 0)
        query = query.left(fragment);
    std::optional<QString> window;
    std::optional<QString> tab;
    for (const QStringView item : query.split(u'&')) {
        const qsizetype equals = item.indexOf(u'=');
        const QString name = QUrl::fromPercentEncoding(item.left(equals < 0 ? item.size() : equals).toUtf8());
        const QString value =
            equals < 0 ? QString() : QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
        if (name == QLatin1String("window") && !window)
            window = value;
        else if (name == QLatin1String("tab") && !tab)
            tab = value;
    }
    if (!window || !tab)
        return std::nullopt;
    const auto windowIndex = parseDecimal(*window);
    const auto tabIndex = parseDecimal(*tab);
    if (!windowIndex || !tabIndex)
        return std::nullopt;
    return BrowserTabFocusTarget{
        .bundleIdentifier = host, .windowIndex = *windowIndex, .tabIndex = *tabIndex};
}

bool DatabaseManager::focusBrowserTab(const QString &bundleIdentifier, qint64 windowIndex,
                                      qint64 tabIndex) const {
    if (windowIndex < 1 || tabIndex < 1)
        return false;
    // Only the browsers of the table are ever addressed: a link cannot name an application to control.
    const BrowserAutomationTarget *target = targetWithBundleIdentifier(bundleIdentifier);
    if (!target)
        return false;
    // The script would answer "false" for a browser that is not running; no need to start it.
    if (config_.osascriptPath.isEmpty() || !isBrowserRunning(bundleIdentifier))
        return false;
    const auto answer = runAppleScript(
        focusScriptText, {target->appName, QString::number(windowIndex), QString::number(tabIndex)});
    if (!answer)
        return false;
    return StringUtils::trimmedWhitespaceAndNewlines(*answer).toLower() == QLatin1String("true");
}

SearchResults DatabaseManager::searchBrowserTabActionResults(const QString &queryLowercased,
                                                             const QList<BrowserTabShortcut> &tabs) {
    auto guard = lock();
    QList<std::pair<int, SearchResult>> tieredRows;
    for (const BrowserTabShortcut &tab : tabs) {
        const int tier = BrowserSourceHelpers::matchTier(queryLowercased, tab.title.toLower(),
                                                         tab.host.toLower(), tab.urlString.toLower());
        if (tier == 0)
            continue;
        const QString identity = QStringLiteral("action://browser-tab/") + tab.browserBundleIdentifier +
                                 QLatin1Char('/') + QString::number(tab.windowIndex) + QLatin1Char('/') +
                                 QString::number(tab.tabIndex) + QLatin1Char('/') + tab.urlString;
        SearchResult row({.id = stableNegativeID(identity),
                          .filename = BrowserSourceHelpers::rowTitle(tab.title, tab.host),
                          .directory = tab.browserName + QStringLiteral(" tab"),
                          .openCount = 0,
                          .snippet = tab.urlString,
                          .kind = SearchResultKind::action,
                          .action = SearchResultAction::focusBrowserTab,
                          .actionURLString = tab.urlString,
                          .fallbackActionURLString = browserTabFocusTargetURLString(
                              tab.browserBundleIdentifier, tab.windowIndex, tab.tabIndex)});
        if (const qint64 count = learnedOpenCount(row, 0); count != 0)
            row = row.withOpenCount(count);
        tieredRows.append({tier, row});
    }
    return BrowserSourceHelpers::rankedRows(std::move(tieredRows), maxTabRows);
}

QList<BrowserTabShortcut> DatabaseManager::cachedBrowserTabs() const {
    auto guard = lock();
    return cachedBrowserTabs_;
}

std::optional<Date> DatabaseManager::browserTabsCacheLastRefresh() const {
    auto guard = lock();
    return browserTabsCacheLastRefresh_;
}

BrowserAutomationWarmupSnapshot DatabaseManager::browserAutomationWarmupSnapshot() const {
    QList<BrowserTabShortcut> tabs;
    QStringList runningBrowsers;
    for (const BrowserAutomationTarget &target : browserAutomationTargets()) {
        if (isBrowserRunning(target.bundleIdentifier))
            runningBrowsers.append(target.displayName);
        // Probed whether or not it runs: a browser that is not running answers no tabs.
        BrowserTabProbeResult probe =
            probeBrowserTabs(target.displayName, target.appName, target.bundleIdentifier);
        if (probe.failure) {
            const auto result =
                probe.failure->isPermissionDenied
                    ? BrowserAutomationWarmupResult::permissionDenied(target.displayName)
                    : BrowserAutomationWarmupResult::scriptError(target.displayName, probe.failure->detail);
            return {.result = result, .tabs = tabs};
        }
        tabs += probe.tabs;
    }
    if (!tabs.isEmpty())
        return {.result = BrowserAutomationWarmupResult::tabsFound(tabs.size()), .tabs = tabs};
    if (!runningBrowsers.isEmpty())
        return {.result = BrowserAutomationWarmupResult::noTabsFound(runningBrowsers), .tabs = tabs};
    return {.result = BrowserAutomationWarmupResult::browserNotRunning(), .tabs = tabs};
}

BrowserAutomationWarmupResult DatabaseManager::warmupBrowserAutomationPermissions() {
    // The probes block while osascript runs, so they run before the lock is taken; the caller picks the
    // thread (the shell calls this from a worker, never from the GUI thread).
    const BrowserAutomationWarmupSnapshot snapshot = browserAutomationWarmupSnapshot();
    auto guard = lock();
    cachedBrowserTabs_ = snapshot.tabs;
    browserTabsCacheLastRefresh_ = clock_->now();
    invalidateQueryResultCache();
    return snapshot.result;
}

} // namespace orvex
