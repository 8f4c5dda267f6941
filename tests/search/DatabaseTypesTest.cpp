#include "search/DatabaseTypes.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// Reference FNV-1a with the system's start value and fold, written out independently of the code.
qint64 referenceStableID(const QByteArray &bytes) {
    quint64 h = 1469598103934665603ULL;
    for (unsigned char b : bytes)
        h = (h ^ b) * 1099511628211ULL; // unsigned arithmetic wraps modulo 2^64
    const quint64 m = h % 9223372036854775806ULL;
    return -1 - static_cast<qint64>(m);
}

TEST(StableNegativeID, MatchesHandComputedValues) {
    EXPECT_EQ(stableNegativeID(QString()), -1469598103934665604LL);
    EXPECT_EQ(stableNegativeID(QStringLiteral("abc")), -7018861466891099904LL);
    for (const QString &seed :
         {QStringLiteral("folder:/home/u/Documents"), QStringLiteral("action://open-settings"),
          QStringLiteral("caf\u00e9"), QStringLiteral("shortcut:/x/\u65e5\u672c.url")})
        EXPECT_EQ(stableNegativeID(seed), referenceStableID(seed.toUtf8())) << seed.toStdString();
}

TEST(StableNegativeID, HashesUtf8BytesWithoutFolding) {
    // U+00E9 contributes its two UTF-8 bytes; case is kept.
    EXPECT_EQ(stableNegativeID(QStringLiteral("\u00e9")), referenceStableID(QByteArray("\xc3\xa9")));
    EXPECT_NE(stableNegativeID(QStringLiteral("ABC")), stableNegativeID(QStringLiteral("abc")));
}

TEST(StableNegativeID, IsAlwaysNegative) {
    for (int i = 0; i < 20000; ++i) {
        const qint64 id = stableNegativeID(QString::number(i) + QStringLiteral("/seed"));
        ASSERT_LE(id, -1);
        ASSERT_GE(id, -9223372036854775806LL);
    }
}

TEST(SearchResult, DatabaseIDComesFromPositiveIDOnly) {
    const SearchResult positive({.id = 42, .filename = QStringLiteral("a")});
    EXPECT_EQ(positive.databaseID(), 42);
    const SearchResult negative({.id = -5, .filename = QStringLiteral("a")});
    EXPECT_FALSE(negative.databaseID().has_value());
    const SearchResult zero({.id = 0});
    EXPECT_FALSE(zero.databaseID().has_value());
    const SearchResult given({.id = -5, .databaseID = 9});
    EXPECT_EQ(given.databaseID(), 9);

    const SearchResult counted = negative.withOpenCount(7);
    EXPECT_EQ(counted.openCount(), 7);
    EXPECT_FALSE(counted.databaseID().has_value());
}

TEST(SearchResult, FullPath) {
    struct Case {
        SearchResultFields fields;
        QString expected;
    } cases[] = {
        {{.filename = QStringLiteral("a.pdf"), .directory = QStringLiteral("/Users/x")},
         QStringLiteral("/Users/x/a.pdf")},
        {{.filename = QStringLiteral("a.pdf"), .directory = QStringLiteral("/Users/x/")},
         QStringLiteral("/Users/x/a.pdf")},
        {{.filename = QStringLiteral("a.pdf"), .directory = QString()}, QStringLiteral("a.pdf")},
        {{.filename = QStringLiteral("T"),
          .directory = QStringLiteral("sub"),
          .kind = SearchResultKind::action,
          .action = SearchResultAction::openBrowserFavorite,
          .actionURLString = QStringLiteral("HTTPS://Example.com/X")},
         QStringLiteral("HTTPS://Example.com/X")},
        {{.filename = QStringLiteral("Show Launcher Settings"),
          .directory = QStringLiteral("sub"),
          .kind = SearchResultKind::action,
          .action = SearchResultAction::openSettings},
         QStringLiteral("action://openSettings")},
        {{.filename = QStringLiteral("T"),
          .directory = QStringLiteral("/d"),
          .kind = SearchResultKind::action},
         QStringLiteral("/d/T")},
        // An address on a file row is not its identity.
        {{.filename = QStringLiteral("f"),
          .directory = QStringLiteral("/d"),
          .actionURLString = QStringLiteral("x")},
         QStringLiteral("/d/f")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SearchResult(c.fields).fullPath(), c.expected) << c.expected.toStdString();
}

TEST(SearchResultAction, RawValuesAreExact) {
    EXPECT_EQ(searchResultActionFromRawValue(QStringLiteral("openSettings")),
              SearchResultAction::openSettings);
    EXPECT_EQ(searchResultActionFromRawValue(QStringLiteral("OpenSettings")), std::nullopt);
    for (auto a : {SearchResultAction::openSettings, SearchResultAction::openSystemSettings,
                   SearchResultAction::focusBrowserTab, SearchResultAction::openBrowserFavorite,
                   SearchResultAction::copyToClipboard, SearchResultAction::openNotionPage})
        EXPECT_EQ(searchResultActionFromRawValue(rawValue(a)), a);
}

TEST(SearchResultRecord, RoundTripsEveryFieldButTheRecentFlag) {
    const SearchResult row({.id = stableNegativeID(QStringLiteral("x")),
                            .filename = QStringLiteral("T\u00e9"),
                            .directory = QStringLiteral("sub"),
                            .openCount = 3,
                            .snippet = QStringLiteral("<mark>a</mark>"),
                            .databaseID = 77,
                            .kind = SearchResultKind::action,
                            .action = SearchResultAction::focusBrowserTab,
                            .actionURLString = QStringLiteral("https://a"),
                            .fallbackActionURLString = QStringLiteral("browser-tab-focus://b?window=1&tab=2"),
                            .isDirectPathMatch = true,
                            .usageKey = QStringLiteral("u"),
                            .isRecentActivation = true,
                            .isOtherNameMatch = true,
                            .relevanceScore = 1234});
    // Through text, as the caches store it.
    const QByteArray text = QJsonDocument(searchResultRecordToJson(row)).toJson(QJsonDocument::Compact);
    bool malformed = true;
    const auto back = searchResultFromRecordJson(QJsonDocument::fromJson(text).object(), malformed);
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(malformed);
    EXPECT_EQ(back->id(), row.id());
    EXPECT_EQ(back->filename(), row.filename());
    EXPECT_EQ(back->directory(), row.directory());
    EXPECT_EQ(back->openCount(), 3);
    EXPECT_EQ(back->snippet(), row.snippet());
    EXPECT_EQ(back->databaseID(), 77);
    EXPECT_EQ(back->kind(), SearchResultKind::action);
    EXPECT_EQ(back->action(), SearchResultAction::focusBrowserTab);
    EXPECT_EQ(back->actionURLString(), row.actionURLString());
    EXPECT_EQ(back->fallbackActionURLString(), row.fallbackActionURLString());
    EXPECT_TRUE(back->isDirectPathMatch());
    EXPECT_EQ(back->usageKey(), row.usageKey());
    EXPECT_FALSE(back->isRecentActivation());
    EXPECT_TRUE(back->isOtherNameMatch());
    EXPECT_EQ(back->relevanceScore(), 1234);
    // Unset, it is not written, and what earlier versions stored reads as unset.
    const QJsonObject plain = searchResultRecordToJson(SearchResult({.filename = QStringLiteral("a")}));
    EXPECT_FALSE(plain.contains(QLatin1String("isOtherNameMatch")));
    EXPECT_FALSE(searchResultFromRecordJson(plain, malformed)->isOtherNameMatch());
}

TEST(SearchResultRecord, DecodingRules) {
    struct Case {
        const char *json;
        bool hasRow;
        bool malformed;
    } cases[] = {
        {R"({"id":42,"filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false})",
         true, false},
        {R"({"id":42,"filename":"a","directory":"/d","openCount":0,"kind":"bogus","isDirectPathMatch":false})",
         false, false},
        {R"({"id":42,"filename":"a","directory":"/d","openCount":0,"kind":"file"})", false, true},
        {R"({"id":"42","filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false})",
         false, true},
        {R"({"id":1.5,"filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false})",
         false, true},
        {R"({"id":1e300,"filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false})",
         false, true},
        {R"({"id":4,"filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false,"snippet":null,"action":"nope"})",
         true, false},
        {R"({"id":4,"filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false,"snippet":5})",
         false, true},
    };
    for (const auto &c : cases) {
        bool malformed = false;
        const auto row = searchResultFromRecordJson(QJsonDocument::fromJson(c.json).object(), malformed);
        EXPECT_EQ(row.has_value(), c.hasRow) << c.json;
        EXPECT_EQ(malformed, c.malformed) << c.json;
        if (row) {
            EXPECT_FALSE(row->action().has_value()) << c.json;
        }
    }
}

TEST(SearchResultRecord, MissingDatabaseIDFollowsTheInitialiserRule) {
    bool malformed = false;
    auto row = searchResultFromRecordJson(
        QJsonDocument::fromJson(
            R"({"id":42,"filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false})")
            .object(),
        malformed);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->databaseID(), 42);
    row = searchResultFromRecordJson(
        QJsonDocument::fromJson(
            R"({"id":-7,"filename":"a","directory":"/d","openCount":0,"kind":"file","isDirectPathMatch":false})")
            .object(),
        malformed);
    ASSERT_TRUE(row);
    EXPECT_FALSE(row->databaseID().has_value());
}

} // namespace
} // namespace orvex
