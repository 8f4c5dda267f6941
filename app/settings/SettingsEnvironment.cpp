#include "settings/SettingsEnvironment.h"

namespace orvex {

SettingsEnvironment SettingsEnvironment::production() {
    return SettingsEnvironment{
        .stores = SettingsStores::standard(),
        .notionStore = NotionSettingsStore::standard(),
        .notionConnection = {},
        .center = &NotificationCenter::defaultCenter(),
        .translationAvailability = &systemTranslationAvailability,
        .launchAtLoginManager = std::make_shared<LaunchAtLoginManager>(),
        .hotKeyRecordingChanged = {},
    };
}

SettingsEnvironment
SettingsEnvironment::over(UserDefaults &defaults, NotificationCenter &center,
                          std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager,
                          std::function<TranslationEngineAvailabilityTable()> translationAvailability) {
    return SettingsEnvironment{
        .stores = SettingsStores::over(defaults),
        .notionStore = NotionSettingsStore::withDefaults(defaults),
        // Never the real service: a test that wants answers points this at its own server.
        .notionConnection = {.baseURL = QUrl(QStringLiteral("http://127.0.0.1:9"))},
        .center = &center,
        .translationAvailability = std::move(translationAvailability),
        .launchAtLoginManager = std::move(launchAtLoginManager),
        .hotKeyRecordingChanged = {},
    };
}

TranslationEngineAvailabilityTable SettingsEnvironment::systemTranslationAvailability() {
    return TranslationEngineAvailabilityTable{
        {TranslationEngineID::apple, TranslationLookup::appleAvailability()},
        {TranslationEngineID::argos, TranslationLookup::argosAvailability()},
    };
}

} // namespace orvex
