#include "TestIsolation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <cstdlib>
#include <filesystem>
#include <sched.h>
#include <sys/stat.h>
#include <vector>

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

void set(const char *name, const QString &value) {
    ::setenv(name, QFile::encodeName(value).constData(), 1);
}

// What the test was started with; the machine's defaults when it was started without.
QByteArray startedDataDirs;

// systemDataFolder() and machineDataFolder().
QString folders_[2];
// The folders a test may write to: the home (with the XDG_*_HOME folders), the runtime folder, the
// system data and the system configuration.
QStringList writableFolders_;

// Variables that tie a process to the user's desktop, session or settings: a test sets its own or
// goes without. Every XDG_*, LC_* and QT_* variable goes too.
constexpr const char *sessionVariables[] = {
    "DISPLAY",
    "WAYLAND_DISPLAY",
    "XAUTHORITY",
    "SESSION_MANAGER",
    "DESKTOP_SESSION",
    "KDE_FULL_SESSION",
    "KDE_SESSION_VERSION",
    "GNOME_DESKTOP_SESSION_ID",
    "LANGUAGE",
    "GTK_MODULES",
    "GTK_THEME",
    "QML_IMPORT_PATH",
    "ORVEX_TRANSLATION_PYTHON",
};

void clearInheritedSettings() {
    for (const QString &name : QProcessEnvironment::systemEnvironment().keys())
        if (name.startsWith(QLatin1String("XDG_")) || name.startsWith(QLatin1String("LC_")) ||
            name.startsWith(QLatin1String("QT_")))
            ::unsetenv(QFile::encodeName(name).constData());
    for (const char *name : sessionVariables)
        ::unsetenv(name);
}

} // namespace

bool isolateTestEnvironment(const QTemporaryDir &root) {
    if (!root.isValid())
        return false;
    if (qEnvironmentVariableIsSet("ORVEX_TEST_ONE_CPU") && !runOnOneCpu())
        return false;
    const QString home = root.path() + QStringLiteral("/home");
    const QString runtime = root.path() + QStringLiteral("/runtime");
    const QString systemData = root.path() + QStringLiteral("/xdg/data");
    const QString machineData = root.path() + QStringLiteral("/xdg/machine-data");
    const QString systemConfig = root.path() + QStringLiteral("/xdg/config");
    for (const QString &folder : {home, runtime, systemData, machineData, systemConfig})
        if (!QDir().mkpath(folder))
            return false;
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    // File types and icons are the machine's; its applications, menus, autostart entries and settings
    // are not.
    for (const char *shared : {"mime", "icons"})
        QFile::link(QStringLiteral("/usr/share/") + QLatin1String(shared),
                    machineData + QLatin1Char('/') + QLatin1String(shared));
    folders_[0] = systemData;
    folders_[1] = machineData;
    writableFolders_ = {home, runtime, systemData, systemConfig};
    startedDataDirs = qEnvironmentVariableIsEmpty("XDG_DATA_DIRS") ? QByteArray("/usr/local/share:/usr/share")
                                                                   : qgetenv("XDG_DATA_DIRS");

    clearInheritedSettings();
    set("HOME", home);
    set("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    set("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    set("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    set("XDG_STATE_HOME", home + QStringLiteral("/.local/state"));
    set("XDG_RUNTIME_DIR", runtime);
    set("XDG_DATA_DIRS", systemData + QLatin1Char(':') + machineData);
    set("XDG_CONFIG_DIRS", systemConfig);
    set("LANG", QStringLiteral("C.UTF-8"));
    set("QT_QPA_PLATFORM", QStringLiteral("offscreen"));
    set("QT_SCALE_FACTOR", QStringLiteral("1"));
    // A session bus address where no bus listens: nothing reaches the user's own bus, and nothing
    // starts a bus of its own for the test.
    set("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=") + runtime + QStringLiteral("/no-bus"));
    return true;
}

void removeFilesOfEarlierTests() {
    namespace fs = std::filesystem;
    for (const QString &folder : writableFolders_) {
        std::error_code error;
        std::vector<fs::path> files;
        for (fs::recursive_directory_iterator it(QFile::encodeName(folder).toStdString(),
                                                 fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error))
            if (!it->is_directory(error) || it->is_symlink(error))
                files.push_back(it->path());
        for (const fs::path &file : files)
            fs::remove(file, error);
    }
}

QString systemDataFolder() {
    return folders_[0];
}

QString machineDataFolder() {
    return folders_[1];
}

QStringList machineDataFolders() {
    return QString::fromLocal8Bit(startedDataDirs).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

MachineDataFolders::MachineDataFolders() : saved_(qgetenv("XDG_DATA_DIRS")) {
    ::setenv("XDG_DATA_DIRS", startedDataDirs.constData(), 1);
}

MachineDataFolders::~MachineDataFolders() {
    ::setenv("XDG_DATA_DIRS", saved_.constData(), 1);
}

} // namespace orvex::test
