#pragma once

#include <QLatin1StringView>
#include <QString>

namespace orvex {

class UserDefaults;

namespace NotificationName {
// Posted by the settings window after it wrote the Notion settings; the search core reads the store
// afresh on every query and does not observe it.
inline constexpr QLatin1StringView notionSettingsChanged("NotionSettingsChanged");
} // namespace NotificationName

// Where the two Notion settings live: the switch of the source and the user's integration token. The
// settings window writes both keys itself; this store only reads them.
struct NotionSettingsStore {
    UserDefaults *defaults = nullptr;
    QString tokenKey;
    QString enabledKey;

    // The store on the standard defaults database.
    static const NotionSettingsStore &standard();
    // The standard keys on another defaults database (each manager reads its own).
    static NotionSettingsStore withDefaults(UserDefaults &defaults);

    // The stored switch when one is stored, otherwise whether a token is stored.
    bool loadEnabled() const;
    bool hasToken() const;
    // The stored token trimmed of white space and line breaks; empty when none is stored.
    QString trimmedToken() const;
};

} // namespace orvex
