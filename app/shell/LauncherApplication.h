#pragma once

#include <QApplication>

namespace orvex {

// The launcher's life once this process is the running instance: creates the application delegate,
// finishes launching, runs the event loop and lets the delegate take everything down when it ends.
// Answers the exit status.
int runLauncherApplication(QApplication &application);

} // namespace orvex
