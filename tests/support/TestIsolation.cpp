#include "TestIsolation.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <sys/stat.h>

namespace orvex::test {

bool isolateTestEnvironment(const QTemporaryDir &root) {
    if (!root.isValid())
        return false;
    const QString home = root.path() + QStringLiteral("/home");
    const QString runtime = root.path() + QStringLiteral("/runtime");
    if (!QDir().mkpath(home) || !QDir().mkpath(runtime))
        return false;
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    auto set = [](const char *name, const QString &value) {
        ::setenv(name, QFile::encodeName(value).constData(), 1);
    };
    set("HOME", home);
    set("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    set("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    set("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    set("XDG_STATE_HOME", home + QStringLiteral("/.local/state"));
    set("XDG_RUNTIME_DIR", runtime);
    // A session bus address where no bus listens: nothing reaches the user's own bus, and nothing
    // starts a bus of its own for the test.
    set("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=") + runtime + QStringLiteral("/no-bus"));
    ::unsetenv("ORVEX_TRANSLATION_PYTHON");
    return true;
}

} // namespace orvex::test
