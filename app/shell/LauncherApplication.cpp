#include "shell/LauncherApplication.h"

#include "shell/AppDelegate.h"
#include "shell/LauncherBranding.h"

namespace orvex {

int runLauncherApplication(QApplication &application) {
    QGuiApplication::setWindowIcon(LauncherBranding::applicationIcon());
    AppDelegate delegate;
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    delegate.applicationDidFinishLaunching();
    return application.exec();
}

} // namespace orvex
