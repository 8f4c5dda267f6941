#include "FuzzSupport.h"
#include "sources/StandardSources.h"

#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "search/Database.h"
#include "search/StoredRowNormalization.h"
#include "sources/NotionSearch.h"
#include "support/TestIsolation.h"

#include <QDir>
#include <QTemporaryDir>

#include <cmath>
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
    // The same private home, runtime folder and unreachable session bus as every test process.
    if (!test::isolateTestEnvironment(temporaryRoot()))
        std::abort();
    // Stored rows are read back as the launcher reads them.
    installStoredRowNormalization(normalizedNotionSearchResult);
}

QString homePath() {
    return temporaryRoot().path() + QStringLiteral("/home");
}

void fail(const char *file, int line, const char *condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

namespace {

// Equal, where NaN counts as equal to NaN.
bool sameValue(const PlistValue &a, const PlistValue &b) {
    if (a.type() != b.type())
        return false;
    if (const auto x = a.toReal())
        return (std::isnan(*x) && std::isnan(*b.toReal())) || a == b;
    if (const auto x = a.toDate())
        return (std::isnan(x->secondsSince2001()) && std::isnan(b.toDate()->secondsSince2001())) || a == b;
    if (const auto *x = a.arrayPointer()) {
        const auto *y = b.arrayPointer();
        if (x->size() != y->size())
            return false;
        for (qsizetype i = 0; i < x->size(); ++i)
            if (!sameValue(x->at(i), y->at(i)))
                return false;
        return true;
    }
    if (const auto *x = a.dictionaryPointer()) {
        const auto *y = b.dictionaryPointer();
        if (x->size() != y->size() || x->keys() != y->keys())
            return false;
        for (auto it = x->cbegin(); it != x->cend(); ++it)
            if (!sameValue(it.value(), y->value(it.key(), PlistValue(false))))
                return false;
        return true;
    }
    return a == b;
}

} // namespace

void checkRoundTrip(const PlistValue &value) {
    const QByteArray binary = PropertyList::writeBinary(value);
    if (!PropertyList::fitsMaxDepth(value)) {
        ORVEX_FUZZ_CHECK(binary.isEmpty());
        ORVEX_FUZZ_CHECK(PropertyList::writeXml(value).isEmpty());
        return;
    }
    // The binary form carries everything exactly: control characters, lone surrogates, every date
    // and every value kept opaque. Written again, it gives the same bytes.
    ORVEX_FUZZ_CHECK(!binary.isEmpty());
    const auto back = PropertyList::readBinary(binary);
    ORVEX_FUZZ_CHECK(back.has_value());
    ORVEX_FUZZ_CHECK(sameValue(*back, value));
    ORVEX_FUZZ_CHECK(PropertyList::writeBinary(*back) == binary);
    // What standard readers need is a fixed point of portable().
    const PlistValue portable = PropertyList::portable(value);
    ORVEX_FUZZ_CHECK(sameValue(PropertyList::portable(portable), portable));

    // XML: what it cannot carry is replaced on the first write; from then on every write gives the
    // same bytes. Opaque values it cannot carry at all.
    const QByteArray first = PropertyList::writeXml(value);
    if (first.isEmpty())
        return;
    const auto xmlBack = PropertyList::readXml(first);
    ORVEX_FUZZ_CHECK(xmlBack.has_value());
    const QByteArray second = PropertyList::writeXml(*xmlBack);
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
    configuration.makeSources = standardSources({});
    return std::make_unique<DatabaseManager>(std::move(configuration));
}

} // namespace orvex::fuzz
