#pragma once

#include "platform/DesktopEntryEnvironment.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

// What opens a settings-pane link on this desktop: the settings application's desktop entry and the
// command that starts it at the pane (the entry's own command followed by the pane's argument).
struct SystemSettingsTarget {
    QString desktopEntryPath;
    QStringList commandLine;

    bool operator==(const SystemSettingsTarget &) const = default;
};

// The desktop's settings application that can open the pane of a settings-pane row's link (its
// address or its older fallback address): GNOME's settings panels or KDE's System Settings modules,
// the one of the running desktop first. Nothing when the link names no pane this desktop has, or no
// such application is installed and shown on this desktop.
std::optional<SystemSettingsTarget> systemSettingsTarget(const QString &link,
                                                         const DesktopEntryEnvironment &environment);

// Opens a settings-pane row's link with the desktop's settings application, handing it the pane's
// argument, in the home folder with the environment's `launchEnvironment`; no shell is involved. False when
// no settings application is installed, the link names no known pane, or the launch failed.
bool openSystemSettingsLink(const QString &link);
bool openSystemSettingsLink(const QString &link, const DesktopEntryEnvironment &environment);

} // namespace orvex
