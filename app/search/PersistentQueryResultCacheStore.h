#pragma once

#include "platform/Clock.h"
#include "search/DatabaseTypes.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace orvex {

class UserDefaults;

// One stored answer: its rows as stored JSON records, in display order, and when it was written.
struct PersistentQueryResultCacheEntry {
    QJsonArray results;
    Date cachedAt;
    // The compact JSON of `results`, kept so that rewriting the payload does not encode every row
    // again; empty until first needed.
    QByteArray encodedResults;
    // Order of the store that wrote the entry in this process; 0 for entries read from the payload.
    // Not stored.
    quint64 storeGeneration = 0;
};

// What is stored under the store's key: one JSON object {"entries": {key: {"results", "cachedAt"}}},
// dates as seconds since 2001.
struct PersistentQueryResultCachePayload {
    QHash<QString, PersistentQueryResultCacheEntry> entries;

    // Compact JSON.
    QByteArray toJson() const;
    // Nothing when any part is missing, of the wrong type or a record is malformed: the whole payload
    // is then unusable. Records of an unknown kind are kept here; reading them drops them.
    static std::optional<PersistentQueryResultCachePayload> fromJson(const QByteArray &data);
};

// What a lookup answers.
struct PersistentCachedSearchResults {
    SearchResults results;
    Date cachedAt;
    // Written by this process before the last markActorCacheInvalidated(), whatever the dates say (the
    // clock may not have moved, or may have been set back, in between).
    bool storedBeforeActorInvalidation = false;
};

// The query answers kept for seven days in the defaults database, shared by the manager and the panel.
// Every operation may run on any thread: the entries are guarded by one lock, and payload writes are
// ordered so that an older snapshot never replaces a newer one.
class PersistentQueryResultCacheStore {
public:
    static constexpr double defaultTTL = 604800;
    static constexpr qsizetype defaultMaxEntries = 120;
    // What one entry (its stored key and rows) and the whole payload may take. A larger answer is not
    // written (nor the older answer of its key); past the payload's size the oldest entries go.
    static constexpr qsizetype maxEntryBytes = 256 * 1024;
    static constexpr qsizetype maxPayloadBytes = 8 * 1024 * 1024;
    // Entries dated further ahead than this (a clock set back) count as expired.
    static constexpr double futureTolerance = 86400;

    PersistentQueryResultCacheStore(QString storeKey, UserDefaults &defaults, double ttl = defaultTTL,
                                    qsizetype maxEntries = defaultMaxEntries);
    virtual ~PersistentQueryResultCacheStore();

    PersistentQueryResultCacheStore(const PersistentQueryResultCacheStore &) = delete;
    PersistentQueryResultCacheStore &operator=(const PersistentQueryResultCacheStore &) = delete;

    const QString &storeKey() const { return storeKey_; }
    double ttl() const { return ttl_; }
    qsizetype maxEntries() const { return maxEntries_; }

    // Keys are "query|ranking key", the ranking key being the rules' cache key, which repeats every rule
    // and can be long; its part after the last "|" is stored as a digest, which changes whenever the
    // rules do.
    static QString storedKey(const QString &key);

    // The rows stored under `key` when still valid at `now`. With the fallback, a key "query|ranking"
    // without a valid entry is answered by the newest valid entry of the same query under other
    // ranking settings. A hit may hold no rows.
    std::optional<PersistentCachedSearchResults> cachedSearchResults(const QString &key, Date now,
                                                                     bool allowSameQueryFallback);
    // Stores a non-empty answer under `key`, evicting the oldest entries beyond the limit.
    void storeResults(const SearchResults &results, const QString &key, Date now);
    // The same, but the payload (every stored answer, encoded) is left owed to writeOwedPayload(), so
    // that a search does not pay for it; lookups see the answer at once. True when no write was owed
    // before: the caller then makes sure writeOwedPayload() runs, and later stores join that write.
    bool storeResultsWritingLater(const SearchResults &results, const QString &key, Date now);
    // Writes the payload when a store left it owed. Waits for a write under way either way: once it
    // returns, nothing is written until the next store.
    void writeOwedPayload();

    // The manager's invalidation stamp, a date value under storeKey + ".actorInvalidatedAt". Marking
    // leaves the entries in place; lookups then flag the ones this process stored before.
    std::optional<Date> actorInvalidatedAt() const;
    Date markActorCacheInvalidated(Date date);

protected:
    // Called after a snapshot was taken and the entry lock released, before the payload is written.
    virtual void willWritePayload(quint64 /*sequence*/) {}

private:
    using Entries = QHash<QString, PersistentQueryResultCacheEntry>;

    void loadIfNeededLocked();
    std::optional<SearchResults> validSearchResultsLocked(const QString &key, Date now, bool &shouldPersist);
    // The valid entry under `key` as an answer.
    std::optional<PersistentCachedSearchResults> answerLocked(const QString &key, Date now,
                                                              bool &shouldPersist);
    std::optional<PersistentCachedSearchResults> newestResultsLocked(const QString &prefix, Date now,
                                                                     bool &shouldPersist);
    void insertLocked(const QString &key, PersistentQueryResultCacheEntry entry);
    void evictIfNeededLocked();
    // Under the entry lock: the entries and the sequence number of this state, which covers every
    // store so far (no payload is owed any more). Every entry is encoded by then, and the entries are
    // kept within maxEntryBytes and maxPayloadBytes.
    std::pair<Entries, quint64> snapshotLocked();
    void keepWithinSizeLimitsLocked();
    void persistPayload(const Entries &entries, quint64 sequence);
    // The same with writeLock_ held.
    void persistPayloadWriting(const Entries &entries, quint64 sequence);

    const QString storeKey_;
    UserDefaults &defaults_;
    const double ttl_;
    const qsizetype maxEntries_;

    std::mutex lock_;
    Entries cachedEntries_;
    bool hasLoaded_ = false;
    // Entries read from the payload, or stored to be written later, lack their encoded rows until the
    // next write.
    bool hasUnencodedEntries_ = false;
    // A store left the payload to writeOwedPayload().
    bool payloadOwed_ = false;
    // Raised for every change of cachedEntries_, under lock_.
    quint64 sequence_ = 0;
    // The last store generation handed out, and the one current at the last invalidation.
    quint64 storeGeneration_ = 0;
    quint64 invalidatedGeneration_ = 0;

    // Orders payload writes: a snapshot is written only when it is newer than the last one written.
    // Taken before lock_ where both are held.
    std::mutex writeLock_;
    quint64 writtenSequence_ = 0;
};

// The stores by defaults database and key, so that the manager and the panel share one. A store stays
// registered while anyone holds it (the manager holds its own for the life of the process).
class PersistentQueryResultCacheStoreRegistry {
public:
    // The store registered for `storeKey` in `defaults`, or a new one over them; the other arguments
    // only matter when the store is created. A store of another defaults database is never given out.
    static std::shared_ptr<PersistentQueryResultCacheStore>
    store(const QString &storeKey, UserDefaults &defaults,
          double ttl = PersistentQueryResultCacheStore::defaultTTL,
          qsizetype maxEntries = PersistentQueryResultCacheStore::defaultMaxEntries);
};

} // namespace orvex
