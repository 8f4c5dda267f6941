#include "search/Database.h"

namespace orvex {

QList<SystemSettingsShortcut> DatabaseManager::systemSettingsSeedShortcuts() {
    return {};
}
QList<SystemSettingsShortcut> DatabaseManager::discoverSystemSettingsShortcuts() const {
    return {};
}
QList<SystemSettingsShortcut>
DatabaseManager::mergeSystemSettingsShortcuts(const QList<SystemSettingsShortcut> &preferred,
                                              const QList<SystemSettingsShortcut> &) {
    return preferred;
}
SearchResults DatabaseManager::searchSystemSettingsActionResults(const QString &,
                                                                 const QList<SystemSettingsShortcut> &) {
    return {};
}

} // namespace orvex
