// The search core's figures on a synthetic home, each shown against its floor or peer from the same run:
//   cold search by query length, the index statements and the rest apart, against the same two SQL
//   statements run alone through SQLite on the same file; warm search (a query-cache hit); a typing
//   burst (one search per keystroke, 50 ms apart, each on its own worker as the panel runs them);
//   one full crawl against `find` over the same tree; peak resident memory; very long queries.
//
//   SearchCoreBench [--size small|large] [--seed N] [--root DIR] [--word WORD]
//                   [--sections crawl,burst,warm,cold,deadline,long] [--quick] [--callgrind-out FILE]
//
// The home is generated on first use (by GenerateSyntheticHome, in its own process so that its memory
// does not count) into DIR, by default /tmp/orvex-bench/<size>-<seed>.
//
// Under callgrind (valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=FILE ...
// --callgrind-out FILE) every measured step runs once with collection on and is dumped under its own
// label, and the instruction counts are printed at the end: figures that the other work on a shared
// machine cannot disturb.
#include "fixtures/IndexDatabaseBuilder.h"
#include "fixtures/SyntheticHome.h"
#include "platform/AllocatorPolicy.h"
#include "platform/UserDefaults.h"
#include "search/AppsSource.h"
#include "search/Database.h"
#include "search/FoldersSource.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "search/SearchRankingSettings.h"
#include "search/ShortcutFilesSource.h"
#include "sources/StandardSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define ORVEX_HAVE_CALLGRIND 1
#else
#define ORVEX_HAVE_CALLGRIND 0
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>
#include <vector>

using namespace orvex;
using namespace orvex::test;
using SteadyClock = std::chrono::steady_clock;

namespace {

// ---- Options ----

struct Options {
    QString sizeName = QStringLiteral("large");
    quint64 seed = 42;
    QString root;
    QString word;
    QStringList sections = {QStringLiteral("crawl"), QStringLiteral("cold"),     QStringLiteral("warm"),
                            QStringLiteral("burst"), QStringLiteral("deadline"), QStringLiteral("long")};
    bool quick = false;
    QString callgrindOut;

    bool has(const char *section) const { return sections.contains(QLatin1String(section)); }
};

std::optional<Options> parseOptions(const QStringList &arguments) {
    Options o;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        if (a == QLatin1String("--size") && hasValue)
            o.sizeName = arguments.at(++i);
        else if (a == QLatin1String("--seed") && hasValue)
            o.seed = arguments.at(++i).toULongLong();
        else if (a == QLatin1String("--root") && hasValue)
            o.root = arguments.at(++i);
        else if (a == QLatin1String("--word") && hasValue)
            o.word = arguments.at(++i);
        else if (a == QLatin1String("--sections") && hasValue)
            o.sections = arguments.at(++i).split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--quick"))
            o.quick = true;
        else if (a == QLatin1String("--callgrind-out") && hasValue)
            o.callgrindOut = arguments.at(++i);
        else
            return std::nullopt;
    }
    if (!SyntheticHomeSize::named(o.sizeName))
        return std::nullopt;
    if (o.root.isEmpty())
        o.root = QStringLiteral("/tmp/orvex-bench/%1-%2").arg(o.sizeName).arg(o.seed);
    if (o.word.isEmpty())
        o.word = SyntheticHome::frequentWords().first();
    return o;
}

// ---- Measuring ----

double millisecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

struct Stats {
    double median = 0;
    double p99 = 0;
    double min = 0;
    int count = 0;
};

// Nearest-rank percentiles; with fewer than a hundred samples the p99 is the slowest one.
Stats statsOf(std::vector<double> samples) {
    Stats s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    const auto rank = [&](double p) {
        const size_t r = size_t(std::ceil(p * double(samples.size())));
        return samples[std::min(samples.size() - 1, r == 0 ? 0 : r - 1)];
    };
    s.median = samples.size() % 2 ? samples[samples.size() / 2]
                                  : (samples[samples.size() / 2 - 1] + samples[samples.size() / 2]) / 2;
    s.p99 = rank(0.99);
    s.min = samples.front();
    s.count = int(samples.size());
    return s;
}

bool underCallgrind() {
#if ORVEX_HAVE_CALLGRIND
    return RUNNING_ON_VALGRIND;
#else
    return false;
#endif
}

// Runs `work` once with callgrind collecting and dumps the counts under `label`.
void collectOnce(const QString &label, const std::function<void()> &work) {
#if ORVEX_HAVE_CALLGRIND
    const QByteArray name = label.toUtf8();
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    work();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name.constData());
#else
    Q_UNUSED(label);
    work();
#endif
}

// The instruction count of every dump, by label: "desc: Trigger: Client Request: LABEL" and "totals: N".
std::map<QString, qint64> readCallgrindDumps(const QString &outFile) {
    std::map<QString, qint64> counts;
    const QFileInfo base(outFile);
    const QStringList files =
        QDir(base.absolutePath()).entryList({base.fileName() + QStringLiteral(".*")}, QDir::Files);
    for (const QString &name : files) {
        QFile file(base.absolutePath() + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString label;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.startsWith(QLatin1String("desc: Trigger: Client Request: ")))
                label = line.mid(31);
            else if ((line.startsWith(QLatin1String("totals: ")) ||
                      line.startsWith(QLatin1String("summary: "))) &&
                     !label.isEmpty())
                counts[label] = line.section(QLatin1Char(' '), 1, 1).toLongLong();
        }
    }
    return counts;
}

QString readStatusField(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return QString::fromLatin1(line.mid(qstrlen(field))).trimmed();
    }
    return {};
}

double statusMegabytes(const char *field) {
    return readStatusField(field).section(QLatin1Char(' '), 0, 0).toDouble() / 1024.0;
}

// ---- The floor: the index's two statements alone ----

class FloorConnection {
public:
    explicit FloorConnection(const QString &path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~FloorConnection() { sqlite3_close_v2(db_); }

    struct Rows {
        int like = 0;
        int fts = 0;
    };

    // Prepares, binds and steps both statements, touching every column as the index reader does.
    Rows run(const QString &query) {
        Rows rows;
        const QByteArray pattern = (QLatin1Char('%') + query.toLower() + QLatin1Char('%')).toUtf8();
        rows.like = step(DatabaseManager::indexLikeStatementText(), {pattern, pattern, pattern, pattern});
        if (const auto fts = DatabaseManager::indexedFTSQuery(query))
            rows.fts = step(DatabaseManager::indexFTSStatementText(), {pattern, fts->toUtf8()});
        return rows;
    }

private:
    int step(const QByteArray &sql, const QList<QByteArray> &bindings) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
            return -1;
        for (int i = 0; i < bindings.size(); ++i)
            sqlite3_bind_text(statement, i + 1, bindings.at(i).constData(), int(bindings.at(i).size()),
                              SQLITE_TRANSIENT);
        int count = 0;
        qint64 sink = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            sink += sqlite3_column_int64(statement, 0) + sqlite3_column_int64(statement, 3);
            for (int column : {1, 2, 4}) {
                if (const unsigned char *text = sqlite3_column_text(statement, column))
                    sink += text[0] + sqlite3_column_bytes(statement, column);
            }
            ++count;
        }
        sqlite3_finalize(statement);
        sink_ += sink;
        return count;
    }

    sqlite3 *db_ = nullptr;
    qint64 sink_ = 0;
};

// ---- The manager over the home ----

// The folder names the crawl skips, as the manager has them.
QSet<QString> excludedFolderNames() {
    return {QStringLiteral("library"), QStringLiteral(".git"),         QStringLiteral(".svn"),
            QStringLiteral(".hg"),     QStringLiteral("node_modules"), QStringLiteral(".next"),
            QStringLiteral(".turbo"),  QStringLiteral(".cache"),       QStringLiteral(".pnpm-store"),
            QStringLiteral("dist"),    QStringLiteral("build"),        QStringLiteral("target"),
            QStringLiteral("coverage")};
}

DatabaseManagerConfiguration managerConfiguration(const QString &home, UserDefaults *defaults,
                                                  const QString &scratch) {
    DatabaseManagerConfiguration c;
    c.homePath = home;
    c.databasePath = SyntheticHome::databasePath(home);
    c.appSearchRoots = SyntheticHome::appSearchRoots(home);
    c.folderSearchRoots = {home};
    c.shortcutSearchRoots = SyntheticHome::shortcutSearchRoots(home);
    c.pinnedFolderPaths = {home + QStringLiteral("/Documents")};
    c.backgroundRefreshEnabled = false;
    c.defaults = defaults;
    c.runningUnitTests = false;
    // Every feature as in the launcher; the outside world answers nothing quickly.
    c.recentActivationsEnabled = true;
    c.persistentQueryResultCacheEnabled = true;
    StandardSourcesConfiguration sources;
    sources.systemSettingsExtensionsRoot = scratch + QStringLiteral("/no-extensions");
    sources.osascriptPath = scratch + QStringLiteral("/no-osascript");
    sources.isBrowserRunning = [](const QString &) { return false; };
    sources.notionBaseURL = QUrl(QStringLiteral("http://127.0.0.1:9"));
    c.makeSources = standardSources(sources);
    return c;
}

struct WalkCounts {
    qsizetype apps = 0;
    qsizetype folders = 0;
    qsizetype shortcuts = 0;
};

// One full crawl as the refresh makes it: the three walks one after another on one thread.
WalkCounts crawl(const QString &home, const QSet<QString> &shortcutExtensions) {
    const QSet<QString> excluded = excludedFolderNames();
    WalkCounts counts;
    counts.apps = discoverAppBundles(SyntheticHome::appSearchRoots(home)).size();
    counts.folders = discoverFolders({home}, 5, excluded).size();
    counts.shortcuts =
        discoverShortcuts(SyntheticHome::shortcutSearchRoots(home), 6, excluded, shortcutExtensions).size();
    return counts;
}

double runFind(const QString &home) {
    QProcess find;
    find.setStandardOutputFile(QProcess::nullDevice());
    const auto start = SteadyClock::now();
    find.start(QStringLiteral("find"), {home});
    find.waitForFinished(-1);
    return millisecondsSince(start);
}

// ---- Report ----

struct Target {
    QString what;
    QString figure;
    bool met = false;
};
std::vector<Target> targets;

void addTarget(const QString &what, const QString &figure, bool met) {
    targets.push_back({what, figure, met});
}

void printHeading(const char *text) {
    std::printf("\n== %s\n", text);
}

QString machineLine() {
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                model = QString::fromLatin1(line.mid(line.indexOf(':') + 1)).trimmed();
                break;
            }
        }
    }
    double load = 0;
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    return QStringLiteral("%1, %2 cores, %3, SQLite %4, Qt %5, load %6")
        .arg(model.isEmpty() ? QStringLiteral("unknown CPU") : model)
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::prettyProductName())
        .arg(QString::fromLatin1(sqlite3_libversion()))
        .arg(QString::fromLatin1(qVersion()))
        .arg(load, 0, 'f', 1);
}

// ---- Sections ----

void crawlSection(const Options &options, const QString &home, const QSet<QString> &shortcutExtensions) {
    printHeading("Crawl: the three walks on one thread against `find HOME` (wall time)");
    runFind(home); // both read the same warm directory cache
    WalkCounts counts = crawl(home, shortcutExtensions);
    std::vector<double> walks;
    std::vector<double> finds;
    const int repetitions = options.quick ? 3 : 7;
    for (int i = 0; i < repetitions; ++i) {
        finds.push_back(runFind(home));
        const auto start = SteadyClock::now();
        counts = crawl(home, shortcutExtensions);
        walks.push_back(millisecondsSince(start));
    }
    const Stats w = statsOf(walks);
    const Stats f = statsOf(finds);
    std::printf("walks: %lld apps, %lld folders, %lld shortcuts\n", qint64(counts.apps),
                qint64(counts.folders), qint64(counts.shortcuts));
    std::printf("%-24s %10s %10s %10s\n", "", "median ms", "p99 ms", "min ms");
    std::printf("%-24s %10.1f %10.1f %10.1f\n", "crawl (3 walks)", w.median, w.p99, w.min);
    std::printf("%-24s %10.1f %10.1f %10.1f\n", "find HOME", f.median, f.p99, f.min);
    const double ratio = w.median / f.median;
    std::printf("crawl / find: %.2fx (medians), %.2fx (minimums)\n", ratio, w.min / f.min);
    addTarget(QStringLiteral("crawl within 1.5x of find"), QStringLiteral("%1x").arg(ratio, 0, 'f', 2),
              ratio <= 1.5);
}

// The persistent query cache filled to its 120 entries, as a launcher in use has it; then the cost of
// one more answer written on the search road.
void persistentCacheSection(const Options &options, DatabaseManager &manager, UserDefaults &defaults,
                            bool report = true) {
    const auto store = PersistentQueryResultCacheStoreRegistry::store(
        manager.configuration().usageStoreKey + QStringLiteral(".queryResults"), defaults);
    const SearchResults rows = manager.searchFresh(options.word);
    for (int i = 0; i < int(store->maxEntries()); ++i)
        store->storeResults(rows, QStringLiteral("prefill %1|").arg(i), manager.clock().now());
    if (!report)
        return;
    printHeading("Persistent query cache: one answer stored with the cache full (wall time in ms)");
    std::vector<double> samples;
    for (int i = 0; i < (options.quick ? 20 : 100); ++i) {
        const auto start = SteadyClock::now();
        store->storeResults(rows, QStringLiteral("probe %1|").arg(i), manager.clock().now());
        samples.push_back(millisecondsSince(start));
    }
    const Stats s = statsOf(samples);
    std::printf("storeResults of %lld rows: median %.3f ms, p99 %.3f ms (payload %.1f KB)\n",
                qint64(rows.size()), s.median, s.p99,
                double(defaults.dataValue(store->storeKey()).value_or(QByteArray()).size()) / 1024);
}

// What reading the index on a thread and connection of its own, waited for up to a deadline, costs
// a search: on a ten-file index the statements take microseconds, so the hand-over dominates. The
// floor runs the same statements on the caller's thread and connection.
void deadlineSection(const Options &options, const QString &scratch) {
    printHeading("Index deadline: statements on their own thread, against the caller's (wall time in us)");
    const QString home = scratch + QStringLiteral("/small-index");
    const QString path = home + QStringLiteral("/index.db");
    QDir().mkpath(home);
    {
        test::IndexDatabaseBuilder builder(path);
        QList<test::IndexedFile> files;
        for (int i = 1; i <= 10; ++i)
            files.append({.id = i,
                          .filename = QStringLiteral("note %1.txt").arg(i),
                          .directory = QStringLiteral("/docs"),
                          .indexedAt = i,
                          .content = QStringLiteral("a short note number %1").arg(i)});
        builder.addFiles(files);
    }
    UserDefaults defaults;
    DatabaseManagerConfiguration c = managerConfiguration(home, &defaults, scratch);
    c.databasePath = path;
    DatabaseManager manager(c);
    FloorConnection floor(path);
    std::printf("%-8s %6s | %8s %8s | %8s %8s | %8s\n", "query", "rows", "floor", "p99", "index", "p99",
                "cost");
    for (const QString &query : {QStringLiteral("note"), QStringLiteral("nothing")}) {
        const qsizetype rows = manager.searchIndexedFiles(query).size();
        floor.run(query);
        std::vector<double> floors, indexes;
        for (int i = 0; i < (options.quick ? 300 : 3000); ++i) {
            auto start = SteadyClock::now();
            floor.run(query);
            floors.push_back(millisecondsSince(start) * 1000);
            start = SteadyClock::now();
            manager.searchIndexedFiles(query);
            indexes.push_back(millisecondsSince(start) * 1000);
        }
        const Stats f = statsOf(floors);
        const Stats x = statsOf(indexes);
        std::printf("%-8s %6lld | %8.1f %8.1f | %8.1f %8.1f | %+8.1f\n", qPrintable(query), qint64(rows),
                    f.median, f.p99, x.median, x.p99, x.median - f.median);
    }
    std::printf("index = searchIndexedFiles (its own thread and connection, rows made results);\n"
                "cost = index - floor (medians): thread start, connection hand-over, rows as results\n");
    manager.shutdown();
}

struct ColdFigures {
    Stats total;
    Stats index;
    Stats floor;
};

std::map<int, ColdFigures> coldSection(const Options &options, DatabaseManager &manager,
                                       DatabaseManager &noIndex, FloorConnection &floor) {
    printHeading("Cold search (no query cache; SQLite and OS caches warm), wall time in ms");
    std::printf("%-10s %5s %5s | %8s %8s | %8s %8s | %8s %8s | %7s | %8s %8s\n", "query", "like", "fts",
                "floor", "p99", "index", "p99", "search", "p99", "idx/flr", "no-index", "p99");
    std::map<int, ColdFigures> figures;
    double worstIndexRatio = 0;
    double worstRest = 0;
    for (int length = 1; length <= std::min<int>(8, int(options.word.size())); ++length) {
        const QString query = options.word.left(length);
        const FloorConnection::Rows rows = floor.run(query);
        manager.searchIndexedFiles(query);
        manager.searchFresh(query);
        noIndex.searchFresh(query);
        std::vector<double> totals, indexes, floors, rests;
        const int minimum = options.quick ? 5 : 11;
        const int maximum = options.quick ? 9 : 41;
        const auto began = SteadyClock::now();
        while (int(totals.size()) < minimum ||
               (int(totals.size()) < maximum && millisecondsSince(began) < (options.quick ? 1500 : 5000))) {
            auto start = SteadyClock::now();
            floor.run(query);
            floors.push_back(millisecondsSince(start));
            start = SteadyClock::now();
            manager.searchIndexedFiles(query);
            indexes.push_back(millisecondsSince(start));
            start = SteadyClock::now();
            manager.searchFresh(query);
            totals.push_back(millisecondsSince(start));
            start = SteadyClock::now();
            noIndex.searchFresh(query);
            rests.push_back(millisecondsSince(start));
        }
        ColdFigures f{statsOf(totals), statsOf(indexes), statsOf(floors)};
        const double ratio = f.index.median / f.floor.median;
        const Stats restStats = statsOf(rests);
        const double rest = restStats.median;
        worstIndexRatio = std::max(worstIndexRatio, ratio);
        worstRest = std::max(worstRest, rest);
        std::printf("%-10s %5d %5d | %8.2f %8.2f | %8.2f %8.2f | %8.2f %8.2f | %6.2fx | %8.2f %8.2f\n",
                    qPrintable(query), rows.like, rows.fts, f.floor.median, f.floor.p99, f.index.median,
                    f.index.p99, f.total.median, f.total.p99, ratio, rest, restStats.p99);
        figures[length] = f;
    }
    std::printf(
        "index = searchIndexedFiles; search = the whole search road without caches (searchFresh);\n"
        "rest = search - index (median difference): sources, walked-list filtering, scoring, caching\n");
    addTarget(QStringLiteral("cold index part within 1.2x of the SQL floor (worst length)"),
              QStringLiteral("%1x").arg(worstIndexRatio, 0, 'f', 2), worstIndexRatio <= 1.2);
    addTarget(QStringLiteral("cold non-index part (search without the index) under 5 ms (worst length)"),
              QStringLiteral("%1 ms").arg(worstRest, 0, 'f', 2), worstRest < 5);
    return figures;
}

// A query far longer than anything typed: the field's limit, and a caller's multi-megabyte text. Each is
// timed cold, with the peak resident set it adds (the peak is reset first), and once more superseded by
// a short query 20 ms after it began.
void longQuerySection(DatabaseManager &manager) {
    printHeading("Very long queries (cold; the peak they add; superseded after 20 ms)");
    const QString words = SyntheticHome::frequentWords().join(QLatin1Char(' ')) + QLatin1Char(' ');
    const auto resetPeak = [] {
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
    };
    double worst = 0;
    for (const qsizetype length : {qsizetype(32767), qsizetype(4) * 1024 * 1024}) {
        QString query;
        query.reserve(length);
        while (query.size() < length)
            query += words;
        query.truncate(length);
        manager.invalidateQueryResultCache();
        const double before = statusMegabytes("VmRSS:");
        const bool peakReset = resetPeak();
        const auto start = SteadyClock::now();
        const qsizetype rows = manager.searchFresh(query).size();
        const double took = millisecondsSince(start);
        const double added = statusMegabytes("VmHWM:") - before;

        manager.invalidateQueryResultCache();
        SteadyClock::time_point longEnded;
        std::thread longSearch([&] {
            manager.searchFresh(query);
            longEnded = SteadyClock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto newer = SteadyClock::now();
        manager.searchFresh(QStringLiteral("ab"));
        longSearch.join();
        // Zero when the long search had ended before the newer one began.
        const double supersededAfter =
            std::max(0.0, std::chrono::duration<double, std::milli>(longEnded - newer).count());
        worst = std::max(worst, took);
        std::printf("%8lld characters: %8.1f ms, %lld rows, peak +%.1f MB%s; superseded: ended %.1f ms after "
                    "the newer search began\n",
                    static_cast<long long>(length), took, static_cast<long long>(rows), added,
                    peakReset ? "" : " (peak not reset)", supersededAfter);
    }
    addTarget(QStringLiteral("very long query bounded (32 767 and 4 Mi characters)"),
              QStringLiteral("%1 ms").arg(worst, 0, 'f', 1), worst < 100);
}

void warmSection(const Options &options, DatabaseManager &manager) {
    printHeading("Warm search (query-cache hit), wall time in microseconds");
    double worst = 0;
    for (int length : {1, 4, 8}) {
        const QString query = options.word.left(length);
        manager.search(query);
        std::vector<double> samples;
        for (int i = 0; i < (options.quick ? 300 : 2000); ++i) {
            const auto start = SteadyClock::now();
            manager.search(query);
            samples.push_back(millisecondsSince(start) * 1000);
        }
        const Stats s = statsOf(samples);
        worst = std::max(worst, s.median);
        std::printf("%-10s median %8.1f us  p99 %8.1f us\n", qPrintable(query), s.median, s.p99);
    }
    addTarget(QStringLiteral("warm hit under 1 ms"), QStringLiteral("%1 us").arg(worst, 0, 'f', 1),
              worst < 1000);
}

void burstSection(const Options &options, DatabaseManager &manager) {
    printHeading("Typing burst: one keystroke every 50 ms, each search on its own worker");
    QStringList words = SyntheticHome::frequentWords();
    words.removeAll(options.word);
    words.prepend(options.word);
    if (options.quick)
        words = words.mid(0, 2);
    int worstSupersededFinished = 0;
    double worstExcess = -1e9;
    std::printf("%-10s %9s %9s %9s %11s %11s\n", "word", "last ms", "cold ms", "excess", "superseded",
                "ran to end");
    // last: median over the bursts; superseded and ran to end: the most of any burst.
    for (const QString &word : words) {
        // The word's own cold time, on the same manager.
        std::vector<double> cold;
        for (int i = 0; i < 5; ++i) {
            const auto start = SteadyClock::now();
            manager.searchFresh(word);
            cold.push_back(millisecondsSince(start));
        }
        const double coldMedian = statsOf(cold).median;

        // One burst is one sample of a noisy figure: the median of several is reported.
        std::vector<double> lastLatencies;
        int superseded = 0;
        int finished = 0;
        for (int burst = 0; burst < (options.quick ? 3 : 5); ++burst) {
            manager.invalidateQueryResultCache();
            struct Keystroke {
                SteadyClock::time_point typed;
                SteadyClock::time_point answered;
                qsizetype rows = 0;
            };
            const int count = int(word.size());
            std::vector<Keystroke> keystrokes(static_cast<size_t>(count));
            std::vector<std::thread> workers;
            auto next = SteadyClock::now();
            for (int i = 0; i < count; ++i) {
                std::this_thread::sleep_until(next);
                keystrokes[size_t(i)].typed = SteadyClock::now();
                workers.emplace_back([&manager, &keystrokes, i, query = word.left(i + 1)] {
                    const SearchResults rows = manager.search(query);
                    keystrokes[size_t(i)].answered = SteadyClock::now();
                    keystrokes[size_t(i)].rows = rows.size();
                });
                next += std::chrono::milliseconds(50);
            }
            for (std::thread &worker : workers)
                worker.join();
            const Keystroke &last = keystrokes.back();
            lastLatencies.push_back(
                std::chrono::duration<double, std::milli>(last.answered - last.typed).count());
            int supersededHere = 0;
            int finishedHere = 0;
            for (int i = 0; i + 1 < count; ++i) {
                if (keystrokes[size_t(i)].answered <= keystrokes[size_t(i + 1)].typed)
                    continue; // answered before the next keystroke: not superseded
                ++supersededHere;
                // Every prefix of these words finds rows, so an empty answer is a search that stopped early.
                if (keystrokes[size_t(i)].rows > 0)
                    ++finishedHere;
            }
            superseded = std::max(superseded, supersededHere);
            finished = std::max(finished, finishedHere);
        }
        const double lastLatency = statsOf(lastLatencies).median;
        worstSupersededFinished = std::max(worstSupersededFinished, finished);
        worstExcess = std::max(worstExcess, lastLatency - coldMedian);
        std::printf("%-10s %9.1f %9.1f %+9.1f %11d %11d\n", qPrintable(word), lastLatency, coldMedian,
                    lastLatency - coldMedian, superseded, finished);
    }
    std::printf("last = last keystroke to its answer; cold = that word's own cold search (median of 5)\n");
    addTarget(QStringLiteral("burst: last answer within its cold time + 10 ms (worst word)"),
              QStringLiteral("%1%2 ms")
                  .arg(worstExcess >= 0 ? QStringLiteral("+") : QString())
                  .arg(worstExcess, 0, 'f', 1),
              worstExcess <= 10);
    addTarget(QStringLiteral("burst: at most one superseded search runs to its end (worst word)"),
              QString::number(worstSupersededFinished), worstSupersededFinished <= 1);
}

// Under callgrind: each step once, counted in instructions.
void callgrindSection(const Options &options, DatabaseManager &manager, DatabaseManager &noIndex,
                      FloorConnection &floor) {
    for (int length = 1; length <= std::min<int>(8, int(options.word.size())); ++length) {
        const QString query = options.word.left(length);
        if (options.has("cold")) {
            floor.run(query);
            manager.searchIndexedFiles(query);
            manager.searchFresh(query);
            collectOnce(QStringLiteral("floor %1").arg(length), [&] { floor.run(query); });
            collectOnce(QStringLiteral("index %1").arg(length), [&] { manager.searchIndexedFiles(query); });
            collectOnce(QStringLiteral("search %1").arg(length), [&] { manager.searchFresh(query); });
        }
        noIndex.searchFresh(query);
        collectOnce(QStringLiteral("noindex %1").arg(length), [&] { noIndex.searchFresh(query); });
        if (options.has("warm")) {
            manager.search(query);
            collectOnce(QStringLiteral("warm %1").arg(length), [&] {
                for (int i = 0; i < 100; ++i)
                    manager.search(query);
            });
        }
    }
}

void printCallgrindReport(const Options &options) {
    const std::map<QString, qint64> counts = readCallgrindDumps(options.callgrindOut);
    printHeading("Cold search in instructions (callgrind Ir, millions)");
    std::printf("%-10s %10s %10s %10s %8s %10s %10s %10s\n", "query", "floor", "index", "search", "idx/flr",
                "rest", "no-index", "warm");
    double worstRatio = 0;
    for (int length = 1; length <= std::min<int>(8, int(options.word.size())); ++length) {
        const auto get = [&](const char *what) {
            const auto it = counts.find(QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(length));
            return it == counts.end() ? 0.0 : double(it->second) / 1e6;
        };
        const double f = get("floor"), i = get("index"), s = get("search"), n = get("noindex"),
                     w = get("warm") / 100;
        worstRatio = std::max(worstRatio, f > 0 ? i / f : 0);
        std::printf("%-10s %10.2f %10.2f %10.2f %7.2fx %10.2f %10.2f %10.3f\n",
                    qPrintable(options.word.left(length)), f, i, s, f > 0 ? i / f : 0, s - i, n, w);
    }
    std::printf(
        "rest = search - index; no-index = the search on a manager without the index; warm = one hit\n");
    addTarget(QStringLiteral("cold index part within 1.2x of the SQL floor, instructions (worst length)"),
              QStringLiteral("%1x").arg(worstRatio, 0, 'f', 2), worstRatio <= 1.2);
}

bool ensureHome(const Options &options, QString &home) {
    const SyntheticHomeSize size = *SyntheticHomeSize::named(options.sizeName);
    if (const auto existing = SyntheticHome::existingHome(options.root, size, options.seed)) {
        home = *existing;
        return true;
    }
    std::printf("generating the %s home (seed %llu) into %s ...\n", qPrintable(options.sizeName),
                static_cast<unsigned long long>(options.seed), qPrintable(options.root));
    std::fflush(stdout);
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedChannels);
    generator.start(QCoreApplication::applicationDirPath() + QStringLiteral("/GenerateSyntheticHome"),
                    {QStringLiteral("--size"), options.sizeName, QStringLiteral("--seed"),
                     QString::number(options.seed), options.root});
    if (!generator.waitForFinished(-1) || generator.exitCode() != 0)
        return false;
    const auto existing = SyntheticHome::existingHome(options.root, size, options.seed);
    if (!existing)
        return false;
    home = *existing;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    // As the launcher runs the core.
    giveLargeBlocksTheirOwnMappings();
    QCoreApplication app(argc, argv);
    const auto parsed = parseOptions(QCoreApplication::arguments());
    if (!parsed) {
        std::fprintf(stderr,
                     "usage: SearchCoreBench [--size small|large] [--seed N] [--root DIR] [--word WORD]\n"
                     "                       [--sections crawl,burst,warm,cold,deadline,long] [--quick]\n"
                     "                       [--callgrind-out FILE]\n");
        return 2;
    }
    const Options &options = *parsed;
    QString home;
    if (!ensureHome(options, home)) {
        std::fprintf(stderr, "no synthetic home at %s\n", qPrintable(options.root));
        return 1;
    }
    std::printf("machine: %s\n", qPrintable(machineLine()));
    std::printf("home: %s (%s, seed %llu), query word \"%s\"\n", qPrintable(home),
                qPrintable(options.sizeName), static_cast<unsigned long long>(options.seed),
                qPrintable(options.word));

    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvex-bench-XXXXXX"));
    // The launcher's defaults live in a file, written in the background within a second.
    UserDefaults defaults(scratch.filePath(QStringLiteral("defaults.plist")));
    DatabaseManager manager(managerConfiguration(home, &defaults, scratch.path()));

    const bool callgrind = underCallgrind() && !options.callgrindOut.isEmpty();
    if (options.has("crawl") && !callgrind)
        crawlSection(options, home, manager.shortcutFileExtensions());

    const auto installStart = SteadyClock::now();
    manager.refreshSourceCachesNow();
    std::printf("\nsource caches crawled and installed (refreshSourceCachesNow): %.1f ms\n",
                millisecondsSince(installStart));
    const double peakAfterCrawl = statusMegabytes("VmHWM:");
    if (options.has("persistent") || options.has("cold"))
        persistentCacheSection(options, manager, defaults);
    if (options.has("deadline") && !callgrind)
        deadlineSection(options, scratch.path());
    if (options.has("burst") && !callgrind)
        burstSection(options, manager);
    if (options.has("warm") && !callgrind)
        warmSection(options, manager);

    // Memory is read before the second manager below exists: it is the launcher's, one manager's.
    printHeading("Memory (resident set of this process, one manager)");
    const double peak = statusMegabytes("VmHWM:");
    std::printf("peak after crawl: %.1f MB; peak after the burst: %.1f MB; now: %.1f MB\n", peakAfterCrawl,
                peak, statusMegabytes("VmRSS:"));
    addTarget(QStringLiteral("peak memory under 80 MB"), QStringLiteral("%1 MB").arg(peak, 0, 'f', 1),
              peak < 80);

    if (options.has("cold") || callgrind) {
        // The same home without the index: the search road's own share of a cold search, measured directly.
        UserDefaults noIndexDefaults(scratch.filePath(QStringLiteral("defaults-no-index.plist")));
        DatabaseManagerConfiguration noIndexConfiguration =
            managerConfiguration(home, &noIndexDefaults, scratch.path());
        noIndexConfiguration.databasePath.clear();
        DatabaseManager noIndex(noIndexConfiguration);
        noIndex.refreshSourceCachesNow();
        persistentCacheSection(options, noIndex, noIndexDefaults, false);
        FloorConnection floor(SyntheticHome::databasePath(home));
        if (callgrind) {
            callgrindSection(options, manager, noIndex, floor);
            printCallgrindReport(options);
        } else {
            coldSection(options, manager, noIndex, floor);
        }
        noIndex.shutdown();
    }

    if (options.has("long") && !callgrind)
        longQuerySection(manager);

    printHeading("Targets");
    for (const Target &t : targets)
        std::printf("%-6s %-72s %s\n", t.met ? "met" : "MISSED", qPrintable(t.what), qPrintable(t.figure));
    manager.shutdown();
    return 0;
}
