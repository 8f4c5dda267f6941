#include "sources/SystemSettingsSource.h"

#include "sources/SystemSettingsPanes.h"

namespace orvex {

SystemSettingsSource::SystemSettingsSource(QString extensionsRoot, DesktopEntryEnvironment desktopEntries)
    : extensionsRoot_(std::move(extensionsRoot)), desktopEntries_(std::move(desktopEntries)) {}

QString SystemSettingsSource::id() const {
    return QStringLiteral("systemSettings");
}

std::shared_ptr<const SourceSnapshot> SystemSettingsSource::initialSnapshot() const {
    return std::make_shared<Snapshot>(
        SystemSettingsPanes::openable(SystemSettingsPanes::seedShortcuts(), desktopEntries_));
}

std::shared_ptr<const SourceSnapshot> SystemSettingsSource::crawl(const std::atomic<bool> &) const {
    return std::make_shared<Snapshot>(SystemSettingsPanes::openable(
        SystemSettingsPanes::merge(SystemSettingsPanes::seedShortcuts(), discover()), desktopEntries_));
}

SearchResults SystemSettingsSource::match(const SourceSnapshot &snapshot,
                                          const SearchContext &context) const {
    return SystemSettingsPanes::rows(context, static_cast<const Snapshot &>(snapshot).data);
}

QList<SystemSettingsShortcut> SystemSettingsSource::discover() const {
    return SystemSettingsPanes::discover(extensionsRoot_);
}

} // namespace orvex
