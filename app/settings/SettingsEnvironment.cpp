#include "settings/SettingsEnvironment.h"

#include "settings/TranslationAvailabilityCheck.h"

namespace orvex {

SettingsEnvironment SettingsEnvironment::production() {
    return SettingsEnvironment{
        .stores = SettingsStores::standard(),
        .notionStore = NotionSettingsStore::standard(),
        // What the launcher's own Notion searches heard, shown in the Notion section.
        .notionConnection = {.serviceStatus = NotionServiceStatus::shared()},
        .center = &NotificationCenter::defaultCenter(),
        .translationAvailability = &systemTranslationAvailability,
        .observeTranslationAvailability =
            [](QObject *context, std::function<void()> redraw) {
                TranslationAvailabilityCheck::shared().observe(context, std::move(redraw));
            },
        .launchAtLoginManager = std::make_shared<LaunchAtLoginManager>(),
        .hotKeyRecordingChanged = {},
        .hotKeyRegistrationFailureReason = {},
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
        .observeTranslationAvailability = {},
        .launchAtLoginManager = std::move(launchAtLoginManager),
        .hotKeyRecordingChanged = {},
        .hotKeyRegistrationFailureReason = {},
    };
}

TranslationEngineAvailabilityTable SettingsEnvironment::systemTranslationAvailability() {
    return TranslationAvailabilityCheck::shared().table();
}

} // namespace orvex
