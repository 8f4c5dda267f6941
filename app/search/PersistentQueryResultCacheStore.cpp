#include "search/PersistentQueryResultCacheStore.h"

#include "platform/UserDefaults.h"
#include "search/LauncherLogic.h"
#include "search/StoredRowNormalization.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

const QString kEntriesKey = QStringLiteral("entries");
const QString kResultsKey = QStringLiteral("results");
const QString kCachedAtKey = QStringLiteral("cachedAt");

QJsonArray recordsFromResults(const SearchResults &results) {
    QJsonArray records;
    for (const SearchResult &row : results)
        records.append(searchResultRecordToJson(row));
    return records;
}

QByteArray compactJson(const QJsonArray &array) {
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// A JSON string literal, escaped by Qt's writer.
QByteArray jsonString(const QString &text) {
    const QByteArray array = compactJson(QJsonArray{text});
    return array.mid(1, array.size() - 2);
}

// What an entry adds to the payload: its key, its rows and the JSON around them.
qsizetype storedBytes(const QString &key, const PersistentQueryResultCacheEntry &entry) {
    return key.size() * 3 + entry.encodedResults.size() + 48;
}

PersistentQueryResultCacheEntry makeEntry(QJsonArray records, Date cachedAt) {
    QByteArray encoded = compactJson(records);
    return {.results = std::move(records), .cachedAt = cachedAt, .encodedResults = std::move(encoded)};
}

} // namespace

QByteArray PersistentQueryResultCachePayload::toJson() const {
    // Assembled from each entry's encoded rows: building one document of every row again costs
    // thirty times as much, and the payload is rewritten on every store.
    QByteArray out = "{\"" + kEntriesKey.toLatin1() + "\":{";
    bool first = true;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const double cachedAt = it->cachedAt.secondsSince2001();
        if (!std::isfinite(cachedAt))
            continue; // not representable in JSON; such an entry would never be served anyway
        if (!first)
            out += ',';
        first = false;
        out += jsonString(it.key());
        out += ":{\"" + kResultsKey.toLatin1() + "\":";
        out += it->encodedResults.isEmpty() ? compactJson(it->results) : it->encodedResults;
        out += ",\"" + kCachedAtKey.toLatin1() + "\":";
        out += QByteArray::number(cachedAt, 'g', QLocale::FloatingPointShortest);
        out += '}';
    }
    out += "}}";
    return out;
}

std::optional<PersistentQueryResultCachePayload>
PersistentQueryResultCachePayload::fromJson(const QByteArray &data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue entriesValue = document.object().value(kEntriesKey);
    if (!entriesValue.isObject())
        return std::nullopt;
    const QJsonObject encodedEntries = entriesValue.toObject();

    PersistentQueryResultCachePayload payload;
    payload.entries.reserve(encodedEntries.size());
    for (auto it = encodedEntries.constBegin(); it != encodedEntries.constEnd(); ++it) {
        if (!it.value().isObject())
            return std::nullopt;
        const QJsonObject entry = it.value().toObject();
        const QJsonValue results = entry.value(kResultsKey);
        const QJsonValue cachedAt = entry.value(kCachedAtKey);
        if (!results.isArray() || !cachedAt.isDouble())
            return std::nullopt;
        const QJsonArray records = results.toArray();
        for (const QJsonValue &record : records) {
            bool malformed = true;
            if (record.isObject())
                searchResultFromRecordJson(record.toObject(), malformed);
            if (malformed)
                return std::nullopt;
        }
        payload.entries.insert(it.key(), {.results = records, .cachedAt = Date(cachedAt.toDouble())});
    }
    return payload;
}

PersistentQueryResultCacheStore::PersistentQueryResultCacheStore(QString storeKey, UserDefaults &defaults,
                                                                 double ttl, qsizetype maxEntries)
    : storeKey_(std::move(storeKey)), defaults_(defaults), ttl_(ttl), maxEntries_(maxEntries) {
    // A cache: when the defaults file would grow past its limit, the payload goes first, so that
    // settings, counts and recent activations are still written.
    defaults_.setDiscardable(storeKey_);
}

QString PersistentQueryResultCacheStore::storedKey(const QString &key) {
    const qsizetype separator = key.lastIndexOf(QLatin1Char('|'));
    if (separator < 0)
        return key;
    const QByteArray digest =
        QCryptographicHash::hash(QStringView(key).mid(separator + 1).toUtf8(), QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    return key.left(separator + 1) + QString::fromLatin1(digest);
}

PersistentQueryResultCacheStore::~PersistentQueryResultCacheStore() {
    writeOwedPayload();
}

void PersistentQueryResultCacheStore::loadIfNeededLocked() {
    if (hasLoaded_)
        return;
    // A bad payload is read once; it stays stored until the next write replaces it.
    hasLoaded_ = true;
    const std::optional<QByteArray> data = defaults_.dataValue(storeKey_);
    if (!data)
        return;
    if (auto payload = PersistentQueryResultCachePayload::fromJson(*data)) {
        cachedEntries_ = std::move(payload->entries);
        hasUnencodedEntries_ = !cachedEntries_.isEmpty();
    }
}

std::optional<SearchResults>
PersistentQueryResultCacheStore::validSearchResultsLocked(const QString &key, Date now, bool &shouldPersist) {
    const auto it = cachedEntries_.find(key);
    if (it == cachedEntries_.end())
        return std::nullopt;

    const double age = now.secondsSince(it->cachedAt);
    // NaN fails both tests; an entry far in the future would otherwise never expire.
    if (!(age <= ttl_ && age >= -futureTolerance)) {
        cachedEntries_.erase(it);
        shouldPersist = true;
        return std::nullopt;
    }

    SearchResults rows;
    rows.reserve(it->results.size());
    for (const QJsonValue &record : std::as_const(it->results)) {
        bool malformed = false;
        if (auto row = searchResultFromRecordJson(record.toObject(), malformed))
            rows.append(normalizedStoredRow(*row));
    }
    rows = deduplicatedSearchResults(rows);

    // Old or foreign records (unknown kinds, missing ids, duplicates) are rewritten once.
    QJsonArray records = recordsFromResults(rows);
    if (records != it->results) {
        const quint64 generation = it->storeGeneration;
        *it = makeEntry(std::move(records), it->cachedAt);
        it->storeGeneration = generation;
        shouldPersist = true;
    }
    return rows;
}

std::optional<PersistentCachedSearchResults>
PersistentQueryResultCacheStore::answerLocked(const QString &key, Date now, bool &shouldPersist) {
    const auto it = cachedEntries_.constFind(key);
    if (it == cachedEntries_.cend())
        return std::nullopt;
    const Date cachedAt = it->cachedAt;
    const quint64 generation = it->storeGeneration;
    std::optional<SearchResults> rows = validSearchResultsLocked(key, now, shouldPersist);
    if (!rows)
        return std::nullopt;
    return PersistentCachedSearchResults{.results = std::move(*rows),
                                         .cachedAt = cachedAt,
                                         .storedBeforeActorInvalidation =
                                             generation != 0 && generation <= invalidatedGeneration_};
}

std::optional<PersistentCachedSearchResults>
PersistentQueryResultCacheStore::newestResultsLocked(const QString &prefix, Date now, bool &shouldPersist) {
    QList<std::pair<QString, Date>> candidates;
    for (auto it = cachedEntries_.cbegin(); it != cachedEntries_.cend(); ++it)
        if (it.key().startsWith(prefix))
            candidates.append({it.key(), it->cachedAt});
    std::sort(candidates.begin(), candidates.end(),
              [](const auto &a, const auto &b) { return a.second > b.second; });
    for (const auto &candidate : std::as_const(candidates)) {
        if (auto answer = answerLocked(candidate.first, now, shouldPersist))
            return answer;
    }
    return std::nullopt;
}

std::optional<PersistentCachedSearchResults>
PersistentQueryResultCacheStore::cachedSearchResults(const QString &key, Date now,
                                                     bool allowSameQueryFallback) {
    std::optional<PersistentCachedSearchResults> answer;
    bool shouldPersist = false;
    std::optional<std::pair<Entries, quint64>> snapshot;
    {
        std::lock_guard guard(lock_);
        loadIfNeededLocked();
        const QString stored = storedKey(key);
        answer = answerLocked(stored, now, shouldPersist);
        // Earlier versions stored the whole key.
        if (!answer && stored != key)
            answer = answerLocked(key, now, shouldPersist);
        const qsizetype separator = key.lastIndexOf(QLatin1Char('|'));
        if (!answer && allowSameQueryFallback && separator >= 0)
            answer = newestResultsLocked(key.left(separator + 1), now, shouldPersist);
        if (shouldPersist)
            snapshot = snapshotLocked();
    }
    if (snapshot) {
        persistPayload(snapshot->first, snapshot->second);
        // See storeResults.
        std::lock_guard guard(lock_);
        snapshot.reset();
    }
    return answer;
}

void PersistentQueryResultCacheStore::storeResults(const SearchResults &results, const QString &key,
                                                   Date now) {
    if (results.isEmpty())
        return;
    // Encoded before locking: only the map update needs the lock.
    PersistentQueryResultCacheEntry entry =
        makeEntry(recordsFromResults(deduplicatedSearchResults(results)), now);
    std::pair<Entries, quint64> snapshot;
    {
        std::lock_guard guard(lock_);
        insertLocked(key, std::move(entry));
        snapshot = snapshotLocked();
    }
    persistPayload(snapshot.first, snapshot.second);
    // The snapshot may share its data with the live entries, and whether the next change must copy
    // that data is decided from a share count read without ordering. Giving the share up under the
    // lock orders the reads above before that change (ThreadSanitizer reported the race).
    std::lock_guard guard(lock_);
    snapshot.first = Entries();
}

bool PersistentQueryResultCacheStore::storeResultsWritingLater(const SearchResults &results,
                                                               const QString &key, Date now) {
    if (results.isEmpty())
        return false;
    // Only the records are made here; the writer encodes them with the payload.
    PersistentQueryResultCacheEntry entry{.results = recordsFromResults(deduplicatedSearchResults(results)),
                                          .cachedAt = now};
    std::lock_guard guard(lock_);
    insertLocked(key, std::move(entry));
    hasUnencodedEntries_ = true;
    return !std::exchange(payloadOwed_, true);
}

void PersistentQueryResultCacheStore::writeOwedPayload() {
    // Held throughout, so that a write under way (this one or another thread's) has ended on return.
    std::lock_guard writing(writeLock_);
    std::pair<Entries, quint64> snapshot;
    {
        std::lock_guard guard(lock_);
        if (!payloadOwed_)
            return;
        snapshot = snapshotLocked();
    }
    willWritePayload(snapshot.second);
    persistPayloadWriting(snapshot.first, snapshot.second);
    // See storeResults.
    std::lock_guard guard(lock_);
    snapshot.first = Entries();
}

void PersistentQueryResultCacheStore::insertLocked(const QString &key,
                                                   PersistentQueryResultCacheEntry entry) {
    loadIfNeededLocked();
    entry.storeGeneration = ++storeGeneration_;
    cachedEntries_.insert(storedKey(key), std::move(entry));
    evictIfNeededLocked();
}

void PersistentQueryResultCacheStore::evictIfNeededLocked() {
    const qsizetype excess = cachedEntries_.size() - maxEntries_;
    if (excess <= 0)
        return;
    QList<std::pair<Date, QString>> byAge;
    byAge.reserve(cachedEntries_.size());
    for (auto it = cachedEntries_.cbegin(); it != cachedEntries_.cend(); ++it)
        byAge.append({it->cachedAt, it.key()});
    std::nth_element(byAge.begin(), byAge.begin() + (excess - 1), byAge.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 0; i < excess; ++i)
        cachedEntries_.remove(byAge[i].second);
}

std::pair<PersistentQueryResultCacheStore::Entries, quint64>
PersistentQueryResultCacheStore::snapshotLocked() {
    // Entries read from the stored payload are encoded once, on the first write.
    if (hasUnencodedEntries_) {
        for (PersistentQueryResultCacheEntry &entry : cachedEntries_)
            if (entry.encodedResults.isEmpty())
                entry.encodedResults = compactJson(entry.results);
        hasUnencodedEntries_ = false;
    }
    keepWithinSizeLimitsLocked();
    payloadOwed_ = false;
    // The copy shares its data until the next change, so taking it under the lock costs nothing.
    return {cachedEntries_, ++sequence_};
}

void PersistentQueryResultCacheStore::keepWithinSizeLimitsLocked() {
    qsizetype total = 0;
    QList<std::pair<Date, QString>> byAge;
    for (auto it = cachedEntries_.begin(); it != cachedEntries_.end();) {
        const qsizetype bytes = storedBytes(it.key(), *it);
        if (bytes > maxEntryBytes) {
            it = cachedEntries_.erase(it);
            continue;
        }
        total += bytes;
        byAge.append({it->cachedAt, it.key()});
        ++it;
    }
    if (total <= maxPayloadBytes)
        return;
    std::sort(byAge.begin(), byAge.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[cachedAt, key] : std::as_const(byAge)) {
        if (total <= maxPayloadBytes)
            break;
        const auto it = cachedEntries_.constFind(key);
        total -= storedBytes(key, *it);
        cachedEntries_.erase(it);
    }
}

void PersistentQueryResultCacheStore::persistPayload(const Entries &entries, quint64 sequence) {
    willWritePayload(sequence);
    std::lock_guard guard(writeLock_);
    persistPayloadWriting(entries, sequence);
}

void PersistentQueryResultCacheStore::persistPayloadWriting(const Entries &entries, quint64 sequence) {
    // The manager and the panel write from their own threads: a snapshot that lost the race to a
    // newer one is dropped instead of overwriting it.
    if (sequence <= writtenSequence_)
        return;
    const QByteArray data = PersistentQueryResultCachePayload{.entries = entries}.toJson();
    if (data.isEmpty())
        return;
    defaults_.set(storeKey_, PlistValue(data));
    writtenSequence_ = sequence;
}

std::optional<Date> PersistentQueryResultCacheStore::actorInvalidatedAt() const {
    const std::optional<Date> stamp = defaults_.dateValue(storeKey_ + QStringLiteral(".actorInvalidatedAt"));
    if (stamp && !std::isfinite(stamp->secondsSince2001()))
        return std::nullopt;
    return stamp;
}

Date PersistentQueryResultCacheStore::markActorCacheInvalidated(Date date) {
    {
        std::lock_guard guard(lock_);
        invalidatedGeneration_ = storeGeneration_;
    }
    defaults_.set(storeKey_ + QStringLiteral(".actorInvalidatedAt"), PlistValue(date));
    return date;
}

std::shared_ptr<PersistentQueryResultCacheStore>
PersistentQueryResultCacheStoreRegistry::store(const QString &storeKey, UserDefaults &defaults, double ttl,
                                               qsizetype maxEntries) {
    struct Registry {
        std::mutex lock;
        QHash<std::pair<const UserDefaults *, QString>, std::weak_ptr<PersistentQueryResultCacheStore>>
            stores;
    };
    static Registry registry;

    std::lock_guard guard(registry.lock);
    std::weak_ptr<PersistentQueryResultCacheStore> &slot = registry.stores[{&defaults, storeKey}];
    if (auto existing = slot.lock())
        return existing;
    auto created = std::make_shared<PersistentQueryResultCacheStore>(storeKey, defaults, ttl, maxEntries);
    slot = created;
    return created;
}

} // namespace orvex
