#include "shell/LauncherApplication.h"

#include "shell/AppDelegate.h"

namespace orvex {

int runLauncherApplication(QApplication &application) {
    AppDelegate delegate;
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    delegate.applicationDidFinishLaunching();
    return application.exec();
}

} // namespace orvex
