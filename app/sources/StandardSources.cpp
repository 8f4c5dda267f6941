#include "sources/StandardSources.h"

#include "sources/BrowserBookmarksSource.h"
#include "sources/BrowserTabsSource.h"
#include "sources/CalculatorSource.h"
#include "sources/ChromiumBookmarks.h"
#include "sources/NotionSearch.h"
#include "sources/NotionSource.h"
#include "sources/SystemSettingsSource.h"
#include "sources/TranslationSource.h"

#include "platform/UserDefaults.h"
#include "search/StoredRowNormalization.h"

namespace orvex {

std::vector<std::shared_ptr<const Source>>
standardSources(const DatabaseManagerConfiguration &configuration) {
    // The stores read back Notion rows kept in older forms.
    installStoredRowNormalization(normalizedNotionSearchResult);
    UserDefaults *defaults = configuration.defaults ? configuration.defaults : &UserDefaults::standard();
    const std::shared_ptr<Clock> clock = configuration.clock ? configuration.clock : Clock::system();
    return {
        std::make_shared<CalculatorSource>(),
        std::make_shared<TranslationSource>(TranslationSource::Configuration{
            .defaults = defaults,
            .clock = clock,
            .engines = configuration.translationEngines,
        }),
        std::make_shared<SystemSettingsSource>(configuration.systemSettingsExtensionsRoot,
                                               configuration.desktopEntries),
        std::make_shared<BrowserTabsSource>(BrowserTabsSource::Configuration{
            .osascriptPath = configuration.osascriptPath,
            .scriptTimeoutMilliseconds = configuration.appleScriptTimeoutMilliseconds,
            .isBrowserRunning = configuration.isBrowserRunning,
            .asksBrowsers = !configuration.runningUnitTests,
        }),
        // Under the test harness no browser's folders are read, as no browser is asked for its tabs.
        std::make_shared<BrowserBookmarksSource>(configuration.runningUnitTests
                                                     ? QList<BrowserBookmarkSource>()
                                                     : configuration.browserBookmarkSources),
        std::make_shared<NotionSource>(NotionSource::Configuration{
            .defaults = defaults,
            .clock = clock,
            .baseURL = configuration.notionBaseURL,
            .requestTimeout = configuration.notionRequestTimeout,
        }),
    };
}

DatabaseManagerConfiguration standardConfiguration() {
    DatabaseManagerConfiguration c = DatabaseManagerConfiguration::production();
    c.browserBookmarkSources = ChromiumBookmarks::defaultSources(c.homePath);
    c.makeSources = standardSources;
    return c;
}

void installStandardSearchCore() {
    installStoredRowNormalization(normalizedNotionSearchResult);
    DatabaseManager::setSharedConfiguration(standardConfiguration);
}

} // namespace orvex
