#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

class DesktopEntry;

// What decides which desktop entries a user of this desktop sees, how they read and what their programs
// start with: the XDG data folders that hold them, the message locales, the desktop's names, the
// program search path and the environment programs get. `current()` reads them from the process
// environment; tests build their own.
struct DesktopEntryEnvironment {
    // XDG_DATA_HOME, then XDG_DATA_DIRS, highest precedence first; entries live in "<folder>/applications".
    QStringList dataFolders;
    // LANGUAGE's list, then the messages locale (LC_ALL, LC_MESSAGES, LANG), most preferred first.
    QStringList locales;
    // XDG_CURRENT_DESKTOP, in order.
    QStringList desktopNames;
    // PATH, for "TryExec".
    QStringList executableSearchPath;
    // What a program started from an entry gets ("NAME=value" entries); none: the environment the
    // process was started with (StartupEnvironment), never what the process set for itself.
    std::optional<QByteArrayList> launchEnvironment;

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
