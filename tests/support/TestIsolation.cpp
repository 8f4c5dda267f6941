#include "TestIsolation.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <sched.h>
#include <sys/stat.h>

namespace orvex::test {

namespace {

// Keeps the process (and every thread it starts from now on) on the first CPU it may use, so that
// Qt's pools have one thread, as on a small virtual machine.
bool runOnOneCpu() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0)
        return false;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed))
            continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return ::sched_setaffinity(0, sizeof one, &one) == 0;
    }
    return false;
}

} // namespace

bool isolateTestEnvironment(const QTemporaryDir &root) {
    if (!root.isValid())
        return false;
    if (qEnvironmentVariableIsSet("ORVEX_TEST_ONE_CPU") && !runOnOneCpu())
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
