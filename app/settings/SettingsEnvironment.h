#pragma once

#include "settings/NotionSettingsModel.h"
#include "settings/SettingsStores.h"
#include "settings/TranslationSettingsControlsView.h"

#include "platform/NotificationCenter.h"

#include <functional>

namespace orvex {

// Everything the settings view is built from: the stores it edits, where the Notion test goes, the
// centre its notifications are posted on and where the translation engines' availability comes from.
// production() is the launcher's; tests build theirs over their own defaults database.
struct SettingsEnvironment {
    SettingsStores stores;
    NotionSettingsStore notionStore;
    NotionConnectionTestConfiguration notionConnection;
    NotificationCenter *center = nullptr;
    // Asked each time the translation controls are drawn.
    std::function<TranslationEngineAvailabilityTable()> translationAvailability;

    static SettingsEnvironment production();
    // Every store on `defaults`; the engines' availability as given (none: every engine available,
    // without a message line); the Notion test goes to a closed loopback port until the caller says where.
    static SettingsEnvironment
    over(UserDefaults &defaults, NotificationCenter &center,
         std::function<TranslationEngineAvailabilityTable()> translationAvailability = {});

    // Apple Translation's and Argos's availability as the translation lookup reports them.
    static TranslationEngineAvailabilityTable systemTranslationAvailability();
};

} // namespace orvex
