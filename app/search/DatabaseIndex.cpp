#include "search/Database.h"

#include "platform/ConsoleLog.h"
#include "platform/StringUtils.h"
#include "search/IndexQuery.h"
#include "search/SearchContext.h"

#include <QChar>
#include <QHash>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace orvex {

namespace {

constexpr int indexStatementRowLimit = 250;

// No file name is longer than 255 bytes and no tag is near this long: a longer query can match neither,
// and its LIKE pattern only costs time (SQLite refuses patterns of more than 50 000 bytes outright).
constexpr qsizetype longestNameQuery = 1024;
// Each word of a full-text phrase loads its whole doclist: thousands of pasted words held a search for
// the whole index deadline, and 64 of the commonest words still take about 180 ms on a home of 100 000
// documents. A phrase of more words is a paste, searched by its first `pastedPhraseWords` words, which
// every document holding the whole text holds too (a run of that many words rarely stands anywhere
// else), at a quarter of the cost.
constexpr qsizetype mostFullTextWords = 64;
constexpr qsizetype pastedPhraseWords = 16;

} // namespace

const QByteArray &DatabaseManager::indexLikeStatementText() {
    static const QByteArray text =
        "    SELECT f.id, f.filename, f.directory, f.open_count, NULL as snippet,\n"
        "           (CASE WHEN f.filename LIKE ? THEN 1 ELSE 0 END) as exact_name_match\n"
        "    FROM files f\n"
        "    WHERE f.filename LIKE ? OR f.id IN (SELECT file_id FROM file_tags WHERE tag LIKE ?)\n"
        "    GROUP BY f.id\n"
        "    ORDER BY exact_name_match DESC, (CASE WHEN f.filename LIKE ? THEN f.open_count ELSE 0 END) "
        "DESC, "
        "f.open_count DESC, f.indexed_at DESC\n"
        "    LIMIT " +
        QByteArray::number(indexStatementRowLimit);
    return text;
}

const QByteArray &DatabaseManager::indexFTSStatementText() {
    static const QByteArray text =
        "    SELECT f.id, f.filename, f.directory, f.open_count,\n"
        "           snippet(files_fts, -1, '<mark>', '</mark>', '...', 24) as snippet,\n"
        "           (CASE WHEN f.filename LIKE ? THEN 1 ELSE 0 END) as exact_name_match\n"
        "    FROM files_fts\n"
        "    JOIN files f ON f.id = files_fts.rowid\n"
        "    WHERE files_fts MATCH ?\n"
        "    ORDER BY exact_name_match DESC, files_fts.rank ASC, f.open_count DESC, f.indexed_at DESC\n"
        "    LIMIT " +
        QByteArray::number(indexStatementRowLimit);
    return text;
}

namespace {

Q_LOGGING_CATEGORY(indexLog, "orvex.index", QtInfoMsg)

void printLine(const QString &line) {
    orvex::printLine(indexLog(), line);
}

bool isAlphanumeric(char32_t c) {
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

// SQLite answers "busy" at once, without waiting, where waiting could deadlock two writers; by the
// next try the other one has usually finished.
constexpr std::chrono::milliseconds writeRetryPause{100};

// Runs the open-count update on a connection; SQLite's result code, with its message in `error`.
int updateOpenCount(sqlite3 *db, qint64 id, QString &error) {
    static const QByteArray sql =
        QByteArrayLiteral("UPDATE files SET open_count = open_count + 1 WHERE id = ?");
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &statement, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_int64(statement, 1, id);
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        }
    }
    if (rc != SQLITE_DONE)
        error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(statement);
    return rc;
}

} // namespace

std::shared_ptr<IndexConnectionPool> DatabaseManager::indexConnections(IndexDatabase::Look look) {
    const IndexDatabase::Connections connections = indexDatabase_->connections(look);
    if (connections.failure)
        sayIndexProblem(QStringLiteral("Failed to open database: ") + *connections.failure);
    // Answers cached from the old file would hide the new one's rows.
    if (connections.reopened)
        invalidateQueryResultCache();
    return connections.pool;
}

void DatabaseManager::sayIndexProblem(const QString &line) {
    // A broken, locked or foreign index stays so for many searches: one line until it changes.
    if (indexDatabase_->isNewProblem(line))
        printLine(line);
}

std::optional<QString> DatabaseManager::indexedFTSQuery(const QString &query) {
    const QString trimmed = StringUtils::trimmedWhitespaceAndNewlines(query);
    if (trimmed.isEmpty())
        return std::nullopt;
    // Letters, marks, digits and blanks cannot leave the quotes, so the text needs no escaping.
    const auto codepoints = trimmed.toUcs4();
    const bool plain = std::all_of(codepoints.begin(), codepoints.end(), [](uint c) {
        return isAlphanumeric(char32_t(c)) || StringUtils::isWhitespace(char32_t(c));
    });
    if (!plain)
        return std::nullopt;
    qsizetype words = 0;
    bool inWord = false;
    qsizetype length = 0;      // in UTF-16 code units, up to the current character
    qsizetype headLength = -1; // of the first pastedPhraseWords words, once the text has more
    for (const uint c : codepoints) {
        const bool blank = StringUtils::isWhitespace(char32_t(c));
        if (!blank && !inWord) {
            ++words;
            if (words == pastedPhraseWords + 1)
                headLength = length;
            if (words > mostFullTextWords) {
                const QString head = StringUtils::trimmedWhitespaceAndNewlines(trimmed.left(headLength));
                return QLatin1Char('"') + head + QStringLiteral("\"*");
            }
        }
        inWord = !blank;
        length += QChar::requiresSurrogates(c) ? 2 : 1;
    }
    return QLatin1Char('"') + trimmed + QStringLiteral("\"*");
}

SearchResults DatabaseManager::searchIndexedFiles(const SearchContext &context) {
    // A superseded search's statements would be stopped at once: it answers nothing, prints nothing.
    if (context.isSuperseded())
        return {};
    return indexSearchResults(queryIndex(context), context);
}

IndexQueryOutcome DatabaseManager::queryIndex(const SearchContext &context) {
    const QString &query = context.query();
    const quint64 searchGeneration = context.generation();
    // With no lock of the manager held: the look at the file, an opening and the statements.
    std::shared_ptr<IndexConnectionPool> connections = indexConnections(IndexDatabase::Look::whenDue);
    if (!connections)
        return {};

    IndexQuery::Statements statements{
        .likeSql = indexLikeStatementText(),
        .ftsSql = indexFTSStatementText(),
        .likePattern = query.size() > longestNameQuery
                           ? std::nullopt
                           : std::optional<QString>(QLatin1Char('%') + query.toLower() + QLatin1Char('%')),
        .ftsQuery = indexedFTSQuery(query),
    };
    if (!statements.likePattern && !statements.ftsQuery)
        return {};
    // While a full-text statement is stalled on some document, another one would most likely stall
    // on it too and keep one more thread busy for minutes: the names and tags still answer.
    const bool skipFullText = statements.ftsQuery && connections->hasQueryPastItsDeadline();
    if (skipFullText)
        statements.ftsQuery.reset();
    const auto running = IndexQuery::start(std::move(connections), std::move(statements),
                                           std::chrono::steady_clock::now() + config_.indexSearchDeadline);
    if (!running) {
        IndexQueryOutcome outcome;
        outcome.error = QStringLiteral("earlier index queries are still running");
        return outcome;
    }
    const auto waitFor = [&] {
        IndexQueryOutcome outcome = running->wait();
        outcome.fullTextSkipped = skipFullText;
        if (!outcome.error && !outcome.deadlinePassed && !outcome.stopped && !skipFullText)
            indexDatabase_->answeredCleanly();
        return outcome;
    };
    if (searchGeneration == 0)
        return waitFor();

    // Registered before the generation is compared, so that a newer search either finds it to stop
    // or has already raised the generation this compares.
    {
        std::lock_guard guard(indexQueriesMutex_);
        runningIndexQueries_.emplace_back(searchGeneration, running);
    }
    if (searchGeneration_.load() != searchGeneration || shuttingDown_.load())
        running->stop();
    IndexQueryOutcome outcome = waitFor();
    std::lock_guard guard(indexQueriesMutex_);
    std::erase_if(runningIndexQueries_, [&](const auto &entry) { return entry.second == running; });
    return outcome;
}

void DatabaseManager::stopIndexQueriesBefore(quint64 generation) {
    std::lock_guard guard(indexQueriesMutex_);
    for (const auto &[searchGeneration, query] : runningIndexQueries_)
        if (searchGeneration < generation)
            query->stop();
}

SearchResults DatabaseManager::indexSearchResults(const IndexQueryOutcome &outcome,
                                                  const SearchContext &context) {
    // Stopped statements belong to a superseded search (or a shutdown): no rows, nothing printed.
    if (outcome.stopped || context.isSuperseded())
        return {};
    if (outcome.error) {
        sayIndexProblem(QStringLiteral("Search query failed: ") + *outcome.error);
        return {};
    }
    if (outcome.deadlinePassed)
        sayIndexProblem(
            QStringLiteral("Search query stopped after %1 ms: the index contributes the rows it read by then")
                .arg(config_.indexSearchDeadline.count()));

    // Name matches in their order, then full-text matches; a file found by both keeps its name
    // match's place and takes the full-text snippet.
    struct Entry {
        const IndexRow *row;
        qint64 position = 0;
    };
    QHash<qint64, Entry> entries;
    qint64 counter = 0;
    for (const IndexRow &row : outcome.likeRows)
        entries.insert(row.id, Entry{.row = &row, .position = counter++});
    for (const IndexRow &row : outcome.ftsRows) {
        auto it = entries.find(row.id);
        if (it == entries.end())
            entries.insert(row.id, Entry{.row = &row, .position = counter++});
        else if (!it->row->snippet)
            it->row = &row;
    }

    std::vector<Entry> ordered;
    ordered.reserve(static_cast<size_t>(entries.size()));
    for (const Entry &entry : std::as_const(entries))
        ordered.push_back(entry);
    std::sort(ordered.begin(), ordered.end(),
              [](const Entry &a, const Entry &b) { return a.position < b.position; });

    SearchResults results;
    results.reserve(static_cast<qsizetype>(ordered.size()));
    for (const Entry &entry : ordered) {
        const IndexRow &row = *entry.row;
        const QString fullPath = joinedPath(row.directory, row.filename);
        const SearchResult result({
            .id = row.id,
            .filename = row.filename,
            .directory = row.directory,
            .openCount = row.openCount,
            .snippet = row.snippet,
            .databaseID = row.id,
            .kind =
                row.filename.endsWith(QLatin1String(".app")) ? SearchResultKind::app : SearchResultKind::file,
            .usageKey = cachedShortcutUsageKey(fullPath, row.filename),
        });
        // The learned count under the row's usage key (or path) wins when it is higher.
        const qint64 count = std::max(row.openCount, context.learnedOpenCount(result, row.openCount));
        results.append(count == row.openCount ? result : result.withOpenCount(count));
    }
    return results;
}

bool DatabaseManager::incrementOpenCount(qint64 id) {
    // Looked at now, not every few seconds as for searches: a count written to a replaced (unlinked)
    // file is lost. With no lock of the manager held: searches, activations and the refresh go on
    // meanwhile.
    std::shared_ptr<IndexConnectionPool> connections = indexConnections(IndexDatabase::Look::now);
    if (!connections)
        return true;
    QString error;
    const int attempts = std::max(1, config_.indexWriteAttempts);
    for (int attempt = 1;; ++attempt) {
        sqlite3 *db = connections->acquire(&error);
        if (!db)
            break;
        sqlite3_busy_timeout(db, std::max(0, config_.indexWriteBusyTimeoutMilliseconds));
        const int rc = updateOpenCount(db, id, error);
        connections->release(db);
        if (rc == SQLITE_DONE) {
            invalidateQueryResultCache();
            return true;
        }
        const int primary = rc & 0xff;
        if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) || attempt >= attempts ||
            shuttingDown_.load())
            break;
        std::this_thread::sleep_for(writeRetryPause);
    }
    printLine(QStringLiteral("Failed to increment open count: ") + error);
    return false;
}

} // namespace orvex
