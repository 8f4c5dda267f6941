#pragma once

#include "single-instance/SingleInstanceController.h"

#include <QString>

#include <memory>

namespace orvex {

// Start-up of orvex-launcher: decides, before any window or application object exists, whether this
// process becomes the running launcher or hands its launch to the one that runs, and then runs the
// application.
class OrvexLauncherRuntime {
public:
    static inline const QString bundleIdentifier = QStringLiteral("io.orvex.launcher");
    static inline const QString displayName = QStringLiteral("Orvex Launcher");

    // Exit statuses of a start that ends before the application runs, each after one line on standard
    // error.
    static constexpr int lockFailedStatus = 1;
    static constexpr int noDisplayStatus = 2;
    static constexpr int unreachableStatus = 3;

    // The process's work; the answer is its exit status: the application's, 0 when another instance
    // took the launch, lockFailedStatus when the lock could not be taken for another reason,
    // noDisplayStatus when the X display cannot be opened (checked first of all), unreachableStatus
    // when another instance holds the lock but no wake-up reached it.
    static int run(int argc, char **argv);

    // The launcher's single-instance configuration: the lock under $XDG_DATA_HOME/io.orvex.launcher,
    // "allowMultipleInstances" in the standard defaults.
    static SingleInstanceConfiguration singleInstanceConfiguration();

    // The controller that won the start, kept while the application runs; empty before run() wins and
    // after its event loop ended.
    static std::shared_ptr<SingleInstanceController> singleInstanceController();

    OrvexLauncherRuntime() = delete;
};

} // namespace orvex
