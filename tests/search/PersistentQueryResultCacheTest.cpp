#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/StoredRowNormalization.h"
#include "sources/NotionSearch.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvex {
namespace {

constexpr double kWeek = 604800;
constexpr double kDay = 86400;
const Date kNow(800000000.25);

SearchResult fileRow(const QString &name, qint64 id = 0) {
    return SearchResult({.id = id, .filename = name, .directory = QStringLiteral("/home/u/Documents")});
}

// The key an answer stored under `key` has in the payload.
QString storedKey(const char *key) {
    return PersistentQueryResultCacheStore::storedKey(QString::fromLatin1(key));
}

QJsonArray records(const SearchResults &rows) {
    QJsonArray array;
    for (const SearchResult &row : rows)
        array.append(searchResultRecordToJson(row));
    return array;
}

class PersistentQueryResultCacheTest : public ::testing::Test {
protected:
    const QString key = QStringLiteral("test.queryResults");
    UserDefaults defaults;

    std::unique_ptr<PersistentQueryResultCacheStore> makeStore() {
        return std::make_unique<PersistentQueryResultCacheStore>(key, defaults);
    }
    void writePayload(const QByteArray &json) { defaults.set(key, PlistValue(json)); }
    void writePayload(const QJsonObject &root) { writePayload(QJsonDocument(root).toJson()); }
    QByteArray storedBytes() const { return defaults.dataValue(key).value_or(QByteArray()); }
    QJsonObject storedEntries() const {
        return QJsonDocument::fromJson(storedBytes()).object().value(QLatin1String("entries")).toObject();
    }
    static QJsonObject payloadWith(const QString &cacheKey, const QJsonArray &rows, Date cachedAt) {
        return QJsonObject{
            {QStringLiteral("entries"), QJsonObject{{cacheKey, QJsonObject{{QStringLiteral("results"), rows},
                                                                           {QStringLiteral("cachedAt"),
                                                                            cachedAt.secondsSince2001()}}}}}};
    }
};

TEST_F(PersistentQueryResultCacheTest, StoresTheDocumentedJsonFormAndReadsItBack) {
    const SearchResults rows{SearchResult({.id = 7,
                                           .filename = QStringLiteral("Plan.pdf"),
                                           .directory = QStringLiteral("/d"),
                                           .openCount = 3,
                                           .snippet = QStringLiteral("a <mark>plan</mark>"),
                                           .isRecentActivation = true,
                                           .relevanceScore = 900}),
                             SearchResult({.id = -12,
                                           .filename = QStringLiteral("Docs"),
                                           .kind = SearchResultKind::action,
                                           .action = SearchResultAction::openBrowserFavorite,
                                           .actionURLString = QStringLiteral("https://example.com/"),
                                           .usageKey = QStringLiteral("https://example.com/")})};
    makeStore()->storeResults(rows, QStringLiteral("plan|K"), kNow);

    const QJsonObject root = QJsonDocument::fromJson(storedBytes()).object();
    EXPECT_EQ(root.keys(), QStringList{QStringLiteral("entries")});
    const QJsonObject entry = storedEntries().value(storedKey("plan|K")).toObject();
    EXPECT_EQ(entry.keys(), (QStringList{QStringLiteral("cachedAt"), QStringLiteral("results")}));
    EXPECT_DOUBLE_EQ(entry.value(QLatin1String("cachedAt")).toDouble(), 800000000.25);
    const QJsonArray stored = entry.value(QLatin1String("results")).toArray();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_FALSE(stored[0].toObject().contains(QLatin1String("isRecentActivation")));
    EXPECT_EQ(stored[0].toObject().value(QLatin1String("relevanceScore")).toInteger(), 900);
    EXPECT_EQ(stored[1].toObject().value(QLatin1String("action")).toString(),
              QStringLiteral("openBrowserFavorite"));

    // A new process reads the same rows back, without the recent flag.
    const auto hit = makeStore()->cachedSearchResults(QStringLiteral("plan|K"), kNow, false);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->cachedAt, kNow);
    EXPECT_EQ(records(hit->results), records(rows));
    EXPECT_FALSE(hit->results[0].isRecentActivation());
}

TEST_F(PersistentQueryResultCacheTest, KeysOfAnyTextSurviveARestart) {
    const QString keys[] = {QStringLiteral("say \"hi\"|K"), QStringLiteral("back\\slash\n|K"),
                            QStringLiteral("caf\u00e9 \U0001F600|K"), QStringLiteral("|")};
    auto store = makeStore();
    for (const QString &k : keys)
        store->storeResults({fileRow(k)}, k, Date(1.0 / 3));
    ASSERT_FALSE(QJsonDocument::fromJson(storedBytes()).isNull());
    auto reader = makeStore();
    for (const QString &k : keys) {
        const auto hit = reader->cachedSearchResults(k, Date(1.0 / 3), false);
        ASSERT_TRUE(hit) << k.toStdString();
        EXPECT_EQ(hit->results.first().filename(), k);
        EXPECT_EQ(hit->cachedAt, Date(1.0 / 3)); // dates keep every bit
    }
    // Entries read back are written again, unchanged, with the next store.
    reader->storeResults({fileRow(QStringLiteral("n"))}, QStringLiteral("n|K"), Date(1));
    auto third = makeStore();
    for (const QString &k : keys)
        EXPECT_TRUE(third->cachedSearchResults(k, Date(1), false)) << k.toStdString();
}

TEST_F(PersistentQueryResultCacheTest, StoringNothingLeavesTheEntryAndTheDefaultsAlone) {
    auto store = makeStore();
    store->storeResults({fileRow(QStringLiteral("a"))}, QStringLiteral("a|K"), kNow);
    const QByteArray before = storedBytes();
    store->storeResults({}, QStringLiteral("a|K"), kNow.addingSeconds(10));
    store->storeResults({}, QStringLiteral("b|K"), kNow.addingSeconds(10));
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(store->cachedSearchResults(QStringLiteral("a|K"), kNow, false)->results.size(), 1);
}

// The search road leaves the payload to a later write: lookups see the answer at once, stores made
// before the write join it, a write made meanwhile for another reason covers them, and nothing owed is
// lost when the store goes.
TEST_F(PersistentQueryResultCacheTest, AnswersStoredToBeWrittenLaterAreServedAtOnceAndWrittenOnce) {
    class CountingStore : public PersistentQueryResultCacheStore {
    public:
        using PersistentQueryResultCacheStore::PersistentQueryResultCacheStore;
        int writes = 0;

    protected:
        void willWritePayload(quint64) override { ++writes; }
    };
    auto store = std::make_unique<CountingStore>(key, defaults);
    store->storeResults({fileRow(QStringLiteral("old"))}, QStringLiteral("old|K"), kNow);
    const QByteArray before = storedBytes();
    store->writes = 0;

    EXPECT_TRUE(store->storeResultsWritingLater({fileRow(QStringLiteral("a"))}, QStringLiteral("a|K"), kNow));
    EXPECT_FALSE(
        store->storeResultsWritingLater({fileRow(QStringLiteral("b"))}, QStringLiteral("b|K"), kNow));
    EXPECT_FALSE(store->storeResultsWritingLater({}, QStringLiteral("c|K"), kNow));
    EXPECT_EQ(store->cachedSearchResults(QStringLiteral("a|K"), kNow, false)->results.at(0).filename(),
              QStringLiteral("a"));
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(store->writes, 0);

    store->writeOwedPayload();
    store->writeOwedPayload();
    EXPECT_EQ(store->writes, 1);
    EXPECT_EQ(storedEntries().keys(), (QStringList{storedKey("a|K"), storedKey("b|K"), storedKey("old|K")}));
    // Encoded as a direct store encodes it.
    const QJsonValue writtenLater = storedEntries().value(storedKey("b|K"));
    makeStore()->storeResults({fileRow(QStringLiteral("b"))}, QStringLiteral("b|K"), kNow);
    EXPECT_EQ(storedEntries().value(storedKey("b|K")), writtenLater);

    // A direct store writes everything owed with it.
    store = std::make_unique<CountingStore>(key, defaults);
    EXPECT_TRUE(store->storeResultsWritingLater({fileRow(QStringLiteral("d"))}, QStringLiteral("d|K"), kNow));
    store->storeResults({fileRow(QStringLiteral("e"))}, QStringLiteral("e|K"), kNow);
    store->writeOwedPayload();
    EXPECT_EQ(store->writes, 1);
    EXPECT_TRUE(storedEntries().contains(storedKey("d|K")));

    // Owed when the store goes: written then.
    EXPECT_TRUE(store->storeResultsWritingLater({fileRow(QStringLiteral("f"))}, QStringLiteral("f|K"), kNow));
    store.reset();
    EXPECT_TRUE(makeStore()->cachedSearchResults(QStringLiteral("f|K"), kNow, false));
}

TEST_F(PersistentQueryResultCacheTest, ServesEntriesWithinAWeekAndNotFarInTheFuture) {
    struct Case {
        double age;
        bool served;
    } cases[] = {{0, true},     {kWeek, true},      {kWeek + 1, false},  {kWeek + 0.001, false},
                 {-kDay, true}, {-kDay - 1, false}, {-365 * kDay, false}};
    for (const Case &c : cases) {
        UserDefaults local;
        PersistentQueryResultCacheStore writer(key, local);
        writer.storeResults({fileRow(QStringLiteral("a"))}, QStringLiteral("a|K"), kNow);
        PersistentQueryResultCacheStore reader(key, local);
        const auto hit = reader.cachedSearchResults(QStringLiteral("a|K"), kNow.addingSeconds(c.age), false);
        EXPECT_EQ(hit.has_value(), c.served) << "age " << c.age;
        // An expired entry is removed from the stored payload on the way.
        const QJsonObject entries = QJsonDocument::fromJson(*local.dataValue(key))
                                        .object()
                                        .value(QLatin1String("entries"))
                                        .toObject();
        EXPECT_EQ(entries.contains(storedKey("a|K")), c.served) << "age " << c.age;
    }
}

TEST_F(PersistentQueryResultCacheTest, TheHundredAndTwentyFirstKeyEvictsTheOldest) {
    auto store = makeStore();
    // Stored newest-first in time so that eviction follows the dates, not the order of stores.
    for (int i = 0; i < 121; ++i)
        store->storeResults({fileRow(QStringLiteral("r"))}, QStringLiteral("q%1|K").arg(i),
                            kNow.addingSeconds(i == 60 ? -100 : i));
    EXPECT_EQ(storedEntries().size(), 120);
    EXPECT_FALSE(storedEntries().contains(storedKey("q60|K")));
    EXPECT_FALSE(store->cachedSearchResults(QStringLiteral("q60|K"), kNow, false));
    EXPECT_TRUE(store->cachedSearchResults(QStringLiteral("q0|K"), kNow, false));
    EXPECT_TRUE(store->cachedSearchResults(QStringLiteral("q120|K"), kNow, false));
}

TEST_F(PersistentQueryResultCacheTest, FallsBackToTheNewestValidEntryOfTheSameQuery) {
    auto store = makeStore();
    store->storeResults({fileRow(QStringLiteral("two"))}, QStringLiteral("abc|K2"),
                        kNow.addingSeconds(-2 * kDay));
    store->storeResults({fileRow(QStringLiteral("one"))}, QStringLiteral("abc|K3"),
                        kNow.addingSeconds(-kDay));
    // Newest by date but written by a clock that was far ahead: expired, so skipped and removed.
    store->storeResults({fileRow(QStringLiteral("future"))}, QStringLiteral("abc|K5"),
                        kNow.addingSeconds(2 * kDay));
    store->storeResults({fileRow(QStringLiteral("other"))}, QStringLiteral("abcd|K9"), kNow);

    const auto hit = store->cachedSearchResults(QStringLiteral("abc|K1"), kNow, true);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->cachedAt, kNow.addingSeconds(-kDay));
    ASSERT_EQ(hit->results.size(), 1);
    EXPECT_EQ(hit->results[0].filename(), QStringLiteral("one"));
    EXPECT_FALSE(storedEntries().contains(storedKey("abc|K5")));

    EXPECT_FALSE(store->cachedSearchResults(QStringLiteral("abc|K1"), kNow, false));
    // Without a separator there is no "same query under other settings".
    store->storeResults({fileRow(QStringLiteral("x"))}, QStringLiteral("xyz|K2"), kNow);
    EXPECT_FALSE(store->cachedSearchResults(QStringLiteral("xyz"), kNow, true));
}

TEST_F(PersistentQueryResultCacheTest, RepairsForeignRecordsAndWritesThemBack) {
    QJsonObject unknownKind = searchResultRecordToJson(fileRow(QStringLiteral("gone")));
    unknownKind.insert(QStringLiteral("kind"), QStringLiteral("widget"));
    QJsonObject withoutDatabaseID = searchResultRecordToJson(fileRow(QStringLiteral("indexed"), 42));
    withoutDatabaseID.remove(QStringLiteral("databaseID"));
    QJsonObject unknownAction =
        searchResultRecordToJson(SearchResult({.id = -3,
                                               .filename = QStringLiteral("act"),
                                               .kind = SearchResultKind::action,
                                               .action = SearchResultAction::openSettings}));
    unknownAction.insert(QStringLiteral("action"), QStringLiteral("launchRockets"));
    const QJsonObject negative = searchResultRecordToJson(fileRow(QStringLiteral("walked"), -7));
    QJsonObject duplicate = searchResultRecordToJson(fileRow(QStringLiteral("WALKED"), -8));

    writePayload(payloadWith(QStringLiteral("q|K"),
                             {unknownKind, withoutDatabaseID, unknownAction, negative, duplicate}, kNow));
    const auto hit = makeStore()->cachedSearchResults(QStringLiteral("q|K"), kNow, false);
    ASSERT_TRUE(hit);
    ASSERT_EQ(hit->results.size(), 3);
    EXPECT_EQ(hit->results[0].databaseID(), 42);
    EXPECT_FALSE(hit->results[1].action().has_value());
    EXPECT_EQ(hit->results[2].filename(), QStringLiteral("walked"));
    EXPECT_FALSE(hit->results[2].databaseID().has_value());

    const QJsonObject entry = storedEntries().value(QLatin1String("q|K")).toObject();
    EXPECT_EQ(entry.value(QLatin1String("results")).toArray(), records(hit->results));
    EXPECT_DOUBLE_EQ(entry.value(QLatin1String("cachedAt")).toDouble(), kNow.secondsSince2001());
}

TEST_F(PersistentQueryResultCacheTest, OldAndNewFormsOfANotionPageComeBackAsOneCanonicalRow) {
    // As the launcher's sources hand it in.
    installStoredRowNormalization(normalizedNotionSearchResult);
    const QString page = QStringLiteral("0123456789abcdef0123456789abcdef");
    const SearchResult oldForm(
        {.id = -1,
         .filename = QStringLiteral("Roadmap"),
         .kind = SearchResultKind::action,
         .action = SearchResultAction::openNotionPage,
         .actionURLString = QStringLiteral("https://team.notion.site/Roadmap-") + page});
    const SearchResult newForm({.id = -2,
                                .filename = QStringLiteral("Roadmap"),
                                .kind = SearchResultKind::action,
                                .action = SearchResultAction::openNotionPage,
                                .actionURLString = QStringLiteral("https://www.notion.so/") + page,
                                .usageKey = QStringLiteral("notion://page/") + page});
    writePayload(payloadWith(QStringLiteral("road|K"), records({oldForm, newForm}), kNow));

    const auto hit = makeStore()->cachedSearchResults(QStringLiteral("road|K"), kNow, false);
    ASSERT_TRUE(hit);
    ASSERT_EQ(hit->results.size(), 1);
    EXPECT_EQ(hit->results[0].usageKey(), QStringLiteral("notion://page/") + page);
    EXPECT_EQ(hit->results[0].fallbackActionURLString(), oldForm.actionURLString());
    EXPECT_EQ(
        storedEntries().value(QLatin1String("road|K")).toObject().value(QLatin1String("results")).toArray(),
        records(hit->results));
}

TEST_F(PersistentQueryResultCacheTest, AnEntryWhoseRowsAreAllDroppedIsAnEmptyHit) {
    QJsonObject unknownKind = searchResultRecordToJson(fileRow(QStringLiteral("gone")));
    unknownKind.insert(QStringLiteral("kind"), QStringLiteral("widget"));
    writePayload(payloadWith(QStringLiteral("q|K"), {unknownKind}, kNow));
    const auto hit = makeStore()->cachedSearchResults(QStringLiteral("q|K"), kNow, false);
    ASSERT_TRUE(hit);
    EXPECT_TRUE(hit->results.isEmpty());
}

TEST_F(PersistentQueryResultCacheTest, ACorruptPayloadReadsAsEmptyUntilTheNextStoreReplacesIt) {
    QJsonObject badRecord = searchResultRecordToJson(fileRow(QStringLiteral("a")));
    badRecord.remove(QStringLiteral("filename"));
    QJsonObject fractionalID = searchResultRecordToJson(fileRow(QStringLiteral("a")));
    fractionalID.insert(QStringLiteral("id"), 1.5);
    const QJsonArray good{searchResultRecordToJson(fileRow(QStringLiteral("a")))};
    QJsonObject dateAsText = payloadWith(QStringLiteral("q|K"), good, kNow);
    dateAsText[QStringLiteral("entries")] = QJsonObject{
        {QStringLiteral("q|K"), QJsonObject{{QStringLiteral("results"), good},
                                            {QStringLiteral("cachedAt"), QStringLiteral("today")}}}};
    const QByteArray payloads[] = {
        "not json",
        "[]",
        R"({"entries": []})",
        R"({"other": {}})",
        QJsonDocument(payloadWith(QStringLiteral("q|K"), {badRecord}, kNow)).toJson(),
        QJsonDocument(payloadWith(QStringLiteral("q|K"), {fractionalID}, kNow)).toJson(),
        QJsonDocument(dateAsText).toJson(),
    };
    for (const QByteArray &payload : payloads) {
        SCOPED_TRACE(payload.toStdString());
        writePayload(payload);
        auto store = makeStore();
        EXPECT_FALSE(store->cachedSearchResults(QStringLiteral("q|K"), kNow, true));
        EXPECT_EQ(storedBytes(), payload); // left alone until a write replaces it

        store->storeResults({fileRow(QStringLiteral("new"))}, QStringLiteral("new|K"), kNow);
        EXPECT_EQ(storedEntries().keys(), QStringList{storedKey("new|K")});
    }
}

TEST_F(PersistentQueryResultCacheTest, InvalidationStampIsADefaultsDate) {
    auto store = makeStore();
    EXPECT_FALSE(store->actorInvalidatedAt());
    EXPECT_EQ(store->markActorCacheInvalidated(kNow), kNow);
    EXPECT_EQ(defaults.dateValue(key + QStringLiteral(".actorInvalidatedAt")), kNow);
    EXPECT_EQ(store->actorInvalidatedAt(), kNow);
    defaults.set(key + QStringLiteral(".actorInvalidatedAt"), PlistValue(QStringLiteral("yesterday")));
    EXPECT_FALSE(store->actorInvalidatedAt());
}

// One store per defaults database and key: the panel and the manager share it, and a manager over other
// defaults (a test's, after the process-wide manager took the launcher's key) never gets a store that
// reads and writes a defaults database it was not given.
TEST(PersistentQueryResultCacheStoreRegistry, SharesOneStorePerDefaultsAndKeyWhileItIsHeld) {
    UserDefaults defaults;
    const QString key = QStringLiteral("registry.queryResults");
    auto first = PersistentQueryResultCacheStoreRegistry::store(key, defaults);
    auto second = PersistentQueryResultCacheStoreRegistry::store(key, defaults, 1, 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->ttl(), PersistentQueryResultCacheStore::defaultTTL);
    EXPECT_NE(PersistentQueryResultCacheStoreRegistry::store(key + QStringLiteral("2"), defaults), first);

    UserDefaults other;
    auto elsewhere = PersistentQueryResultCacheStoreRegistry::store(key, other);
    EXPECT_NE(elsewhere, first);
    first->storeResults({fileRow(QStringLiteral("a"))}, QStringLiteral("a|K"), kNow);
    EXPECT_FALSE(elsewhere->cachedSearchResults(QStringLiteral("a|K"), kNow, false));
    EXPECT_FALSE(other.dataValue(key));
    EXPECT_TRUE(defaults.dataValue(key));

    first.reset();
    second.reset();
    // Released by everyone: the next store starts over from the defaults it is given.
    UserDefaults fresh;
    auto third = PersistentQueryResultCacheStoreRegistry::store(key, fresh);
    EXPECT_FALSE(third->cachedSearchResults(QStringLiteral("a|K"), kNow, false));
}

// Holds the first writer between taking its snapshot and writing it, so that a newer snapshot can be
// written in between.
class PausingStore : public PersistentQueryResultCacheStore {
public:
    using PersistentQueryResultCacheStore::PersistentQueryResultCacheStore;

    std::mutex mutex;
    std::condition_variable changed;
    bool firstWriterWaiting = false;
    bool releaseFirstWriter = false;
    bool paused = false;

protected:
    void willWritePayload(quint64) override {
        std::unique_lock guard(mutex);
        if (paused)
            return;
        paused = true;
        firstWriterWaiting = true;
        changed.notify_all();
        changed.wait(guard, [&] { return releaseFirstWriter; });
    }
};

TEST_F(PersistentQueryResultCacheTest, AnOlderSnapshotNeverOverwritesANewerOne) {
    PausingStore store(key, defaults);
    std::thread older(
        [&] { store.storeResults({fileRow(QStringLiteral("a"))}, QStringLiteral("a|K"), kNow); });
    {
        std::unique_lock guard(store.mutex);
        store.changed.wait(guard, [&] { return store.firstWriterWaiting; });
    }
    store.storeResults({fileRow(QStringLiteral("b"))}, QStringLiteral("b|K"), kNow);
    {
        std::lock_guard guard(store.mutex);
        store.releaseFirstWriter = true;
    }
    store.changed.notify_all();
    older.join();

    EXPECT_EQ(storedEntries().size(), 2);
    EXPECT_TRUE(storedEntries().contains(storedKey("b|K")));
}

TEST_F(PersistentQueryResultCacheTest, ConcurrentStoresAndLookupsStayConsistent) {
    auto store = std::make_unique<PersistentQueryResultCacheStore>(key, defaults, kWeek, 20);
    QStringList keys;
    for (int i = 0; i < 30; ++i)
        keys.append(QStringLiteral("q%1|K%2").arg(i % 15).arg(i % 2));
    const auto work = [&](int thread) {
        for (int round = 0; round < 200; ++round) {
            const QString &k = keys[(round * 7 + thread * 3) % keys.size()];
            const Date when = kNow.addingSeconds(round * 2 + thread);
            if ((round + thread) % 3 == 0) {
                store->storeResults({fileRow(QStringLiteral("t%1-%2").arg(thread).arg(round)),
                                     fileRow(QStringLiteral("shared"))},
                                    k, when);
            } else if (const auto hit = store->cachedSearchResults(k, when, round % 2 == 0)) {
                // Every answer is a whole entry: both rows, first-row-wins order kept.
                ASSERT_EQ(hit->results.size(), 2);
                ASSERT_EQ(hit->results[1].filename(), QStringLiteral("shared"));
            }
        }
    };
    std::thread a(work, 0);
    std::thread b(work, 1);
    a.join();
    b.join();

    // The stored payload is the final state: a fresh reader sees exactly what the store holds.
    PersistentQueryResultCacheStore reader(key, defaults, kWeek, 20);
    EXPECT_LE(storedEntries().size(), 20);
    const Date end = kNow.addingSeconds(1000);
    for (const QString &k : std::as_const(keys)) {
        const auto mine = store->cachedSearchResults(k, end, false);
        const auto theirs = reader.cachedSearchResults(k, end, false);
        ASSERT_EQ(mine.has_value(), theirs.has_value()) << k.toStdString();
        if (mine) {
            EXPECT_EQ(mine->cachedAt, theirs->cachedAt);
            EXPECT_EQ(records(mine->results), records(theirs->results));
        }
    }
}

} // namespace
} // namespace orvex
