#include "sources/StandardSources.h"

#include "sources/BrowserBookmarksSource.h"
#include "sources/BrowserTabsSource.h"
#include "sources/ChromiumBookmarks.h"
#include "sources/SystemSettingsSource.h"
#include "sources/TranslationSource.h"

#include "platform/UserDefaults.h"

namespace orvex {

std::vector<std::shared_ptr<const Source>>
standardSources(const DatabaseManagerConfiguration &configuration) {
    return {
        std::make_shared<TranslationSource>(TranslationSource::Configuration{
            .defaults = configuration.defaults ? configuration.defaults : &UserDefaults::standard(),
            .clock = configuration.clock ? configuration.clock : Clock::system(),
            .engines = configuration.translationEngines,
        }),
        std::make_shared<SystemSettingsSource>(configuration.systemSettingsExtensionsRoot,
                                               configuration.desktopEntries),
        std::make_shared<BrowserTabsSource>(BrowserTabsSource::Configuration{
            .osascriptPath = configuration.osascriptPath,
            .scriptTimeoutMilliseconds = configuration.appleScriptTimeoutMilliseconds,
            .isBrowserRunning = configuration.isBrowserRunning,
            .asksBrowsers =
                !configuration.runningUnitTests.value_or(DatabaseManager::isRunningUnitTestsEnvironment()),
        }),
        std::make_shared<BrowserBookmarksSource>(configuration.browserBookmarkSources),
    };
}

DatabaseManagerConfiguration standardConfiguration() {
    DatabaseManagerConfiguration c = DatabaseManagerConfiguration::production();
    if (!DatabaseManager::isRunningUnitTestsEnvironment())
        c.browserBookmarkSources = ChromiumBookmarks::defaultSources(c.homePath);
    c.makeSources = standardSources;
    return c;
}

void installStandardSearchCore() {
    DatabaseManager::setSharedConfiguration(standardConfiguration);
}

} // namespace orvex
