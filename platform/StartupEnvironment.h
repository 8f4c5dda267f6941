#pragma once

#include <QByteArrayList>

namespace orvex {

// The environment the process was started with, kept before the process sets variables for itself
// (a platform plugin of its own choosing, say): programs it starts for the user get this one, as the
// desktop would give it to them.
class StartupEnvironment {
public:
    // Keeps the environment as it is now; only the first call counts. The variables that carried this
    // process's own start-up notice (DESKTOP_STARTUP_ID, XDG_ACTIVATION_TOKEN) are left out: each
    // program started later gets its own or none.
    static void capture();
    // The kept environment, "NAME=value" entries; the process's current one when none was kept.
    static QByteArrayList environment();

    StartupEnvironment() = delete;
};

} // namespace orvex
