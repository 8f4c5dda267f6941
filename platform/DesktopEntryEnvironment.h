#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

class DesktopEntry;

// What decides which desktop entries a user of this desktop sees and how they read: the XDG data
// folders that hold them, the message locales, the desktop's names and the program search path.
// `current()` reads them from the process environment; tests build their own.
struct DesktopEntryEnvironment {
    // XDG_DATA_HOME, then XDG_DATA_DIRS, highest precedence first; entries live in "<folder>/applications".
    QStringList dataFolders;
    // LANGUAGE's list, then the messages locale (LC_ALL, LC_MESSAGES, LANG), most preferred first.
    QStringList locales;
    // XDG_CURRENT_DESKTOP, in order.
    QStringList desktopNames;
    // PATH, for "TryExec".
    QStringList executableSearchPath;

    static DesktopEntryEnvironment current();

    // The "applications" folders of the data folders, in precedence order.
    QStringList applicationFolders() const;
    // The file of the entry with this desktop-file id (for example "org.gnome.Settings.desktop") that
    // takes precedence: the first data folder holding one wins, even when that one is hidden. Nothing
    // when no folder holds it.
    std::optional<QString> desktopEntryPath(const QString &desktopFileID) const;
    // Whether this desktop offers the entry as an application one can start: of type Application, not
    // hidden, shown in this desktop, its "TryExec" and the program of its "Exec" installed (an entry
    // without "Exec" must be started over D-Bus). `NoDisplay` entries count unless `requireDisplayed`.
    bool offersApplication(const DesktopEntry &entry, bool requireDisplayed) const;
};

} // namespace orvex
