#include "search/SearchRankingSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

namespace orvex {
namespace {

ExtensionBoostRule rule(const QString &suffix, qint64 boost, QUuid id = QUuid::createUuid()) {
    return {.id = id, .suffix = suffix, .boost = boost};
}

std::string suffixesOf(const ExtensionBoostRules &rules) {
    QStringList out;
    for (const auto &r : rules)
        out.append(r.suffix + QLatin1Char('=') + QString::number(r.boost));
    return out.join(QLatin1Char(' ')).toStdString();
}

const char *const defaultRulesKeyJson =
    R"([{"boost":140,"suffix":".gsheet"},{"boost":320,"suffix":".webloc"},{"boost":120,"suffix":".gdoc"},)"
    R"({"boost":120,"suffix":".app"},{"boost":40,"suffix":".pdf"},{"boost":10,"suffix":".txt"},)"
    R"({"boost":320,"suffix":".url"}])";

class SearchRankingSettingsStoreTest : public ::testing::Test {
protected:
    UserDefaults defaults;
    SearchRankingSettingsStore store{defaults};

    void storeJson(const QByteArray &json) { defaults.set(store.extensionBoostRulesKey, json); }
};

TEST(SearchRankingSettingsStore, NormalizedSuffix) {
    struct Case {
        QString input;
        std::optional<QString> expected;
    } cases[] = {
        {QStringLiteral("  *.PDF \n"), QStringLiteral(".pdf")},
        {QStringLiteral("pdf"), QStringLiteral(".pdf")},
        {QStringLiteral("**pdf"), QStringLiteral(".pdf")},
        {QStringLiteral(".gdoc.URL"), QStringLiteral(".gdoc.url")},
        {QStringLiteral("tar gz"), QStringLiteral(".targz")},
        {QStringLiteral("* .tar"), QStringLiteral(".tar")}, // spaces go before the stars are stripped
        {QStringLiteral("..x"), QStringLiteral("..x")},
        {QStringLiteral("x*"), QStringLiteral(".x*")},
        {QStringLiteral("a/b"), QStringLiteral(".a/b")},
        {QStringLiteral("*"), std::nullopt},
        {QStringLiteral("."), std::nullopt},
        {QStringLiteral("*."), std::nullopt},
        {QStringLiteral("   "), std::nullopt},
        {QStringLiteral("\t\u00a0\u2028"), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SearchRankingSettingsStore::normalizedSuffix(c.input), c.expected) << c.input.toStdString();
}

TEST(SearchRankingSettingsStore, ValidationMessage) {
    const QString empty = QStringLiteral("Complete or delete empty suffix rules before saving.");
    const QString duplicate = QStringLiteral("Each suffix can only appear once.");
    struct Case {
        const char *name;
        ExtensionBoostRules rules;
        std::optional<QString> expected;
    } cases[] = {
        {"no rules", {}, std::nullopt},
        {"distinct", {rule(".pdf", 1), rule("txt", 2)}, std::nullopt},
        {"boosts are never reported", {rule(".pdf", 100000), rule(".txt", -100000)}, std::nullopt},
        {"empty suffix", {rule(".pdf", 1), rule(" * ", 2)}, empty},
        {"empty wins over an earlier duplicate", {rule("pdf", 1), rule(".pdf", 2), rule("", 3)}, empty},
        {"case and dot differ only", {rule("PDF", 1), rule(".pdf", 2)}, duplicate},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SearchRankingSettingsStore::validationMessage(c.rules), c.expected) << c.name;
}

TEST_F(SearchRankingSettingsStoreTest, NormalizationMergesBySuffixAndClampsBoosts) {
    const QUuid first = QUuid::createUuid();
    const QUuid second = QUuid::createUuid();
    const ExtensionBoostRules normalized = store.normalizedExtensionBoostRules({
        rule("PDF", 50, first),
        rule("*.txt", 900),
        rule("", 7),
        rule(".pdf", 80, second),
        rule(".doc", -1000),
        rule(".min", std::numeric_limits<qint64>::min()),
        rule(".max", std::numeric_limits<qint64>::max()),
    });
    EXPECT_EQ(suffixesOf(normalized), ".pdf=80 .txt=500 .doc=-200 .min=-200 .max=500");
    EXPECT_EQ(normalized[0].id, second); // the later rule's id, the earlier position
}

TEST_F(SearchRankingSettingsStoreTest, NothingStoredGivesTheSevenDefaults) {
    ASSERT_EQ(store.defaultExtensionBoostRules.size(), 7);
    const SearchRankingPreferences loaded = store.load();
    EXPECT_EQ(suffixesOf(loaded.extensionBoostRules()),
              ".gsheet=140 .gdoc=120 .url=320 .webloc=320 .app=120 .pdf=40 .txt=10");
    EXPECT_EQ(loaded.extensionBoostRules(), store.defaultExtensionBoostRules);
    QSet<QUuid> ids;
    for (const auto &r : loaded.extensionBoostRules())
        ids.insert(r.id);
    EXPECT_EQ(ids.size(), 7);
    EXPECT_FALSE(ids.contains(QUuid()));
    EXPECT_EQ(loaded.cacheKey(), QString::fromLatin1(QByteArray(defaultRulesKeyJson).toBase64()));
    EXPECT_TRUE(defaults.keys().isEmpty()) << "a load never writes";
}

TEST_F(SearchRankingSettingsStoreTest, UndecodableDataFallsBackToTheDefaults) {
    const char *const id = R"("id":"6f1c2a7e-4b1d-4c3e-9a55-0d5e3b2f1a90")";
    const QByteArray undecodable[] = {
        "not json",
        R"({"id":"6f1c2a7e-4b1d-4c3e-9a55-0d5e3b2f1a90","suffix":".pdf","boost":1})",
        "[1]",
        R"([{"suffix":".pdf","boost":1}])",
        QByteArray("[{") + id + R"(,"boost":1}])",
        QByteArray("[{") + id + R"(,"suffix":".pdf"}])",
        R"([{"id":"not-a-uuid","suffix":".pdf","boost":1}])",
        R"([{"id":"{6f1c2a7e-4b1d-4c3e-9a55-0d5e3b2f1a90}","suffix":".pdf","boost":1}])",
        QByteArray("[{") + id + R"(,"suffix":5,"boost":1}])",
        QByteArray("[{") + id + R"(,"suffix":".pdf","boost":"50"}])",
        QByteArray("[{") + id + R"(,"suffix":".pdf","boost":true}])",
        QByteArray("[{") + id + R"(,"suffix":".pdf","boost":1.5}])",
        QByteArray("[{") + id + R"(,"suffix":".pdf","boost":null}])",
        QByteArray(100000, '['),
    };
    for (const QByteArray &json : undecodable) {
        storeJson(json);
        EXPECT_EQ(store.load().extensionBoostRules(), store.defaultExtensionBoostRules)
            << json.left(80).toStdString();
        EXPECT_EQ(defaults.dataValue(store.extensionBoostRulesKey), json)
            << "bad data stays until the next save";
    }
    // Text in place of data counts as nothing stored.
    defaults.set(store.extensionBoostRulesKey, QStringLiteral("[]"));
    EXPECT_EQ(store.load().extensionBoostRules(), store.defaultExtensionBoostRules);
}

TEST_F(SearchRankingSettingsStoreTest, StoredBoostsClampWhateverTheirSize) {
    struct Case {
        const char *boost;
        qint64 expected;
    } cases[] = {
        {"80", 80},
        {"80.0", 80},
        {"900", 500},
        {"-1000", -200},
        {"1e30", 500},
        {"-1e300", -200},
        {"99999999999999999999", 500},
        {"9223372036854775807", 500},
        {"-9223372036854775808", -200},
        {"-0", 0},
    };
    for (const auto &c : cases) {
        storeJson(QByteArray(R"([{"boost":)") + c.boost +
                  R"(,"suffix":".pdf","id":"6F1C2A7E-4B1D-4C3E-9A55-0D5E3B2F1A90","extra":[1,2]}])");
        const auto rules = store.load().extensionBoostRules();
        ASSERT_EQ(rules.size(), 1) << c.boost;
        EXPECT_EQ(rules[0].boost, c.expected) << c.boost;
        EXPECT_EQ(rules[0].id, QUuid::fromString(QStringLiteral("6f1c2a7e-4b1d-4c3e-9a55-0d5e3b2f1a90")));
    }
}

TEST_F(SearchRankingSettingsStoreTest, StoredRulesAreNormalisedAndMerged) {
    storeJson(R"([{"id":"6f1c2a7e-4b1d-4c3e-9a55-0d5e3b2f1a90","suffix":"PDF","boost":50},)"
              R"({"id":"00000000-0000-0000-0000-000000000000","suffix":"  ","boost":9},)"
              R"({"id":"11111111-2222-3333-4444-555555555555","suffix":"txt","boost":5},)"
              R"({"id":"aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee","suffix":".pdf","boost":80}])");
    const auto rules = store.load().extensionBoostRules();
    EXPECT_EQ(suffixesOf(rules), ".pdf=80 .txt=5");
    EXPECT_EQ(rules[0].id, QUuid::fromString(QStringLiteral("aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee")));
}

TEST_F(SearchRankingSettingsStoreTest, AnEmptyListMeansNoBoosts) {
    storeJson("[]");
    const SearchRankingPreferences loaded = store.load();
    EXPECT_TRUE(loaded.extensionBoostRules().isEmpty());
    EXPECT_EQ(loaded.extensionBoost(SearchResult({.filename = QStringLiteral("a.pdf")})), 0);
    EXPECT_EQ(loaded.sortedSuffixesForBasenameStripping(),
              (QStringList{".gslides.url", ".gsheet.url", ".gdoc.url", ".gslides", ".gsheet", ".webloc",
                           ".gdoc", ".url"}));
    EXPECT_EQ(loaded.cacheKey(), QStringLiteral("W10=")); // Base64 of "[]"
}

TEST_F(SearchRankingSettingsStoreTest, SaveWritesTheNormalisedListThatLoadReadsBack) {
    const QUuid id = QUuid::createUuid();
    store.save({rule(" *.PDF", 900, id), rule("", 3), rule("txt", -5)});
    const auto data = defaults.dataValue(store.extensionBoostRulesKey);
    ASSERT_TRUE(data.has_value());
    const QJsonArray array = QJsonDocument::fromJson(*data).array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array[0].toObject();
    EXPECT_EQ(QUuid::fromString(first.value(QStringLiteral("id")).toString()), id);
    EXPECT_EQ(first.value(QStringLiteral("suffix")).toString(), QStringLiteral(".pdf"));
    EXPECT_EQ(first.value(QStringLiteral("boost")).toInteger(), 500);

    const auto rules = store.load().extensionBoostRules();
    EXPECT_EQ(suffixesOf(rules), ".pdf=500 .txt=-5");
    EXPECT_EQ(rules[0].id, id);

    store.save({});
    EXPECT_TRUE(store.load().extensionBoostRules().isEmpty());
}

TEST_F(SearchRankingSettingsStoreTest, ExtensionBoostTakesTheLongestMatchingSuffix) {
    const SearchRankingPreferences defaultsLoaded = store.load();
    ExtensionBoostRules withLonger = store.defaultExtensionBoostRules;
    withLonger.append(rule(".gdoc.url", 500));
    const SearchRankingPreferences longer(store.normalizedExtensionBoostRules(withLonger));
    struct Case {
        SearchResultFields row;
        qint64 withDefaults;
        qint64 withLongerRule;
    } cases[] = {
        {{.filename = QStringLiteral("Notes.PDF")}, 40, 40},
        {{.filename = QStringLiteral("Safari.app"), .kind = SearchResultKind::app}, 120, 120},
        {{.filename = QStringLiteral("Plan.gdoc.url")}, 320, 500},
        {{.filename = QStringLiteral("Plan.gdoc")}, 120, 120},
        {{.filename = QStringLiteral("archive.zip")}, 0, 0},
        {{.filename = QStringLiteral("pdf")}, 0, 0},
        {{.filename = QStringLiteral("notes"), .directory = QStringLiteral("/x/a.pdf")}, 0, 0}, // name only
        {{.filename = QStringLiteral("Report.pdf"),
          .kind = SearchResultKind::action,
          .action = SearchResultAction::openBrowserFavorite},
         0,
         0},
    };
    for (const auto &c : cases) {
        const SearchResult row(c.row);
        EXPECT_EQ(defaultsLoaded.extensionBoost(row), c.withDefaults) << c.row.filename.toStdString();
        EXPECT_EQ(longer.extensionBoost(row), c.withLongerRule) << c.row.filename.toStdString();
    }
}

TEST(SearchRankingPreferences, OrdersRulesByCharactersThenAlphabetically) {
    const QString decomposed = QStringLiteral(".e\u0301e"); // three characters, four code units
    const SearchRankingPreferences preferences(
        {rule(".zz", 1), rule(decomposed, 2), rule(".ab", 3), rule(".abcd", 4), rule(".b", 5)});
    EXPECT_EQ(
        suffixesOf(preferences.longestMatchFirstBoostRules()),
        (QStringLiteral(".abcd=4 .ab=3 ") + decomposed + QStringLiteral("=2 .zz=1 .b=5")).toStdString());
    // The user's order is kept alongside.
    EXPECT_EQ(preferences.extensionBoostRules()[0].suffix, QStringLiteral(".zz"));
}

TEST(SearchRankingPreferences, StrippingSuffixesAreDistinctLongestFirstThenByCodePoint) {
    const QString fullwidth = QStringLiteral(".\uff41"); // U+FF41
    const QString emoji = QStringLiteral(".\U0001F600"); // above U+FFFF: a surrogate pair in UTF-16
    const SearchRankingPreferences preferences({rule(".url", 1), rule(emoji, 2), rule(fullwidth, 3),
                                                rule(".b", 4), rule(".gslides.url", 5), rule(".app", 6)});
    EXPECT_EQ(preferences.sortedSuffixesForBasenameStripping(),
              (QStringList{".gslides.url", ".gsheet.url", ".gdoc.url", ".gslides", ".gsheet", ".webloc",
                           ".gdoc", ".app", ".url", ".b", fullwidth, emoji}));
}

TEST(SearchRankingPreferences, CacheKeyIgnoresIdsAndOrderButNotBoosts) {
    const ExtensionBoostRules rules{rule(".pdf", 40), rule(".url", 320), rule(".gdoc", 120)};
    ExtensionBoostRules reordered{rules[2], rules[0], rules[1]};
    for (auto &r : reordered)
        r.id = QUuid::createUuid();
    ExtensionBoostRules changed = rules;
    changed[1].boost = 321;

    const QString key = SearchRankingPreferences(rules).cacheKey();
    EXPECT_EQ(
        QByteArray::fromBase64(key.toLatin1()),
        R"([{"boost":120,"suffix":".gdoc"},{"boost":40,"suffix":".pdf"},{"boost":320,"suffix":".url"}])");
    EXPECT_EQ(SearchRankingPreferences(reordered).cacheKey(), key);
    EXPECT_NE(SearchRankingPreferences(changed).cacheKey(), key);
}

TEST(SearchRankingPreferences, CacheKeyEscapesAsTheStandardWriterDoes) {
    struct Case {
        QString suffix;
        QByteArray json;
    } cases[] = {
        {QStringLiteral(".a/b"), R"([{"boost":-5,"suffix":".a\/b"}])"},
        {QStringLiteral(".a\"b\\"), R"([{"boost":-5,"suffix":".a\"b\\"}])"},
        {QStringLiteral(".a\tb\x01"), R"([{"boost":-5,"suffix":".a\tb\u0001"}])"},
        {QStringLiteral(".\u00fc\u65e5"),
         QByteArray(R"([{"boost":-5,"suffix":".)") + "\xc3\xbc\xe6\x97\xa5" + R"("}])"},
    };
    for (const auto &c : cases) {
        const QString key = SearchRankingPreferences({rule(c.suffix, -5)}).cacheKey();
        EXPECT_EQ(QByteArray::fromBase64(key.toLatin1()), c.json);
        EXPECT_EQ(key, QString::fromLatin1(c.json.toBase64()));
    }
}

} // namespace
} // namespace orvex
