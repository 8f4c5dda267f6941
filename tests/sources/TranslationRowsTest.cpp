#include "fixtures/ManagerFixture.h"
#include "fixtures/TranslationFakeEngines.h"
#include "platform/LanguageRecognizer.h"
#include "platform/NotificationCenter.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

using Engine = TranslationEngineID;

// A row as one readable line: title | subtitle | open count | action | address.
std::string describe(const SearchResult &row) {
    return (row.filename() + QStringLiteral(" | ") + row.directory() + QStringLiteral(" | ") +
            QString::number(row.openCount()) + QStringLiteral(" | ") +
            (row.action() ? rawValue(*row.action()) : QStringLiteral("none")) + QStringLiteral(" | ") +
            row.actionURLString().value_or(QString()))
        .toStdString();
}

std::vector<std::string> describe(const SearchResults &rows) {
    std::vector<std::string> lines;
    for (const SearchResult &row : rows)
        lines.push_back(describe(row));
    return lines;
}

// Answers nothing, so that inferred pairs come from the fallbacks and these rows do not hang on the
// detector's view of a word.
class SilentRecognizer final : public LanguageRecognizer {
public:
    std::optional<QString> dominantLanguage(const QString &) const override { return std::nullopt; }
    std::optional<QString> likeliestLanguage(const QString &, const QSet<QString> &) const override {
        return std::nullopt;
    }
};

class TranslationRows : public ::testing::Test {
protected:
    void SetUp() override {
        LanguageRecognizer::setShared(std::make_shared<SilentRecognizer>());
        StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
        sources.translationEngines = engines;
        manager = fixture.makeManager(sources);
        observer = NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("LauncherSearchDataRefreshed"), [this](const Notification &) { ++refreshes; });
    }

    void TearDown() override {
        engines->release();
        manager->shutdown();
        NotificationCenter::defaultCenter().removeObserver(observer);
        LanguageRecognizer::setShared(nullptr);
    }

    SearchResults search(const QString &query) {
        return manager->matchSource(QStringLiteral("translation"), query);
    }

    // Lets every started lookup finish and its notification arrive.
    void finishLookups(int expectedRefreshes) {
        manager->waitForBackgroundTasks();
        EXPECT_TRUE(test::waitUntil([&] { return refreshes >= expectedRefreshes; }));
    }

    test::ManagerFixture fixture;
    std::shared_ptr<test::FakeTranslationEngines> engines = std::make_shared<test::FakeTranslationEngines>();
    std::unique_ptr<DatabaseManager> manager;
    NotificationCenter::ObserverToken observer = 0;
    int refreshes = 0;
};

TEST_F(TranslationRows, InferredCommandAnswersAtOnceThenShowsTheCopyRows) {
    engines->setAvailable(Engine::apple, false);
    engines->setAnswer(Engine::argos, QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("Haus"),
                       QStringLiteral("house"));
    engines->setAnswer(Engine::argos, QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("Haus"),
                       QStringLiteral("Haus"));
    engines->hold();

    const std::vector<std::string> first = {
        "Haus | EN <-> DE · Translating locally... · Enter opens dict.cc | 0 | openBrowserFavorite | "
        "https://www.dict.cc/?s=Haus",
        "Search dict.cc | EN <-> DE · Enter opens dict.cc | 0 | openBrowserFavorite | "
        "https://www.dict.cc/?s=Haus#onlinedict",
    };
    const SearchResults rows = search(QStringLiteral("cc Haus"));
    EXPECT_EQ(describe(rows), first);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].id(), stableNegativeID(QStringLiteral("action://translation/pending/cc/Haus")));
    EXPECT_EQ(rows[1].id(), stableNegativeID(QStringLiteral("action://translation/onlinedict/en:de/haus")));
    EXPECT_EQ(rows[0].snippet(), QStringLiteral("Haus"));
    EXPECT_EQ(rows[0].kind(), SearchResultKind::action);
    EXPECT_FALSE(rows[0].databaseID());

    // Both pairs are being looked up; asking again while they run starts nothing new.
    ASSERT_TRUE(test::waitUntil([&] { return engines->questionCount() == 2; }));
    EXPECT_EQ(describe(search(QStringLiteral("cc Haus"))), first);
    engines->release();
    finishLookups(2);
    EXPECT_EQ(engines->questionCount(), 4) << "apple and argos, once per pair";

    const SearchResults finished = search(QStringLiteral("cc Haus"));
    const std::vector<std::string> expected = {
        "house | DE -> EN via Argos (local) · Enter copies | 130 | copyToClipboard | house",
        "Haus | EN -> DE via Argos (local) · Enter copies | 20 | copyToClipboard | Haus",
        "Search dict.cc for alternatives | EN -> DE · Local result unchanged · Enter opens dict.cc | 0 | "
        "openBrowserFavorite | https://www.dict.cc/?s=Haus",
        "Search dict.cc | EN <-> DE · Enter opens dict.cc | 0 | openBrowserFavorite | "
        "https://www.dict.cc/?s=Haus#onlinedict",
    };
    EXPECT_EQ(describe(finished), expected);
    ASSERT_EQ(finished.size(), 4);
    EXPECT_EQ(finished[0].id(),
              stableNegativeID(QStringLiteral("action://translation/copy/de:en/haus/house")));
    EXPECT_EQ(finished[2].id(),
              stableNegativeID(QStringLiteral("action://translation/unchanged/en:de/haus")));
    EXPECT_EQ(engines->questionCount(), 4);
}

TEST_F(TranslationRows, ExplicitPairAsksTheFirstEngineThatAnswers) {
    engines->setAnswer(Engine::apple, QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("Haus"),
                       QStringLiteral("house"));
    engines->setAnswer(Engine::argos, QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("Haus"),
                       QStringLiteral("home"));
    EXPECT_EQ(
        describe(search(QStringLiteral("cc de:en Haus"))),
        (std::vector<std::string>{
            "Haus | DE -> EN · Translating locally... · Enter opens dict.cc | 0 | openBrowserFavorite | "
            "https://www.dict.cc/?s=Haus",
            "Search dict.cc | DE -> EN · Enter opens dict.cc | 0 | openBrowserFavorite | "
            "https://www.dict.cc/?s=Haus#onlinedict",
        }));
    finishLookups(1);
    EXPECT_EQ(describe(search(QStringLiteral("cc de:en Haus"))),
              (std::vector<std::string>{
                  "house | DE -> EN via Apple Translation · Enter copies | 140 | copyToClipboard | house",
                  "Search dict.cc | DE -> EN · Enter opens dict.cc | 0 | openBrowserFavorite | "
                  "https://www.dict.cc/?s=Haus#onlinedict",
              }));
    EXPECT_EQ(engines->questionCount(Engine::argos), 0);
}

// The note names an engine ahead of the one that answered only when a user could make it work: Apple
// Translation never exists here, whatever its place in the stored order.
TEST_F(TranslationRows, EngineNoteNamesOnlyEnginesThatCouldWork) {
    const struct {
        const char *name;
        const char *order;
        bool appleAvailable;
        bool argosAvailable;
        Engine answering;
        const char *subtitle;
    } cases[] = {
        {"Apple first, unavailable", "apple,argos", false, true, Engine::argos,
         "DE -> EN via Argos (local) · Enter copies"},
        {"Argos first, unavailable", "argos,apple", true, false, Engine::apple,
         "DE -> EN via Apple Translation · Argos (local) unavailable · Enter copies"},
        {"Argos first and available", "argos,apple", true, true, Engine::apple,
         "DE -> EN via Apple Translation · Enter copies"},
    };
    int refreshed = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fixture.defaults->set(QStringLiteral("launcherTranslationEngineOrder"),
                              PlistValue(QString::fromUtf8(c.order)));
        engines->setAvailable(Engine::apple, c.appleAvailable);
        engines->setAvailable(Engine::argos, c.argosAvailable);
        const QString word = QStringLiteral("Wort%1").arg(refreshed);
        engines->setAnswer(c.answering, QStringLiteral("de"), QStringLiteral("en"), word,
                           QStringLiteral("word"));
        const QString query = QStringLiteral("cc de:en ") + word;
        search(query);
        finishLookups(++refreshed);
        const SearchResults rows = search(query);
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_EQ(rows[0].directory().toStdString(), c.subtitle);
        EXPECT_FALSE(rows[0].directory().contains(QStringLiteral("macOS")));
    }
    EXPECT_EQ(fixture.defaults->stringValue(QStringLiteral("launcherTranslationEngineOrder")),
              QStringLiteral("argos,apple"))
        << "the stored order is left as it is";
}

// Without late lookups no engine is asked and no row promises a translation still to come.
TEST_F(TranslationRows, WithoutLateLookupsOnlyTheDictionaryRowAnswers) {
    engines->setAnswer(Engine::argos, QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("Haus"),
                       QStringLiteral("house"));
    StandardSourcesConfiguration sources = fixture.sourcesConfiguration();
    sources.translationEngines = engines;
    DatabaseManagerConfiguration configuration = fixture.configuration(sources);
    configuration.startsLateLookups = false;
    auto quiet = fixture.makeManager(configuration);
    EXPECT_EQ(describe(quiet->matchSource(QStringLiteral("translation"), QStringLiteral("cc de:en Haus"))),
              (std::vector<std::string>{
                  "Search dict.cc | DE -> EN · Enter opens dict.cc | 0 | openBrowserFavorite | "
                  "https://www.dict.cc/?s=Haus#onlinedict"}));
    EXPECT_FALSE(quiet->hasLateLookupsInFlight());
    quiet->shutdown();
    EXPECT_EQ(engines->questionCount(), 0);

    engines->hold();
    search(QStringLiteral("cc de:en Haus"));
    EXPECT_TRUE(manager->hasLateLookupsInFlight());
    engines->release();
    finishLookups(1);
    EXPECT_FALSE(manager->hasLateLookupsInFlight());
}

TEST_F(TranslationRows, LowerCaseGermanWordIsRetriedCapitalised) {
    const struct {
        const char *name;
        QString word;
        QList<std::pair<QString, QString>> argosAnswers;
        std::vector<std::string> expected;
    } cases[] = {
        {"the capitalised word translates",
         QStringLiteral("haus"),
         {{QStringLiteral("haus"), QStringLiteral("haus")},
          {QStringLiteral("Haus"), QStringLiteral("house")}},
         {"house | DE -> EN via Argos (local) · Enter copies | 140 | copyToClipboard | house"}},
        {"every answer echoes the word",
         QStringLiteral("maus"),
         {{QStringLiteral("maus"), QStringLiteral("Maus")}, {QStringLiteral("Maus"), QStringLiteral("Maus")}},
         {"Maus | DE -> EN via Argos (local) · Enter copies | 20 | copyToClipboard | Maus",
          "Search dict.cc for alternatives | DE -> EN · Local result unchanged · Enter opens dict.cc | 0 | "
          "openBrowserFavorite | https://www.dict.cc/?s=maus"}},
        {"the answer differs only in diacritics",
         QStringLiteral("schon"),
         {{QStringLiteral("schon"), QStringLiteral("schön")}},
         {"schön | DE -> EN via Argos (local) · Enter copies | 140 | copyToClipboard | schön",
          "Search dict.cc for alternatives | DE -> EN · Local result unchanged · Enter opens dict.cc | 0 | "
          "openBrowserFavorite | https://www.dict.cc/?s=schon"}},
    };
    int refreshed = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto &[text, answer] : c.argosAnswers)
            engines->setAnswer(Engine::argos, QStringLiteral("de"), QStringLiteral("en"), text, answer);
        const QString query = QStringLiteral("cc de:en ") + c.word;
        search(query);
        finishLookups(++refreshed);
        std::vector<std::string> expected = c.expected;
        expected.push_back("Search dict.cc | DE -> EN · Enter opens dict.cc | 0 | openBrowserFavorite | "
                           "https://www.dict.cc/?s=" +
                           c.word.toStdString() + "#onlinedict");
        EXPECT_EQ(describe(search(query)), expected);
    }
}

TEST_F(TranslationRows, NoAnswerGivesTheUnavailableRow) {
    fixture.defaults->set(QStringLiteral("launcherTranslationEngineEnabled"),
                          PlistValue(QStringLiteral("argos")));
    search(QStringLiteral("cc de:en Haus"));
    finishLookups(1);
    const SearchResults rows = search(QStringLiteral("cc de:en Haus"));
    EXPECT_EQ(describe(rows),
              (std::vector<std::string>{
                  "Haus | DE -> EN · Local engine unavailable · Enter opens dict.cc | 0 | "
                  "openBrowserFavorite | https://www.dict.cc/?s=Haus",
                  "Search dict.cc | DE -> EN · Enter opens dict.cc | 0 | openBrowserFavorite | "
                  "https://www.dict.cc/?s=Haus#onlinedict",
              }));
    EXPECT_EQ(rows[0].id(), stableNegativeID(QStringLiteral("action://translation/fallback/de:en/haus")));
    EXPECT_EQ(engines->questionCount(Engine::apple), 0) << "apple is not enabled";
}

TEST_F(TranslationRows, EngineFailureStillReleasesTheLookup) {
    engines->setThrowing(QStringLiteral("boom"));
    search(QStringLiteral("cc de:en boom"));
    finishLookups(1);
    const SearchResults rows = search(QStringLiteral("cc de:en boom"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].directory(),
              QStringLiteral("DE -> EN · Local engine unavailable · Enter opens dict.cc"));
    EXPECT_EQ(engines->questionCount(), 1);
}

TEST_F(TranslationRows, CachedRowsLiveThirtyMinutes) {
    engines->setAnswer(Engine::argos, QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("Haus"),
                       QStringLiteral("house"));
    search(QStringLiteral("cc de:en Haus"));
    finishLookups(1);
    const int asked = engines->questionCount();

    fixture.clock->advance(1800);
    EXPECT_EQ(search(QStringLiteral("cc de:en Haus")).first().filename(), QStringLiteral("house"));
    manager->waitForBackgroundTasks();
    EXPECT_EQ(engines->questionCount(), asked);

    fixture.clock->advance(1);
    EXPECT_EQ(search(QStringLiteral("cc de:en Haus")).first().directory(),
              QStringLiteral("DE -> EN · Translating locally... · Enter opens dict.cc"));
    finishLookups(2);
    EXPECT_EQ(engines->questionCount(), 2 * asked);
}

TEST_F(TranslationRows, CacheKeepsTheNewestThreeHundredLookups) {
    const auto command = [](int i) { return QStringLiteral("cc de:en word%1").arg(i); };
    const auto isPending = [](const SearchResults &rows) {
        return rows.first().directory().contains(QStringLiteral("Translating locally"));
    };
    for (int i = 0; i <= 300; ++i) {
        engines->setAnswer(Engine::argos, QStringLiteral("de"), QStringLiteral("en"),
                           QStringLiteral("word%1").arg(i), QStringLiteral("translation%1").arg(i));
        search(command(i));
        manager->waitForBackgroundTasks();
        fixture.clock->advance(1);
    }
    EXPECT_FALSE(isPending(search(command(1))));
    EXPECT_FALSE(isPending(search(command(300))));
    EXPECT_TRUE(isPending(search(command(0)))) << "the oldest entry was evicted";
}

TEST_F(TranslationRows, OnlyTranslationCommandsGiveRows) {
    for (const char *query : {"Haus", "cc", "ccx Haus", "cc fr:it bonjour", ""})
        EXPECT_TRUE(search(QString::fromUtf8(query)).isEmpty()) << query;
    manager->waitForBackgroundTasks();
    EXPECT_EQ(engines->questionCount(), 0);
}

TEST_F(TranslationRows, StoredTriggerAndLanguagesAreUsed) {
    fixture.defaults->set(QStringLiteral("launcherTranslationTrigger"), PlistValue(QStringLiteral(" TR! ")));
    fixture.defaults->set(QStringLiteral("launcherTranslationLanguageCodes"),
                          PlistValue(QStringLiteral("fr, it")));
    EXPECT_TRUE(search(QStringLiteral("cc de:en Haus")).isEmpty());
    EXPECT_TRUE(search(QStringLiteral("tr de:en Haus")).isEmpty()) << "de and en are not configured";
    const SearchResults rows = search(QStringLiteral("tr fr:it bonjour"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].id(), stableNegativeID(QStringLiteral("action://translation/pending/tr/bonjour")));
}

TEST_F(TranslationRows, DictionaryRowKeepsSpecialCharacters) {
    engines->hold();
    const SearchResults rows = search(QStringLiteral("cc de:en C# & C++"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].actionURLString(),
              QStringLiteral("https://www.dict.cc/?s=C%23%20%26%20C%2B%2B#onlinedict"));
    EXPECT_EQ(rows[0].actionURLString(), QStringLiteral("https://www.dict.cc/?s=C%23%20%26%20C%2B%2B"));
}

} // namespace
} // namespace orvex
