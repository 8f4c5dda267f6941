#include "single-instance/SingleInstanceConfiguration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace orvex {

SingleInstancePolicy SingleInstancePolicy::userDefaults(UserDefaults &defaults,
                                                        QString allowMultipleInstancesKey) {
    SingleInstancePolicy policy;
    policy.defaults_ = &defaults;
    policy.allowMultipleInstancesKey_ = std::move(allowMultipleInstancesKey);
    return policy;
}

SingleInstancePolicy SingleInstancePolicy::alwaysSingle() {
    return {};
}

bool SingleInstancePolicy::allowsMultipleInstances() const {
    return defaults_ && defaults_->boolValue(allowMultipleInstancesKey_) == true;
}

QString SingleInstanceLockLocation::basePath() const {
    if (directoryPath)
        return *directoryPath;
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative path is invalid there: the lock would follow whatever folder we were started from.
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data;
}

SingleInstanceConfiguration::SingleInstanceConfiguration(QString bundleIdentifier,
                                                         SingleInstancePolicy policy,
                                                         SingleInstanceLockLocation lockLocation,
                                                         std::optional<QString> lockFileName,
                                                         std::optional<QString> activationSignalName)
    : bundleIdentifier(bundleIdentifier.isEmpty() ? defaultBundleIdentifier() : std::move(bundleIdentifier)),
      policy(std::move(policy)), lockLocation(std::move(lockLocation)),
      lockFileName(lockFileName ? *lockFileName : this->bundleIdentifier + QStringLiteral(".lock")),
      activationSignalName(activationSignalName
                               ? *activationSignalName
                               : this->bundleIdentifier + QStringLiteral(".single-instance.activate")) {}

QString SingleInstanceConfiguration::defaultBundleIdentifier() {
    const QString name = QCoreApplication::applicationName();
    if (!name.isEmpty())
        return name;
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!executable.isEmpty())
        return QFileInfo(executable).fileName();
    return QString::fromLocal8Bit(program_invocation_short_name);
}

QString SingleInstanceConfiguration::lockFolderPath() const {
    return lockLocation.basePath() + QLatin1Char('/') + bundleIdentifier;
}

QString SingleInstanceConfiguration::lockPath() const {
    return lockFolderPath() + QLatin1Char('/') + lockFileName;
}

QString SingleInstanceConfiguration::duplicateLaunchRequestsPath() const {
    return lockFolderPath() + QStringLiteral("/DuplicateLaunchRequests");
}

} // namespace orvex
