#include "shell/OrvexLauncherRuntime.h"

#include "shell/LauncherApplication.h"
#include "shell/X11DisplayCheck.h"

#include "launch-at-login/LaunchAtLoginManager.h"
#include "platform/ConsoleLog.h"
#include "platform/StartupEnvironment.h"
#include "platform/UserDefaults.h"
#include "search/Database.h"
#include "sources/StandardSources.h"
#include "sources/TranslationLookup.h"

#include <QApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex {

namespace {

std::shared_ptr<SingleInstanceController> &controllerSlot() {
    static std::shared_ptr<SingleInstanceController> controller;
    return controller;
}

int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminationPipe[1], &byte, 1);
}

// SIGTERM (the session ends), SIGINT and SIGHUP (its terminal goes) end the event loop, so that the
// launcher shuts down as on Quit: settings written, the wake-up socket removed. The handlers come first
// thing; a signal that arrives before the event loop waits in the pipe until the loop runs.
void catchTerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, terminationPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void quitOnTerminationSignals(QCoreApplication &application) {
    if (terminationPipe[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [] {
        char bytes[16];
        while (::read(terminationPipe[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
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
    // Before anything sets variables for the launcher itself: programs it starts get the desktop's own.
    StartupEnvironment::capture();
    catchTerminationSignals();
    installStandardSearchCore();
    // The launcher's identity for its login item, as a bundle would declare it.
    LoginItem::setMainApplication({bundleIdentifier, displayName, QString()});

    // Window placement, focus and key grabs need X11; on Wayland sessions XWayland provides it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform == "xcb" || platform.startsWith("xcb:")) {
        if (const std::optional<QString> problem =
                X11DisplayCheck::problem(X11DisplayCheck::displayName(argc, argv))) {
            printErrorLine(QStringLiteral("Orvex Launcher cannot open the X display: ") + *problem);
            return noDisplayStatus;
        }
    }

    // A second launch never carries arguments or files: it only asks the running launcher to show.
    DuplicateLaunchRequest request;
    request.createdAt = QDateTime::currentDateTimeUtc();
    SingleInstanceStartupResult result =
        SingleInstanceController::start(singleInstanceConfiguration(), request);
    switch (result.kind) {
    case SingleInstanceStartupResult::Kind::alreadyRunning:
        return 0;
    case SingleInstanceStartupResult::Kind::unreachable: {
        const SingleInstanceConfiguration configuration = singleInstanceConfiguration();
        printErrorLine(QStringLiteral("Orvex Launcher is already running, but it did not answer at ") +
                       DuplicateLaunchSignal::socketPaths(configuration.activationSignalName,
                                                          configuration.lockFolderPath())
                           .join(QStringLiteral(" or ")));
        return unreachableStatus;
    }
    case SingleInstanceStartupResult::Kind::failed:
        printErrorLine(QStringLiteral("Orvex Launcher failed to acquire the single-instance lock: ") +
                       describe(*result.error));
        return lockFailedStatus;
    case SingleInstanceStartupResult::Kind::run:
        break;
    }
    controllerSlot() = result.controller;

    QApplication application(argc, argv);
    // No application display name: Qt on X11 appends it to every window title ("Launcher Settings —
    // Orvex Launcher"), and each window carries its own exact title. The name shows where the launcher
    // puts it: the panel's title, the status item's tool tip, the Quit item and the login item.
    QGuiApplication::setDesktopFileName(bundleIdentifier);
    // It lives in the tray and its hot key, with or without a window open.
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnTerminationSignals(application);
    // Connected before the delegate's own handler: the first crawl and the browser probe are cancelled
    // before the delegate waits for its start-up work, so quitting does not wait for them. The translation
    // engine goes first: a lookup waiting on its interpreter holds up the core's shutdown.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, [] {
        TranslationLookup::shutdownEngines();
        DatabaseManager::shutdownShared();
    });
    const int status = runLauncherApplication(application);
    // Stop hearing later launches (their wake-ups are queued onto the application) before the
    // application object goes; the lock goes with it, as the process ends.
    controllerSlot().reset();
    return status;
}

} // namespace orvex
