#include "search/Database.h"

#include "platform/StringUtils.h"

#include <QChar>
#include <QFile>
#include <QHash>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <vector>

namespace orvex {

namespace {

constexpr int indexStatementRowLimit = 250;

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

// Diagnostics are single lines on standard output.
void printLine(const QString &line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

QString errorText(sqlite3 *db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// One prepared statement, finalised when it goes out of scope.
class Statement {
public:
    Statement(sqlite3 *db, const QByteArray &sql) {
        sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isPrepared() const { return statement_ != nullptr; }
    sqlite3_stmt *get() const { return statement_; }

    bool bind(int index, const QString &text) {
        const QByteArray utf8 = text.toUtf8();
        return sqlite3_bind_text64(statement_, index, utf8.constData(),
                                   static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT,
                                   SQLITE_UTF8) == SQLITE_OK;
    }
    bool bind(int index, qint64 value) { return sqlite3_bind_int64(statement_, index, value) == SQLITE_OK; }

    // Steps every row through `onRow`; false when stepping reports an error.
    bool forEachRow(const std::function<void(sqlite3_stmt *)> &onRow) {
        for (;;) {
            const int rc = sqlite3_step(statement_);
            if (rc == SQLITE_DONE)
                return true;
            if (rc != SQLITE_ROW)
                return false;
            onRow(statement_);
        }
    }

private:
    sqlite3_stmt *statement_ = nullptr;
};

// Columns are read as the storage type they must have; anything else counts as absent.
qint64 integerColumn(sqlite3_stmt *statement, int column) {
    return sqlite3_column_type(statement, column) == SQLITE_INTEGER ? sqlite3_column_int64(statement, column)
                                                                    : 0;
}

// An open count at the largest integer becomes a REAL after the indexer's "open_count + 1": it is
// still the largest count, not an unreadable one.
qint64 countColumn(sqlite3_stmt *statement, int column) {
    if (sqlite3_column_type(statement, column) != SQLITE_FLOAT)
        return integerColumn(statement, column);
    const double value = sqlite3_column_double(statement, column);
    if (!(value > 0)) // NaN too
        return 0;
    if (value >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(value);
}

std::optional<QString> textColumn(sqlite3_stmt *statement, int column) {
    if (sqlite3_column_type(statement, column) != SQLITE_TEXT)
        return std::nullopt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

// While it lives, the progress handler may interrupt the statements of the running search.
class InterruptibleStatements {
public:
    InterruptibleStatements(quint64 &interruptible, quint64 running) : interruptible_(interruptible) {
        interruptible_ = running;
    }
    ~InterruptibleStatements() { interruptible_ = 0; }
    InterruptibleStatements(const InterruptibleStatements &) = delete;
    InterruptibleStatements &operator=(const InterruptibleStatements &) = delete;

private:
    quint64 &interruptible_;
};

struct IndexRow {
    qint64 id = 0;
    QString filename;
    QString directory;
    qint64 openCount = 0;
    std::optional<QString> snippet;
};

IndexRow readIndexRow(sqlite3_stmt *statement) {
    return IndexRow{.id = integerColumn(statement, 0),
                    .filename = textColumn(statement, 1).value_or(QString()),
                    .directory = textColumn(statement, 2).value_or(QString()),
                    .openCount = countColumn(statement, 3),
                    .snippet = textColumn(statement, 4)};
}

bool isAlphanumeric(char32_t c) {
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

} // namespace

void DatabaseManager::openIndexDatabase() {
    const QString &path = config_.databasePath;
    if (path.isEmpty())
        return;
    const QByteArray nativePath = QFile::encodeName(path);
    // The indexer's file only: a FIFO or a device here would block the first query forever.
    struct stat info {};
    if (::stat(nativePath.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        printLine(QStringLiteral("Failed to open database: ") + path +
                  QStringLiteral(" is not a regular file"));
        return;
    }
    // Never SQLITE_OPEN_CREATE: the file belongs to the indexer, and a missing one stays missing.
    const int flags = config_.readonly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(nativePath.constData(), &db, flags, nullptr) != SQLITE_OK) {
        printLine(QStringLiteral("Failed to open database: ") +
                  (db ? errorText(db) : QStringLiteral("out of memory")));
        sqlite3_close(db);
        return;
    }
    if (::stat(nativePath.constData(), &info) == 0)
        indexFileIdentity_ = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
    indexFileIdentityCheckedAt_ = clock_->monotonicNow();
    sqlite3_busy_timeout(db, std::max(0, config_.indexDatabaseBusyTimeoutMilliseconds));
    // Asked every thousand virtual-machine steps whether a newer search has begun.
    sqlite3_progress_handler(db, 1000, &DatabaseManager::indexProgressHandler, this);
    db_ = db;
}

int DatabaseManager::indexProgressHandler(void *manager) {
    // Runs on the thread that steps the statement, which holds the manager's lock.
    const auto *self = static_cast<const DatabaseManager *>(manager);
    const quint64 generation = self->interruptibleSearchGeneration_;
    return generation != 0 && self->searchGeneration_.load(std::memory_order_relaxed) != generation ? 1 : 0;
}

void DatabaseManager::reopenIndexDatabaseIfReplaced() {
    // The indexer may rebuild its database and rename the new file over the old one; the open
    // connection would otherwise keep reading the unlinked old file until the launcher restarts.
    // One stat every few seconds keeps this off the keystroke's cost.
    const auto now = clock_->monotonicNow();
    if (!db_ || (indexFileIdentityCheckedAt_ && now - *indexFileIdentityCheckedAt_ < std::chrono::seconds(3)))
        return;
    indexFileIdentityCheckedAt_ = now;
    struct stat info {};
    if (::stat(QFile::encodeName(config_.databasePath).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return; // removed or not a file: the old connection still answers what it knew
    const std::pair<quint64, quint64> identity{static_cast<quint64>(info.st_dev),
                                               static_cast<quint64>(info.st_ino)};
    if (identity == indexFileIdentity_)
        return;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    openIndexDatabase();
    // Answers cached from the old file would hide the new one's rows.
    invalidateQueryResultCache();
}

void DatabaseManager::closeIndexDatabase() {
    auto guard = lock();
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
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
    return QLatin1Char('"') + trimmed + QStringLiteral("\"*");
}

SearchResults DatabaseManager::searchIndexedFiles(const QString &query) {
    auto guard = lock();
    reopenIndexDatabaseIfReplaced();
    if (!db_)
        return {};

    const QString likePattern = QLatin1Char('%') + query.toLower() + QLatin1Char('%');
    const std::optional<QString> ftsQuery = indexedFTSQuery(query);

    struct Entry {
        IndexRow row;
        qint64 position = 0;
    };
    QHash<qint64, Entry> entries;
    qint64 counter = 0;

    // A superseded search's statements are interrupted; it answers nothing and prints nothing.
    auto fail = [this] {
        if (!isRunningSearchSuperseded())
            printLine(QStringLiteral("Search query failed: ") + errorText(db_));
        return SearchResults();
    };

    const InterruptibleStatements interruptible(interruptibleSearchGeneration_, runningSearchGeneration_);
    {
        Statement like(db_, indexLikeStatementText());
        if (!like.isPrepared())
            return fail();
        for (int index = 1; index <= 4; ++index)
            like.bind(index, likePattern);
        const bool stepped = like.forEachRow([&](sqlite3_stmt *statement) {
            IndexRow row = readIndexRow(statement);
            const qint64 key = row.id;
            entries.insert(key, Entry{.row = std::move(row), .position = counter++});
        });
        if (!stepped)
            return fail();
    }

    if (ftsQuery) {
        Statement fts(db_, indexFTSStatementText());
        if (!fts.isPrepared())
            return fail();
        fts.bind(1, likePattern);
        fts.bind(2, *ftsQuery);
        const bool stepped = fts.forEachRow([&](sqlite3_stmt *statement) {
            IndexRow row = readIndexRow(statement);
            auto it = entries.find(row.id);
            if (it == entries.end()) {
                const qint64 key = row.id;
                entries.insert(key, Entry{.row = std::move(row), .position = counter++});
            } else if (!it->row.snippet) {
                // Found by name first: keep the name match's place, take the full-text snippet.
                it->row = std::move(row);
            }
        });
        if (!stepped)
            return fail();
    }

    std::vector<Entry> ordered;
    ordered.reserve(static_cast<size_t>(entries.size()));
    for (auto &entry : entries)
        ordered.push_back(std::move(entry));
    std::sort(ordered.begin(), ordered.end(),
              [](const Entry &a, const Entry &b) { return a.position < b.position; });

    SearchResults results;
    results.reserve(static_cast<qsizetype>(ordered.size()));
    for (const Entry &entry : ordered) {
        const IndexRow &row = entry.row;
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
        const qint64 count = std::max(row.openCount, learnedOpenCount(result, row.openCount));
        results.append(count == row.openCount ? result : result.withOpenCount(count));
    }
    return results;
}

void DatabaseManager::incrementOpenCount(qint64 id) {
    auto guard = lock();
    // Checked now, not every few seconds as for searches: a count written to a replaced (unlinked) file
    // is lost.
    indexFileIdentityCheckedAt_.reset();
    reopenIndexDatabaseIfReplaced();
    if (!db_)
        return;
    Statement update(db_, QByteArrayLiteral("UPDATE files SET open_count = open_count + 1 WHERE id = ?"));
    if (!update.isPrepared() || !update.bind(1, id) || !update.forEachRow([](sqlite3_stmt *) {})) {
        printLine(QStringLiteral("Failed to increment open count: ") + errorText(db_));
        return;
    }
    invalidateQueryResultCache();
}

} // namespace orvex
