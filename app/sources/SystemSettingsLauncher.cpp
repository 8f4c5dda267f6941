#include "sources/SystemSettingsLauncher.h"

#include "platform/DesktopEntry.h"
#include "platform/StartupEnvironment.h"

#include <QDir>
#include <QHash>
#include <QMap>
#include <QProcess>

namespace orvex {

namespace {

// The built-in panes, named by their addresses (current and older form).
enum class Pane { sound, displays, notifications, wallpaper, screenTime, timeMachine };

std::optional<Pane> paneForLink(const QString &link) {
    static const QHash<QString, Pane> panes = [] {
        const QString prefix = QStringLiteral("x-apple.systempreferences:");
        const std::pair<const char *, Pane> names[] = {
            {"com.apple.Sound-Settings.extension", Pane::sound},
            {"com.apple.preference.sound", Pane::sound},
            {"com.apple.Displays-Settings.extension", Pane::displays},
            {"com.apple.preference.displays", Pane::displays},
            {"com.apple.Notifications-Settings.extension", Pane::notifications},
            {"com.apple.preference.notifications", Pane::notifications},
            {"com.apple.Wallpaper-Settings.extension", Pane::wallpaper},
            {"com.apple.preference.desktopscreeneffect", Pane::wallpaper},
            {"com.apple.Screen-Time-Settings.extension", Pane::screenTime},
            {"com.apple.preference.screentime", Pane::screenTime},
            {"com.apple.Time-Machine-Settings.extension", Pane::timeMachine},
            {"com.apple.preferences.TimeMachine", Pane::timeMachine},
        };
        QHash<QString, Pane> table;
        for (const auto &[name, pane] : names)
            table.insert((prefix + QLatin1String(name)).toLower(), pane);
        return table;
    }();
    const auto it = panes.constFind(link.trimmed().toLower());
    if (it == panes.constEnd())
        return std::nullopt;
    return *it;
}

// How one settings application opens a pane: the argument it takes, and the desktop entry that must
// also be installed when the pane is not part of every version of the application.
struct PaneArgument {
    const char *argument;
    const char *requiredDesktopFileID = nullptr;
};

struct SettingsApplication {
    const char *desktopName; // as XDG_CURRENT_DESKTOP names the desktop it belongs to
    QStringList desktopFileIDs;
    QMap<Pane, PaneArgument> panes;
};

const QList<SettingsApplication> &settingsApplications() {
    static const QList<SettingsApplication> applications = {
        {"GNOME",
         {QStringLiteral("org.gnome.Settings.desktop"), QStringLiteral("gnome-control-center.desktop")},
         {{Pane::sound, {"sound"}},
          {Pane::displays, {"display"}},
          {Pane::notifications, {"notifications"}},
          {Pane::wallpaper, {"background"}},
          {Pane::screenTime, {"wellbeing", "gnome-wellbeing-panel.desktop"}}}},
        {"KDE",
         {QStringLiteral("systemsettings.desktop")},
         {{Pane::sound, {"kcm_pulseaudio"}},
          {Pane::displays, {"kcm_kscreen"}},
          {Pane::notifications, {"kcm_notifications"}},
          {Pane::wallpaper, {"kcm_wallpaper", "kcm_wallpaper.desktop"}}}},
    };
    return applications;
}

// The running desktop's own settings application is asked first.
QList<const SettingsApplication *> applicationsInOrder(const QStringList &desktopNames) {
    QList<const SettingsApplication *> ordered;
    for (const SettingsApplication &application : settingsApplications()) {
        if (desktopNames.contains(QLatin1String(application.desktopName)))
            ordered.append(&application);
    }
    for (const SettingsApplication &application : settingsApplications()) {
        if (!ordered.contains(&application))
            ordered.append(&application);
    }
    return ordered;
}

} // namespace

std::optional<SystemSettingsTarget> systemSettingsTarget(const QString &link,
                                                         const DesktopEntryEnvironment &environment) {
    const std::optional<Pane> pane = paneForLink(link);
    if (!pane)
        return std::nullopt;
    for (const SettingsApplication *application : applicationsInOrder(environment.desktopNames)) {
        const auto argument = application->panes.constFind(*pane);
        if (argument == application->panes.constEnd())
            continue;
        if (argument->requiredDesktopFileID &&
            !environment.desktopEntryPath(QLatin1String(argument->requiredDesktopFileID)))
            continue;
        for (const QString &id : application->desktopFileIDs) {
            const std::optional<QString> path = environment.desktopEntryPath(id);
            if (!path)
                continue;
            const std::optional<DesktopEntry> entry = DesktopEntry::readFile(*path);
            // A settings application need not be in the menus, but it must be one this desktop runs.
            if (!entry || !environment.offersApplication(*entry, false))
                continue;
            std::optional<QStringList> command = entry->commandLine(*path, environment.locales);
            if (!command)
                continue;
            // Started by its file, so the launcher's own search path plays no part.
            const std::optional<QString> program =
                DesktopEntry::findProgram(command->first(), environment.executableSearchPath);
            if (!program)
                continue;
            command->first() = *program;
            command->append(QLatin1String(argument->argument));
            return SystemSettingsTarget{*path, *command};
        }
    }
    return std::nullopt;
}

bool openSystemSettingsLink(const QString &link) {
    return openSystemSettingsLink(link, DesktopEntryEnvironment::current());
}

bool openSystemSettingsLink(const QString &link, const DesktopEntryEnvironment &environment) {
    const std::optional<SystemSettingsTarget> target = systemSettingsTarget(link, environment);
    if (!target)
        return false;
    // The settings application outlives the launcher's request; an argument list, never a shell. It
    // starts as from the desktop's menu: in the home folder, with the desktop's environment.
    QProcess process;
    process.setProgram(target->commandLine.first());
    process.setArguments(target->commandLine.mid(1));
    process.setWorkingDirectory(QDir::homePath());
    QProcessEnvironment started;
    for (const QByteArray &entry :
         environment.launchEnvironment.value_or(StartupEnvironment::environment())) {
        const qsizetype equals = entry.indexOf('=');
        if (equals > 0)
            started.insert(QString::fromLocal8Bit(entry.left(equals)),
                           QString::fromLocal8Bit(entry.mid(equals + 1)));
    }
    process.setProcessEnvironment(started);
    return process.startDetached();
}

} // namespace orvex
