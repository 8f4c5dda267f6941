#include "DesktopEntryEnvironment.h"

#include "DesktopEntry.h"

#include <QDir>
#include <QFileInfo>

namespace orvex {

namespace {

QStringList environmentList(const char *name) {
    return qEnvironmentVariable(name).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

// The XDG base-directory rules: only absolute paths count.
QStringList absolutePaths(const QStringList &paths) {
    QStringList kept;
    for (const QString &path : paths) {
        if (QDir::isAbsolutePath(path))
            kept.append(QDir::cleanPath(path));
    }
    return kept;
}

QString messagesLocale() {
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

} // namespace

DesktopEntryEnvironment DesktopEntryEnvironment::current() {
    DesktopEntryEnvironment environment;
    QStringList dataHome = absolutePaths({qEnvironmentVariable("XDG_DATA_HOME")});
    if (dataHome.isEmpty())
        dataHome = {QDir::homePath() + QStringLiteral("/.local/share")};
    QStringList dataDirs = absolutePaths(environmentList("XDG_DATA_DIRS"));
    if (dataDirs.isEmpty())
        dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    environment.dataFolders = dataHome + dataDirs;
    environment.dataFolders.removeDuplicates();

    // As gettext does: LANGUAGE is a list of preferences, and it is ignored under the C locale.
    const QString locale = messagesLocale();
    if (!DesktopEntry::localeVariants(locale).isEmpty()) {
        environment.locales = environmentList("LANGUAGE");
        environment.locales.append(locale);
    }
    environment.desktopNames = environmentList("XDG_CURRENT_DESKTOP");
    environment.executableSearchPath = environmentList("PATH");
    return environment;
}

QStringList DesktopEntryEnvironment::applicationFolders() const {
    QStringList folders;
    for (const QString &folder : dataFolders)
        folders.append(folder + QStringLiteral("/applications"));
    return folders;
}

std::optional<QString> DesktopEntryEnvironment::desktopEntryPath(const QString &desktopFileID) const {
    if (desktopFileID.isEmpty() || desktopFileID.contains(QLatin1Char('/')))
        return std::nullopt;
    for (const QString &folder : applicationFolders()) {
        const QString path = folder + QLatin1Char('/') + desktopFileID;
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

bool DesktopEntryEnvironment::offersApplication(const DesktopEntry &entry, bool requireDisplayed) const {
    if (!entry.isApplication() || entry.boolean(QStringLiteral("Hidden")) ||
        (requireDisplayed && entry.boolean(QStringLiteral("NoDisplay"))) || !entry.isShownIn(desktopNames) ||
        !entry.hasInstalledTryExec(executableSearchPath))
        return false;
    // An "Exec" in another encoding is no missing one: such an entry cannot be started as written.
    if (entry.isUnreadable(QStringLiteral("Exec")))
        return false;
    if (!entry.string(QStringLiteral("Exec")))
        return entry.boolean(QStringLiteral("DBusActivatable"));
    // A stale entry whose program was removed would only fail when chosen.
    const std::optional<QStringList> command = entry.commandLine(QString(), locales);
    return command && DesktopEntry::findProgram(command->first(), executableSearchPath);
}

} // namespace orvex
