#pragma once

#include "search/Database.h"
#include "search/Source.h"
#include "sources/BrowserTypes.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

namespace orvex {

class NotionServiceStatus;
class TranslationEngines;

// What the launcher's sources read of the outside world beyond the core's configuration. `production()`
// gives the values the launcher runs with; tests pass their own (fake tools, loopback servers).
struct StandardSourcesConfiguration {
    // ---- Browser tabs and bookmarks ----
    // The browsers whose bookmark files are read. None under the test harness, whatever is listed here.
    QList<BrowserBookmarkSource> browserBookmarkSources;
    // The tool that runs the browsers' tab scripts. Empty: this system has none (Linux, where no browser
    // lists its tabs to other programs), so nothing is ever started to ask.
    QString osascriptPath;
    // Longest wait for one osascript run; a child still running then is killed and reaped.
    int appleScriptTimeoutMilliseconds = 30000;
    // Whether a browser with this bundle identifier runs; null: look for its processes in /proc.
    std::function<bool(const QString &bundleIdentifier)> isBrowserRunning;

    // ---- Settings panes ----
    QString systemSettingsExtensionsRoot = QStringLiteral("/System/Library/ExtensionKit/Extensions");

    // ---- Notion pages ----
    QUrl notionBaseURL = QUrl(QStringLiteral("https://api.notion.com"));
    // How long one search request may take.
    std::chrono::milliseconds notionRequestTimeout{4000};
    // Where the service's refusals are kept for the settings to show; none: each manager's own.
    std::shared_ptr<NotionServiceStatus> notionServiceStatus;

    // ---- Translation rows ----
    // Null: Apple Translation and the shared Argos child.
    std::shared_ptr<TranslationEngines> translationEngines;

    // The launcher's, for the user whose home is `homePath`: the browsers' bookmark folders under it and
    // the Notion status the settings show.
    static StandardSourcesConfiguration production(const QString &homePath);
};

// Makes the launcher's sources, in the order their rows join an answer, from `configuration` and the
// core's configuration they are made for: the `makeSources` of every manager the launcher, its tools and
// the tests build. A new source is added here.
SourceFactory standardSources(StandardSourcesConfiguration configuration);

// DatabaseManagerConfiguration::production() with the standard sources of
// StandardSourcesConfiguration::production().
DatabaseManagerConfiguration standardConfiguration();

// Makes DatabaseManager::shared() the launcher's (built from standardConfiguration() on first use). The
// launcher and the command-line tool call it first thing.
void installStandardSearchCore();

} // namespace orvex
