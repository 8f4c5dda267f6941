#include "shell/OrvexLauncherRuntime.h"

#include "shell/LauncherApplication.h"

#include "launch-at-login/LaunchAtLoginManager.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDateTime>

#include <cstdio>

namespace orvex {

namespace {

std::shared_ptr<SingleInstanceController> &controllerSlot() {
    static std::shared_ptr<SingleInstanceController> controller;
    return controller;
}

} // namespace

SingleInstanceConfiguration OrvexLauncherRuntime::singleInstanceConfiguration() {
    return SingleInstanceConfiguration(
        bundleIdentifier,
        SingleInstancePolicy::userDefaults(UserDefaults::standard(),
                                           QStringLiteral("allowMultipleInstances")),
        SingleInstanceLockLocation::applicationSupport(), QStringLiteral("OrvexLauncher.lock"));
}

std::shared_ptr<SingleInstanceController> OrvexLauncherRuntime::singleInstanceController() {
    return controllerSlot();
}

int OrvexLauncherRuntime::run(int argc, char **argv) {
    // The launcher's identity for its login item, as a bundle would declare it.
    LoginItem::setMainApplication({bundleIdentifier, displayName, QString()});

    // A second launch never carries arguments or files: it only asks the running launcher to show.
    DuplicateLaunchRequest request;
    request.createdAt = QDateTime::currentDateTimeUtc();
    SingleInstanceStartupResult result =
        SingleInstanceController::start(singleInstanceConfiguration(), request);
    switch (result.kind) {
    case SingleInstanceStartupResult::Kind::alreadyRunning:
        return 0;
    case SingleInstanceStartupResult::Kind::failed:
        std::fprintf(stderr, "Orvex Launcher failed to acquire the single-instance lock: %s\n",
                     qPrintable(describe(*result.error)));
        return 1;
    case SingleInstanceStartupResult::Kind::run:
        break;
    }
    controllerSlot() = result.controller;

    // Window placement, focus and key grabs need X11; on Wayland sessions XWayland provides it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(displayName);
    QGuiApplication::setDesktopFileName(bundleIdentifier);
    // It lives in the tray and its hot key, with or without a window open.
    QApplication::setQuitOnLastWindowClosed(false);
    return runLauncherApplication(application);
}

} // namespace orvex
