#include "sources/BrowserTabs.h"

#include "platform/StringUtils.h"
#include "search/SearchContext.h"
#include "sources/BrowserSourceHelpers.h"

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

} // namespace

const QList<BrowserAutomationTarget> &BrowserTabs::targets() {
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

const BrowserAutomationTarget *BrowserTabs::target(const QString &bundleIdentifier) {
    for (const BrowserAutomationTarget &target : targets())
        if (target.bundleIdentifier == bundleIdentifier)
            return &target;
    return nullptr;
}

const QString &BrowserTabs::probeScript() {
    return probeScriptText;
}

const QString &BrowserTabs::focusScript() {
    return focusScriptText;
}

QList<BrowserTabShortcut> BrowserTabs::parse(const QString &output, const QString &browserName,
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

QString BrowserTabs::focusLink(const QString &bundleIdentifier, qint64 windowIndex, qint64 tabIndex) {
    // Percent-encoded like a host component; the table's identifiers need no encoding.
    const QByteArray host = QUrl::toPercentEncoding(bundleIdentifier, "!$&'()*+,;=");
    return focusLinkScheme + QStringLiteral("://") + QString::fromLatin1(host) + QStringLiteral("?window=") +
           QString::number(windowIndex) + QStringLiteral("&tab=") + QString::number(tabIndex);
}

std::optional<BrowserTabFocusTarget> BrowserTabs::parseFocusLink(const QString &link) {
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

SearchResults BrowserTabs::rows(const SearchContext &context, const QList<BrowserTabShortcut> &tabs) {
    const QString &queryLowercased = context.queryLowercased();
    QList<std::pair<int, SearchResult>> tieredRows;
    for (const BrowserTabShortcut &tab : tabs) {
        const int tier = BrowserSourceHelpers::matchTier(queryLowercased, tab.title.toLower(),
                                                         tab.host.toLower(), tab.urlString.toLower());
        if (tier == 0)
            continue;
        const QString identity = QStringLiteral("action://browser-tab/") + tab.browserBundleIdentifier +
                                 QLatin1Char('/') + QString::number(tab.windowIndex) + QLatin1Char('/') +
                                 QString::number(tab.tabIndex) + QLatin1Char('/') + tab.urlString;
        const SearchResult row({.id = stableNegativeID(identity),
                                .filename = BrowserSourceHelpers::rowTitle(tab.title, tab.host),
                                .directory = tab.browserName + QStringLiteral(" tab"),
                                .openCount = 0,
                                .snippet = tab.urlString,
                                .kind = SearchResultKind::action,
                                .action = SearchResultAction::focusBrowserTab,
                                .actionURLString = tab.urlString,
                                .fallbackActionURLString =
                                    focusLink(tab.browserBundleIdentifier, tab.windowIndex, tab.tabIndex)});
        tieredRows.append({tier, context.withLearnedOpenCount(row)});
    }
    return BrowserSourceHelpers::rankedRows(std::move(tieredRows), maxRows);
}

} // namespace orvex
