// Faults once found in the defaults database and its property-list reader, kept as regressions.
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include "platform/PlistTestSupport.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>

namespace orvex {
namespace {

using test::BinaryPlistBuilder;

// A binary list whose array lists every link of a chain, each link holding the one before it: every
// link is read first just below that array and met again, already read, one level deeper inside the
// next link, so the tree nests `links` + 1 levels (one more under a key) while no object is read deep.
QByteArray sharedChain(int links, bool underAKey = false) {
    BinaryPlistBuilder b;
    b.offsetSize = 4;
    b.refSize = 4;
    b.add({}); // the top object, filled in below
    const quint64 key = static_cast<quint64>(b.add(BinaryPlistBuilder::ascii("deep")));
    const quint64 list = static_cast<quint64>(b.add({}));
    quint64 previous = static_cast<quint64>(b.add(BinaryPlistBuilder::ascii("leaf")));
    QList<quint64> everyLink;
    for (int i = 0; i < links; ++i) {
        previous = static_cast<quint64>(b.add(b.array({previous})));
        everyLink.append(previous);
    }
    b.objects[static_cast<qsizetype>(list)] = b.array(everyLink);
    b.objects[0] = underAKey ? b.dictionary({key}, {list}) : b.array({});
    b.top = underAKey ? 0 : list;
    return b.build();
}

// What nests too deeply is kept opaque where it nests too deeply, so the value still fits the cap and
// is written back whole.
TEST(PropertyListBinarySharedObjects, NestNoDeeperThanTheCap) {
    for (const int links :
         {PropertyList::maxDepth - 1, PropertyList::maxDepth, PropertyList::maxDepth + 200}) {
        const auto value = PropertyList::readBinary(sharedChain(links));
        ASSERT_TRUE(value.has_value()) << links;
        EXPECT_TRUE(PropertyList::fitsMaxDepth(*value)) << links;
        EXPECT_EQ(PropertyList::readBinary(PropertyList::writeBinary(*value)), value) << links;
    }
}

TEST(UserDefaults, ABinaryFileNestingTooDeeplyThroughSharedObjectsDoesNotBlockSaving) {
    const QString path = test::homePath() + QStringLiteral("/.config/shared-chain/defaults.plist");
    test::writeFile(path, sharedChain(PropertyList::maxDepth + 200, true));

    UserDefaults defaults(path, std::chrono::hours(1));
    defaults.set(QStringLiteral("launcherShowSearchScores"), PlistValue(false));
    ASSERT_TRUE(defaults.flush());
    UserDefaults reread(path, std::chrono::hours(1));
    EXPECT_EQ(reread.boolValue(QStringLiteral("launcherShowSearchScores")), false);
}

// A relative XDG_CONFIG_HOME is invalid and ignored, or the settings would follow the folder the
// launcher happened to be started from.
TEST(UserDefaults, StandardFileIgnoresARelativeConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    for (const char *value : {"relative/config", "./config", "config"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(UserDefaults::standardFilePath().toStdString(),
                  (test::homePath() + QStringLiteral("/.config/orvex-launcher/defaults.plist")).toStdString())
            << value;
    }
    qputenv("XDG_CONFIG_HOME", QByteArray(test::homePath().toUtf8() + "/elsewhere"));
    EXPECT_EQ(UserDefaults::standardFilePath().toStdString(),
              (test::homePath() + QStringLiteral("/elsewhere/orvex-launcher/defaults.plist")).toStdString());
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
} // namespace orvex
