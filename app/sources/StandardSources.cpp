#include "sources/StandardSources.h"

#include "sources/BrowserBookmarksSource.h"
#include "sources/BrowserTabsSource.h"
#include "sources/CalculatorSource.h"
#include "sources/ChromiumBookmarks.h"
#include "sources/NotionSearch.h"
#include "sources/NotionServiceStatus.h"
#include "sources/NotionSource.h"
#include "sources/SystemSettingsSource.h"
#include "sources/TranslationSource.h"

#include "platform/UserDefaults.h"
#include "search/StoredRowNormalization.h"

#include <mutex>

namespace orvex {

namespace {

// The stores read back Notion rows kept in older forms. One function for the process, installed before
// the first manager with these sources is made (or the launcher's shared one is set up).
void installStandardStoredRowNormalization() {
    static std::once_flag installed;
    std::call_once(installed, [] { installStoredRowNormalization(normalizedNotionSearchResult); });
}

} // namespace

StandardSourcesConfiguration StandardSourcesConfiguration::production(const QString &homePath) {
    StandardSourcesConfiguration c;
    c.browserBookmarkSources = ChromiumBookmarks::defaultSources(homePath);
    c.notionServiceStatus = NotionServiceStatus::shared();
    return c;
}

SourceFactory standardSources(StandardSourcesConfiguration sources) {
    installStandardStoredRowNormalization();
    return [sources = std::move(sources)](const DatabaseManagerConfiguration &configuration)
               -> std::vector<std::shared_ptr<const Source>> {
        UserDefaults *defaults = configuration.defaults ? configuration.defaults : &UserDefaults::standard();
        const std::shared_ptr<Clock> clock = configuration.clock ? configuration.clock : Clock::system();
        return {
            std::make_shared<CalculatorSource>(),
            std::make_shared<TranslationSource>(TranslationSource::Configuration{
                .defaults = defaults,
                .clock = clock,
                .engines = sources.translationEngines,
            }),
            std::make_shared<SystemSettingsSource>(sources.systemSettingsExtensionsRoot,
                                                   configuration.desktopEntries),
            std::make_shared<BrowserTabsSource>(BrowserTabsSource::Configuration{
                .osascriptPath = sources.osascriptPath,
                .scriptTimeoutMilliseconds = sources.appleScriptTimeoutMilliseconds,
                .isBrowserRunning = sources.isBrowserRunning,
                .asksBrowsers = !configuration.runningUnitTests,
            }),
            // Under the test harness no browser's folders are read, as no browser is asked for its tabs.
            std::make_shared<BrowserBookmarksSource>(configuration.runningUnitTests
                                                         ? QList<BrowserBookmarkSource>()
                                                         : sources.browserBookmarkSources),
            std::make_shared<NotionSource>(NotionSource::Configuration{
                .defaults = defaults,
                .clock = clock,
                .baseURL = sources.notionBaseURL,
                .requestTimeout = sources.notionRequestTimeout,
                .serviceStatus = sources.notionServiceStatus,
            }),
        };
    };
}

DatabaseManagerConfiguration standardConfiguration() {
    DatabaseManagerConfiguration c = DatabaseManagerConfiguration::production();
    c.makeSources = standardSources(StandardSourcesConfiguration::production(c.homePath));
    return c;
}

void installStandardSearchCore() {
    installStandardStoredRowNormalization();
    DatabaseManager::setSharedConfiguration(standardConfiguration);
}

} // namespace orvex
