// Test entry point: every test process runs in a fresh temporary home so that no test touches the real
// home, the real defaults or the real autostart folder.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

int main(int argc, char **argv) {
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvex-test-XXXXXX"));
    if (!root.isValid())
        return 3;
    const QString home = root.path() + QStringLiteral("/home");
    const QString runtime = root.path() + QStringLiteral("/runtime");
    QDir().mkpath(home);
    QDir().mkpath(runtime);
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
    ::unsetenv("ORVEX_TRANSLATION_PYTHON");

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
