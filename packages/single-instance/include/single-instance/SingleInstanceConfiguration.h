#pragma once

#include "platform/UserDefaults.h"

#include <QString>

#include <optional>

namespace orvex {

// Whether a launch enforces a single instance: always, or unless the defaults database holds true under
// a key.
class SingleInstancePolicy {
public:
    static SingleInstancePolicy userDefaults(UserDefaults &defaults, QString allowMultipleInstancesKey);
    static SingleInstancePolicy alwaysSingle();

    // True when this launch may run beside others.
    bool allowsMultipleInstances() const;

private:
    UserDefaults *defaults_ = nullptr;
    QString allowMultipleInstancesKey_;
};

// The base folder of the lock: a given folder, or the user's data folder ($XDG_DATA_HOME, by default
// ~/.local/share).
struct SingleInstanceLockLocation {
    static SingleInstanceLockLocation directory(QString path) { return {std::move(path)}; }
    static SingleInstanceLockLocation applicationSupport() { return {}; }

    QString basePath() const;

    // Empty for the user's data folder.
    std::optional<QString> directoryPath;
};

// What the single-instance start works with: the program's identity, the policy, where the lock lives
// and the name of the wake-up signal.
struct SingleInstanceConfiguration {
    // An empty identifier becomes defaultBundleIdentifier(); the lock file name defaults to the
    // identifier and ".lock", the signal name to the identifier and ".single-instance.activate".
    SingleInstanceConfiguration(QString bundleIdentifier, SingleInstancePolicy policy,
                                SingleInstanceLockLocation lockLocation,
                                std::optional<QString> lockFileName = std::nullopt,
                                std::optional<QString> activationSignalName = std::nullopt);

    // The application name when one is known, else the process name.
    static QString defaultBundleIdentifier();

    // <base>/<bundle identifier>/<lock file name>
    QString lockPath() const;
    // The folder of the lock file.
    QString lockFolderPath() const;
    // "DuplicateLaunchRequests" beside the lock file.
    QString duplicateLaunchRequestsPath() const;

    QString bundleIdentifier;
    SingleInstancePolicy policy;
    SingleInstanceLockLocation lockLocation;
    QString lockFileName;
    QString activationSignalName;
};

} // namespace orvex
