#include "FuzzSupport.h"

#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "search/Database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace orvex::fuzz {

namespace {

// Removed when the run ends normally (libFuzzer leaves through exit()); a crash leaves it for study.
QTemporaryDir &temporaryRoot() {
    static QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvex-fuzz-XXXXXX"));
    return root;
}

} // namespace

void isolateHome() {
    if (!temporaryRoot().isValid())
        std::abort();
    const QString home = homePath();
    QDir().mkpath(home + QStringLiteral("/.config"));
    auto set = [](const char *name, const QString &value) {
        ::setenv(name, QFile::encodeName(value).constData(), 1);
    };
    set("HOME", home);
    set("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    set("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    set("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    set("XDG_STATE_HOME", home + QStringLiteral("/.local/state"));
    set("XDG_RUNTIME_DIR", temporaryRoot().path());
}

QString homePath() {
    return temporaryRoot().path() + QStringLiteral("/home");
}

void fail(const char *file, int line, const char *condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

void checkXmlRoundTrip(const PlistValue &value) {
    const QByteArray first = PropertyList::writeXml(value);
    if (!PropertyList::fitsMaxDepth(value)) {
        ORVEX_FUZZ_CHECK(first.isEmpty());
        return;
    }
    ORVEX_FUZZ_CHECK(!first.isEmpty());
    const auto back = PropertyList::readXml(first);
    ORVEX_FUZZ_CHECK(back.has_value());
    // The first write replaces what XML cannot carry, which can move keys in the order; from then on
    // every save of the file must give the same bytes.
    const QByteArray second = PropertyList::writeXml(*back);
    const auto again = PropertyList::readXml(second);
    ORVEX_FUZZ_CHECK(again.has_value());
    ORVEX_FUZZ_CHECK(PropertyList::writeXml(*again) == second);
}

std::unique_ptr<DatabaseManager> makeManager(UserDefaults &defaults) {
    DatabaseManagerConfiguration configuration;
    configuration.defaults = &defaults;
    configuration.clock = std::make_shared<ManualClock>(Date(750000000));
    configuration.runningUnitTests = true;
    configuration.backgroundRefreshEnabled = false;
    configuration.recentActivationsEnabled = true;
    configuration.persistentQueryResultCacheEnabled = false;
    configuration.homePath = homePath();
    configuration.pinnedFolderPaths = {};
    return std::make_unique<DatabaseManager>(std::move(configuration));
}

} // namespace orvex::fuzz
