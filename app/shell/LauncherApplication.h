#pragma once

#include <QApplication>

namespace orvex {

// The launcher's life once this process is the running instance: creates the application's delegate,
// installs its handler for later launches (OrvexLauncherRuntime::singleInstanceController()) and runs
// the event loop. Answers the exit status.
int runLauncherApplication(QApplication &application);

} // namespace orvex
