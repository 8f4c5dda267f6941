#include "launch-at-login/LaunchAtLoginManager.h"

#include "launch-at-login/AutostartEntry.h"

#include "platform/FileSystem.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

std::mutex mainApplicationMutex;
std::optional<LoginItem> declaredMainApplication;

QString runningExecutable() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

// The folder and its missing parents; the failure names the folder and the system's reason.
std::optional<QString> createFolder(const QString &path) {
    if (const int error = FileSystem::createFolder(path))
        return QStringLiteral("Could not create the folder %1: %2").arg(path, FileSystem::errorText(error));
    return std::nullopt;
}

} // namespace

QString LaunchAtLoginManagerError::localizedDescription() const {
    const QString prefix = kind == Kind::registerFailed
                               ? QStringLiteral("Could not register run-at-login: ")
                               : QStringLiteral("Could not unregister run-at-login: ");
    return prefix + underlyingDescription;
}

LoginItem LoginItem::mainApplication() {
    LoginItem item;
    {
        std::lock_guard lock(mainApplicationMutex);
        if (declaredMainApplication)
            item = *declaredMainApplication;
    }
    if (item.executablePath.isEmpty())
        item.executablePath = runningExecutable();
    const QString processName = QFileInfo(item.executablePath).fileName();
    if (item.identifier.isEmpty())
        item.identifier = processName;
    if (item.name.isEmpty())
        item.name = processName;
    return item;
}

void LoginItem::setMainApplication(LoginItem item) {
    std::lock_guard lock(mainApplicationMutex);
    declaredMainApplication = std::move(item);
}

LaunchAtLoginManager::LaunchAtLoginManager()
    : LaunchAtLoginManager(LoginItem::mainApplication(), defaultAutostartFolder()) {}

LaunchAtLoginManager::LaunchAtLoginManager(LoginItem item, QString autostartFolder)
    : item_(std::move(item)), autostartFolder_(std::move(autostartFolder)) {}

QString LaunchAtLoginManager::defaultAutostartFolder() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative path is invalid there: the entry would follow whatever folder we were started from.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart");
}

QString LaunchAtLoginManager::entryPath() const {
    return autostartFolder_ + QLatin1Char('/') + item_.identifier + QStringLiteral(".desktop");
}

QString LaunchAtLoginManager::execValue() const {
    return AutostartEntry::escapeValue(AutostartEntry::execArgument(item_.executablePath));
}

QByteArray LaunchAtLoginManager::entryContents() const {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Version=1.4\n");
    text += QStringLiteral("Name=") + AutostartEntry::escapeValue(item_.name) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + execValue() + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

LaunchAtLoginState LaunchAtLoginManager::currentState() const {
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(entryPath(), 64 * 1024);
    if (!bytes)
        return LaunchAtLoginState::disabled;
    const auto group = AutostartEntry::readMainGroup(*bytes);
    const bool starts = group && group->value(QStringLiteral("Exec")) == execValue() &&
                        group->value(QStringLiteral("Hidden")) != QLatin1String("true") &&
                        group->value(QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
    return starts ? LaunchAtLoginState::enabled : LaunchAtLoginState::disabled;
}

LaunchAtLoginUpdateResult LaunchAtLoginManager::update(bool enabled) {
    auto failed = [this](LaunchAtLoginManagerError::Kind kind, QString reason) {
        return LaunchAtLoginUpdateResult{currentState(), LaunchAtLoginManagerError{kind, std::move(reason)}};
    };
    using Kind = LaunchAtLoginManagerError::Kind;

    if (enabled) {
        if (currentState() == LaunchAtLoginState::enabled)
            return {LaunchAtLoginState::enabled, std::nullopt};
        // A desktop entry is UTF-8 text; a path that is not cannot be written into one. A '%' is
        // written as "%%", but GIO-based desktops look the program up before undoing that and refuse
        // the entry, so it would never start: say so instead of writing it.
        const QString &program = item_.executablePath;
        if (program.contains(QChar::ReplacementCharacter) || program.contains(QChar(0)))
            return failed(
                Kind::registerFailed,
                QStringLiteral("The program's path %1 cannot be written into a desktop entry").arg(program));
        if (program.contains(QLatin1Char('%')))
            return failed(
                Kind::registerFailed,
                QStringLiteral("Desktops do not start a program whose path holds a '%': %1").arg(program));
        if (const std::optional<QString> error = createFolder(autostartFolder_))
            return failed(Kind::registerFailed, *error);
        if (const std::optional<QString> error = FileSystem::replaceFile(entryPath(), entryContents()))
            return failed(Kind::registerFailed,
                          QStringLiteral("Could not write %1: %2").arg(entryPath(), *error));
        return {currentState(), std::nullopt};
    }

    const QByteArray native = QFile::encodeName(entryPath());
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0 && ::unlink(native.constData()) != 0) {
        const int error = errno;
        return failed(
            Kind::unregisterFailed,
            QStringLiteral("Could not remove %1: %2").arg(entryPath(), FileSystem::errorText(error)));
    }
    return {currentState(), std::nullopt};
}

} // namespace orvex
