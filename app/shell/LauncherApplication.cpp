#include "shell/LauncherApplication.h"

#include "shell/OrvexLauncherRuntime.h"

#include <cstdio>

namespace orvex {

// Minimal stand-in until the application delegate with its panel exists: the process holds its place
// as the running launcher and answers each later launch with one line on standard output.
int runLauncherApplication(QApplication &application) {
    if (const std::shared_ptr<SingleInstanceController> controller =
            OrvexLauncherRuntime::singleInstanceController()) {
        controller->setActivationHandler([] {
            std::puts("Orvex Launcher: activated by another launch");
            std::fflush(stdout);
        });
    }
    return application.exec();
}

} // namespace orvex
