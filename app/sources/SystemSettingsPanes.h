#pragma once

#include "platform/DesktopEntryEnvironment.h"
#include "search/DatabaseTypes.h"
#include "sources/SystemSettingsTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace orvex {
class SearchContext;
}

namespace orvex::SystemSettingsPanes {

// The settings panes offered as rows: a built-in table, the panes a scan of the settings-extension
// folder finds, and which of them this desktop's settings application can open. Pure functions.

// A fresh copy of the built-in pane table.
QList<SystemSettingsShortcut> seedShortcuts();
// The panes of the settings-extension bundles in the folder (none when it is missing).
QList<SystemSettingsShortcut> discover(const QString &extensionsRoot);
bool shouldIncludeBundle(const QString &bundleIdentifier, const QString &extensionPointIdentifier);
QString paneTitle(const SystemSettingsBundle &bundle, const QString &bundleIdentifier);
QString cleanupTitle(const QString &title);
QStringList keywords(const QString &title, const QString &bundleIdentifier);
// The preferred panes, then the discovered ones with a new address, ordered by title.
QList<SystemSettingsShortcut> merge(const QList<SystemSettingsShortcut> &preferred,
                                    const QList<SystemSettingsShortcut> &discovered);
// The panes that the desktop's settings application can open (by address or older address). Reads the
// application folders.
QList<SystemSettingsShortcut> openable(const QList<SystemSettingsShortcut> &shortcuts,
                                       const DesktopEntryEnvironment &environment);
// The rows of the panes for the context's query: best tier first, then by title; at most ten.
SearchResults rows(const SearchContext &context, const QList<SystemSettingsShortcut> &shortcuts);

} // namespace orvex::SystemSettingsPanes
