// The launcher as a user feels it, driven from outside on a private Xvfb with openbox, on the synthetic
// homes: the hot key to the panel mapped and painted, a keystroke to its instant answer painted, a
// keystroke to the final answer of a cold query painted (beside that query's own search time), a typing
// burst, start-up warm and cold, and resident memory over time. Beside them, in the same run and on the
// same screen: a peer launcher (`rofi -show drun`) from its start to its window mapped, and an empty Qt
// Widgets window as the floor of memory. Keys go in through XTEST; mapping and drawing are seen through
// the benchmark's own X connection (MapNotify, Damage). The launcher's trace (--trace FILE) says which
// list a paint showed and when each of its searches ran; every other time is taken here.
//
//   LauncherBench [--sizes small,large] [--seed N] [--root DIR] [--repetitions N] [--cycles N]
//                 [--sections peers,hotkey,instant,cold,burst,startup,memory,quit] [--launcher PATH]
//                 [--quick]
#include "LauncherInstance.h"
#include "ProgramWindow.h"
#include "ReferenceSearch.h"
#include "Statistics.h"
#include "WindowEventRecorder.h"
#include "fixtures/SyntheticHome.h"
#include "support/ChildProcess.h"
#include "support/DesktopSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <set>

using namespace orvex;
using namespace orvex::bench;
using namespace std::chrono_literals;

namespace {

// The panel's default debounce delay (launcherSearchDebounceMilliseconds is left unset).
constexpr double debounceMs = 50;
// One frame at 60 Hz.
constexpr double frameMs = 16;

// ---- Options ----

struct Options {
    QStringList sizes = {QStringLiteral("small"), QStringLiteral("large")};
    quint64 seed = 42;
    QString root = QStringLiteral("/tmp/orvex-bench");
    int repetitions = 50;
    int cycles = 1000;
    int queries = 200;
    QStringList sections = {QStringLiteral("peers"),  QStringLiteral("hotkey"), QStringLiteral("instant"),
                            QStringLiteral("cold"),   QStringLiteral("burst"),  QStringLiteral("startup"),
                            QStringLiteral("memory"), QStringLiteral("quit")};
    QString launcher;

    bool has(const char *section) const { return sections.contains(QLatin1String(section)); }
};

std::optional<Options> parseOptions(const QStringList &arguments) {
    Options o;
#ifdef ORVEX_LAUNCHER
    o.launcher = QStringLiteral(ORVEX_LAUNCHER);
#endif
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        if (a == QLatin1String("--sizes") && hasValue)
            o.sizes = arguments.at(++i).split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--seed") && hasValue)
            o.seed = arguments.at(++i).toULongLong();
        else if (a == QLatin1String("--root") && hasValue)
            o.root = arguments.at(++i);
        else if (a == QLatin1String("--repetitions") && hasValue)
            o.repetitions = std::max(1, arguments.at(++i).toInt());
        else if (a == QLatin1String("--cycles") && hasValue)
            o.cycles = std::max(1, arguments.at(++i).toInt());
        else if (a == QLatin1String("--sections") && hasValue)
            o.sections = arguments.at(++i).split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--launcher") && hasValue)
            o.launcher = arguments.at(++i);
        else if (a == QLatin1String("--quick")) {
            o.repetitions = 10;
            o.cycles = 100;
            o.queries = 40;
        } else
            return std::nullopt;
    }
    for (const QString &size : o.sizes) {
        if (!test::SyntheticHomeSize::named(size))
            return std::nullopt;
    }
    return o;
}

// ---- Report ----

struct Target {
    QString home;
    QString what;
    QString figure;
    QString peer;
    bool met = false;
};
std::vector<Target> targets;

void addTarget(const QString &home, const QString &what, const QString &figure, bool met,
               const QString &peer = {}) {
    targets.push_back({home, what, figure, peer, met});
}

QString ms(double value) {
    return QStringLiteral("%1 ms").arg(value, 0, 'f', 1);
}

void printHeading(const QString &text) {
    std::printf("\n== %s\n", qPrintable(text));
    std::fflush(stdout);
}

void printStatsRow(const char *what, const Stats &s) {
    std::printf("  %-44s median %8.1f ms   p99 %8.1f ms   min %8.1f   max %8.1f   (n=%d)\n", what, s.median,
                s.p99, s.min, s.max, s.count);
    std::fflush(stdout);
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
    return QStringLiteral("%1, %2 cores, %3, Qt %4")
        .arg(model.isEmpty() ? QStringLiteral("unknown CPU") : model)
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::prettyProductName(), QString::fromLatin1(qVersion()));
}

QString loadLine() {
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(load.readAll()).section(QLatin1Char(' '), 0, 2);
}

// ---- The home and its words ----

std::optional<QString> ensureHome(const Options &options, const QString &sizeName) {
    const test::SyntheticHomeSize size = *test::SyntheticHomeSize::named(sizeName);
    const QString root = QStringLiteral("%1/%2-%3").arg(options.root, sizeName).arg(options.seed);
    if (const auto existing = test::SyntheticHome::existingHome(root, size, options.seed))
        return existing;
    std::printf("generating the %s home (seed %llu) into %s ...\n", qPrintable(sizeName),
                static_cast<unsigned long long>(options.seed), qPrintable(root));
    std::fflush(stdout);
    test::ChildProcess generator;
    generator.process().setProcessChannelMode(QProcess::ForwardedChannels);
    if (!generator.start(QStringLiteral(ORVEX_HOME_GENERATOR),
                         {QStringLiteral("--size"), sizeName, QStringLiteral("--seed"),
                          QString::number(options.seed), root},
                         QProcessEnvironment::systemEnvironment()) ||
        !generator.process().waitForFinished(600000) || generator.exitCode() != 0)
        return std::nullopt;
    return test::SyntheticHome::existingHome(root, size, options.seed);
}

// Words of the home's document names, most frequent first, lowercase letters only, 5 to 12 letters,
// none a prefix of another: typing one never lands on a query another has cached.
QStringList homeWords(const QString &home) {
    std::map<QString, int> counts;
    sqlite3 *db = nullptr;
    const QByteArray path = QFile::encodeName(home + QStringLiteral("/.pdf-indexer/index.db"));
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT filename FROM files", -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
                QString word;
                for (const QChar c : QString::fromUtf8(text ? text : "") + QLatin1Char(' ')) {
                    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                        word += c;
                    else if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                        word += c.toLower();
                    else {
                        if (word.size() >= 5 && word.size() <= 12)
                            ++counts[word];
                        word.clear();
                    }
                }
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    std::vector<std::pair<int, QString>> byCount;
    for (const auto &[word, count] : counts)
        byCount.push_back({-count, word});
    std::sort(byCount.begin(), byCount.end());
    QStringList chosen;
    for (const auto &[negativeCount, word] : byCount) {
        const bool related = std::any_of(chosen.cbegin(), chosen.cend(), [&](const QString &other) {
            return other.startsWith(word) || word.startsWith(other);
        });
        if (!related)
            chosen.append(word);
    }
    return chosen;
}

// Desktop entries for the peer, one per application of the home, so that both launchers list as many.
void writePeerApplications(const QString &home, const QString &applications) {
    QDir().mkpath(applications);
    QDirIterator bundles(home + QStringLiteral("/Applications"), {QStringLiteral("*.app")}, QDir::Dirs);
    int written = 0;
    while (bundles.hasNext()) {
        const QString bundle = bundles.next();
        const QString name = QFileInfo(bundle).completeBaseName();
        QFile entry(applications + QStringLiteral("/bench-%1.desktop").arg(written++));
        if (entry.open(QIODevice::WriteOnly))
            entry.write(
                QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=true\n").arg(name).toUtf8());
    }
}

// ---- Peers ----

struct PeerFigures {
    Stats rofiMapped;
    Stats rofiPainted;
    Stats bareMapped;
    Stats barePainted;
    double bareResidentMb = 0;
    double rofiResidentMb = 0;
};

PeerFigures peersSection(const Options &options, WindowEventRecorder &recorder,
                         const test::DesktopSession &display, const QString &home, const QString &scratch) {
    printHeading(QStringLiteral("Peers: start -> window mapped and painted"));
    PeerFigures figures;

    const QString peerHome = scratch + QStringLiteral("/peer-home");
    QProcessEnvironment environment = display.environment();
    environment.insert(QStringLiteral("HOME"), peerHome);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), peerHome + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), peerHome + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), peerHome + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), peerHome + QStringLiteral("/runtime"));
    QDir().mkpath(peerHome + QStringLiteral("/runtime"));
    QFile::setPermissions(peerHome + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(peerHome + QStringLiteral("/.local/share/applications")).removeRecursively();
    writePeerApplications(home, peerHome + QStringLiteral("/.local/share/applications"));

    constexpr xcb_keysym_t escape = 0xff1b;
    std::vector<double> mapped, painted, residents;
    int failures = 0;
    for (int i = 0; i <= options.repetitions; ++i) {
        recorder.clearEvents();
        test::ChildProcess rofi;
        ProgramStart start{
            QStringLiteral("rofi"), {QStringLiteral("-show"), QStringLiteral("drun")}, environment, {}, {}};
        const auto timing = startAndTimeWindow(recorder, rofi, start, 10s);
        if (timing && i > 0) { // the first start fills rofi's caches
            mapped.push_back(timing->mappedMs);
            painted.push_back(timing->paintedMs);
            recorder.waitUntil([] { return false; }, 200ms);
            residents.push_back(residentMemoryOf(rofi.pid()).residentMb);
        } else if (!timing) {
            ++failures;
        }
        recorder.tap(escape);
        if (!rofi.process().waitForFinished(3000))
            rofi.stop();
        recorder.waitUntil([] { return false; }, 100ms);
    }
    figures.rofiMapped = statsOf(mapped);
    figures.rofiPainted = statsOf(painted);
    figures.rofiResidentMb = statsOf(residents).median;
    printStatsRow("rofi -show drun: start -> mapped", figures.rofiMapped);
    printStatsRow("rofi -show drun: start -> first damage", figures.rofiPainted);
    std::printf("  rofi resident set when shown: %.1f MB (median)%s\n", figures.rofiResidentMb,
                failures ? qPrintable(QStringLiteral("; %1 starts showed no window").arg(failures)) : "");

    mapped.clear();
    painted.clear();
    residents.clear();
    failures = 0;
    QProcessEnvironment bareEnvironment = environment;
    bareEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    for (int i = 0; i <= options.repetitions; ++i) {
        recorder.clearEvents();
        test::ChildProcess bare;
        ProgramStart start{QStringLiteral(ORVEX_BARE_WINDOW), {}, bareEnvironment, {}, {}};
        const auto timing = startAndTimeWindow(recorder, bare, start, 10s);
        if (timing && i > 0) {
            mapped.push_back(timing->mappedMs);
            painted.push_back(timing->paintedMs);
            recorder.waitUntil([] { return false; }, 300ms);
            residents.push_back(residentMemoryOf(bare.pid()).residentMb);
        } else if (!timing) {
            ++failures;
        }
        bare.stop();
    }
    figures.bareMapped = statsOf(mapped);
    figures.barePainted = statsOf(painted);
    figures.bareResidentMb = statsOf(residents).median;
    printStatsRow("bare Qt Widgets window: start -> mapped", figures.bareMapped);
    printStatsRow("bare Qt Widgets window: start -> first damage", figures.barePainted);
    std::printf("  bare Qt Widgets window resident set when shown: %.1f MB (median)%s\n",
                figures.bareResidentMb,
                failures ? qPrintable(QStringLiteral("; %1 starts showed no window").arg(failures)) : "");
    return figures;
}

// ---- The launcher ----

struct HomeRun {
    QString sizeName;
    QString home;
    QStringList words;      // prefix-free words of the home, most frequent first
    qsizetype nextWord = 0; // the next word never typed in this run
    std::optional<PeerFigures> peers;

    QString freshWord(int minimumLength = 5) {
        while (nextWord < words.size()) {
            const QString word = words.at(nextWord++);
            if (word.size() >= minimumLength)
                return word;
        }
        return {};
    }
};

void hotKeySection(const Options &options, HomeRun &run, LauncherInstance &launcher,
                   WindowEventRecorder &recorder) {
    printHeading(QStringLiteral("Hot key -> panel mapped and painted (%1 home)").arg(run.sizeName));
    std::vector<double> mapped, painted;
    int failures = 0;
    for (int i = 0; i <= options.repetitions; ++i) {
        if (!launcher.hidePanel()) {
            ++failures;
            continue;
        }
        launcher.idle(std::chrono::milliseconds(150 + QRandomGenerator::global()->bounded(100)));
        recorder.clearEvents();
        const auto pressed = launcher.pressHotKey();
        const bool shown = recorder.waitUntil(
            [&] {
                const auto map = recorder.first(WindowEventKind::mapped, launcher.panel(), pressed);
                return map && launcher.damageAfter(*map);
            },
            3s);
        if (!shown) {
            ++failures;
            continue;
        }
        const auto map = *recorder.first(WindowEventKind::mapped, launcher.panel(), pressed);
        if (i > 0) { // the first show after start-up warms the paths
            mapped.push_back(milliseconds(map - pressed));
            painted.push_back(milliseconds(*launcher.damageAfter(map) - pressed));
        }
        launcher.idle(100ms);
    }
    const Stats m = statsOf(mapped);
    const Stats p = statsOf(painted);
    printStatsRow("hot key -> panel mapped", m);
    printStatsRow("hot key -> panel painted (first damage)", p);
    if (failures)
        std::printf("  %d presses did not show the panel within 3 s\n", failures);
    QString peer;
    bool fasterThanPeer = true;
    if (run.peers) {
        peer = QStringLiteral("rofi start -> mapped: median %1, p99 %2")
                   .arg(ms(run.peers->rofiMapped.median), ms(run.peers->rofiMapped.p99));
        fasterThanPeer = p.median < run.peers->rofiMapped.median;
    }
    addTarget(run.sizeName, QStringLiteral("hot key -> panel painted: median <= 16 ms, p99 <= 33 ms"),
              QStringLiteral("median %1, p99 %2").arg(ms(p.median), ms(p.p99)),
              failures == 0 && p.count > 0 && p.median <= 16 && p.p99 <= 33);
    if (run.peers)
        addTarget(run.sizeName, QStringLiteral("hot key -> panel painted faster than rofi's start -> mapped"),
                  QStringLiteral("median %1 vs %2").arg(ms(p.median), ms(run.peers->rofiMapped.median)),
                  fasterThanPeer && p.count > 0, peer);
}

// Types `query` a key at a time, each prefix's final list painted before the next key.
bool typeSettled(LauncherInstance &launcher, WindowEventRecorder &recorder, const QString &query) {
    launcher.clearField();
    launcher.idle(100ms);
    for (qsizetype i = 0; i < query.size(); ++i) {
        recorder.clearEvents();
        const auto pressed = launcher.type(query.at(i));
        if (!launcher.waitForFinal(query.left(i + 1), pressed, 15s))
            return false;
    }
    launcher.idle(200ms);
    return true;
}

void instantSection(const Options &options, HomeRun &run, LauncherInstance &launcher,
                    WindowEventRecorder &recorder) {
    printHeading(QStringLiteral("Keystroke -> instant answer painted (%1 home)").arg(run.sizeName));
    const QString word = run.freshWord(6);
    if (!launcher.showPanel() || !typeSettled(launcher, recorder, word)) {
        std::printf("  the panel did not answer \"%s\"\n", qPrintable(word));
        return;
    }
    // BackSpace and the last letter in turn: each query has its answer in the panel's cache.
    std::vector<double> anyDamage, painted, applied;
    int failures = 0;
    int notInstant = 0;
    for (int i = 0; i < 2 * options.repetitions; ++i) {
        const bool erase = i % 2 == 0;
        const QString query = erase ? word.chopped(1) : word;
        launcher.idle(std::chrono::milliseconds(100 + QRandomGenerator::global()->bounded(100)));
        recorder.clearEvents();
        const auto pressed = erase ? recorder.tap(0xff08) : launcher.type(word.back());
        const auto list = launcher.waitForFinal(query, pressed, 3s);
        if (!list) {
            ++failures;
            continue;
        }
        const auto paint = launcher.paintShowing(*list);
        painted.push_back(milliseconds(*launcher.damageAfter(paint->at) - pressed));
        anyDamage.push_back(milliseconds(*launcher.damageAfter(pressed) - pressed));
        applied.push_back(milliseconds(list->at - pressed));
        if (milliseconds(list->at - pressed) >= debounceMs)
            ++notInstant;
        // The debounced search that follows every keystroke answers the same rows; let it land.
        recorder.waitUntil(
            [&] {
                launcher.trace().update();
                const auto last = launcher.trace().lastList(list->at);
                return last && last->number > list->number;
            },
            2s);
    }
    const Stats p = statsOf(painted);
    printStatsRow("key -> list applied (trace)", statsOf(applied));
    printStatsRow("key -> first damage of the panel", statsOf(anyDamage));
    printStatsRow("key -> instant list painted (damage after it)", p);
    if (failures || notInstant)
        std::printf(
            "  %d keys without a painted answer within 3 s; %d answers came only after the debounce\n",
            failures, notInstant);
    addTarget(run.sizeName, QStringLiteral("keystroke -> instant answer painted: median <= 8 ms"),
              QStringLiteral("median %1 (p99 %2)").arg(ms(p.median), ms(p.p99)),
              p.count > 0 && failures == 0 && notInstant == 0 && p.median <= 8);
}

// Where the panel's own time goes between a key and the painted answer, from the trace: the debounce
// timer firing late, the answer's way from the worker to the installed list, and the paint.
struct PanelCostParts {
    std::vector<double> timerLate, handOver, paint;

    void add(MonotonicClock::time_point pressed, const TracedSearch &search,
             MonotonicClock::time_point applied, double paintedMs) {
        timerLate.push_back(milliseconds(search.start - pressed) - debounceMs);
        handOver.push_back(milliseconds(applied - search.end));
        paint.push_back(paintedMs - milliseconds(applied - pressed));
    }
    void print() const {
        printStatsRow("  of which: key -> search started, less debounce", statsOf(timerLate));
        printStatsRow("  of which: search ended -> list applied", statsOf(handOver));
        printStatsRow("  of which: list applied -> painted", statsOf(paint));
    }
};

void coldSection(const Options &options, HomeRun &run, LauncherInstance &launcher,
                 WindowEventRecorder &recorder, ReferenceSearch &reference) {
    printHeading(
        QStringLiteral("Keystroke -> final answer of a cold query painted (%1 home)").arg(run.sizeName));
    std::printf("  %-12s %9s %9s %9s %9s %9s %9s %9s\n", "query", "preview", "applied", "final", "search",
                "core", "debounce", "panel");
    // applied: the final list installed (the launcher's trace); final: the panel's damage after it;
    // search: the launcher's own search for the query (its trace); core: the same search in this process.
    // The index's statements take 1.5 times as long on some runs as on others, on this machine even
    // for SQLite alone, so the panel's cost is taken against the search the launcher itself ran.
    std::vector<double> finals, applieds, searches, cores, panelCosts, previews;
    PanelCostParts parts;
    int failures = 0;
    for (int i = 0; i < options.repetitions; ++i) {
        const QString word = run.freshWord(5);
        if (word.isEmpty())
            break;
        if (!launcher.showPanel() || !typeSettled(launcher, recorder, word.chopped(1))) {
            ++failures;
            continue;
        }
        recorder.clearEvents();
        const auto pressed = launcher.type(word.back());
        const auto list = launcher.waitForFinal(word, pressed, 15s);
        const auto ran = list ? launcher.trace().lastSearch(word, list->at) : std::nullopt;
        if (!list || !ran) {
            ++failures;
            continue;
        }
        const double final = milliseconds(*launcher.damageAfter(launcher.paintShowing(*list)->at) - pressed);
        const double applied = milliseconds(list->at - pressed);
        double preview = -1;
        if (const auto p = launcher.trace().firstList(pressed, true, word)) {
            if (const auto paint = launcher.paintShowing(*p); paint && paint->list < list->number)
                preview = milliseconds(*launcher.damageAfter(paint->at) - pressed);
        }
        launcher.idle(100ms);
        const double search = milliseconds(ran->end - ran->start);
        const double core = reference.coldMilliseconds(word);
        const double panel = final - debounceMs - search;
        finals.push_back(final);
        applieds.push_back(applied);
        searches.push_back(search);
        cores.push_back(core);
        panelCosts.push_back(panel);
        if (preview >= 0)
            previews.push_back(preview);
        parts.add(pressed, *ran, list->at, final);
        std::printf("  %-12s %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f %+9.1f\n", qPrintable(word), preview,
                    applied, final, search, core, debounceMs, panel);
        std::fflush(stdout);
    }
    const Stats f = statsOf(finals);
    const Stats s = statsOf(searches);
    const Stats c = statsOf(panelCosts);
    printStatsRow("key -> preview painted (filtered rows)", statsOf(previews));
    printStatsRow("key -> final list applied (trace)", statsOf(applieds));
    printStatsRow("key -> final answer painted", f);
    printStatsRow("that query's search in the launcher (trace)", s);
    printStatsRow("the same cold search in this process", statsOf(cores));
    printStatsRow("panel's own cost = final - debounce - search", c);
    parts.print();
    if (failures)
        std::printf("  %d queries without a painted final answer\n", failures);
    addTarget(
        run.sizeName,
        QStringLiteral("final answer painted <= its search time + 16 ms (median, after the 50 ms debounce)"),
        QStringLiteral("panel's own cost median %1%2 (final %3, search %4)")
            .arg(c.median >= 0 ? QStringLiteral("+") : QString())
            .arg(ms(c.median), ms(f.median), ms(s.median)),
        c.count > 0 && failures == 0 && c.median <= frameMs);
}

void burstSection(const Options &options, HomeRun &run, LauncherInstance &launcher,
                  WindowEventRecorder &recorder, ReferenceSearch &reference) {
    printHeading(
        QStringLiteral("Typing burst: a real word, one key every 50 ms (%1 home)").arg(run.sizeName));
    // search: the launcher's own search for the whole word (its trace); overlap: how long an earlier,
    // superseded search was still running beside it, the most it can have waited for one; core: the
    // word's cold search in this process. The word's cold time is the launcher's search less the overlap,
    // so the excess holds the panel's cost and any wait for superseded work, but not the index's
    // run-to-run spread on this machine (see the cold section).
    std::printf("  %-12s %7s %7s %7s %7s %9s %9s %9s %9s %9s\n", "word", "lists", "painted", "stale",
                "unknown", "last", "search", "overlap", "core", "excess");
    std::vector<double> excesses, overlaps;
    PanelCostParts parts;
    int stalePaints = 0;
    int unknown = 0;
    int failures = 0;
    for (int i = 0; i < options.repetitions; ++i) {
        const QString word = run.freshWord(6);
        if (word.isEmpty())
            break;
        if (!launcher.showPanel()) {
            ++failures;
            continue;
        }
        launcher.clearField();
        launcher.idle(300ms);
        recorder.clearEvents();
        const auto began = MonotonicClock::now();
        launcher.typeText(word.chopped(1), 50ms);
        launcher.idle(std::chrono::milliseconds(50) -
                      std::chrono::duration_cast<std::chrono::milliseconds>(MonotonicClock::now() - began) %
                          50ms);
        const auto last = launcher.type(word.back());
        const auto final = launcher.waitForFinal(word, last, 15s);
        // Anything painted late would show here.
        launcher.idle(400ms);
        const auto ran = final ? launcher.trace().lastSearch(word, final->at) : std::nullopt;
        if (!final || !ran) {
            ++failures;
            continue;
        }
        double overlap = 0;
        for (const TracedSearch &other : launcher.trace().searches()) {
            if (other.start >= began && other.start < ran->start && other.end > ran->start)
                overlap = std::max(overlap, milliseconds(std::min(other.end, ran->end) - ran->start));
        }
        const double lastPainted =
            milliseconds(*launcher.damageAfter(launcher.paintShowing(*final)->at) - last);

        // Which prefix each painted list answers: a preview answers the text it was filtered for; a final
        // list the longest prefix whose own answer has the same rows.
        std::map<int, TracedList> byNumber;
        for (const TracedList &list : launcher.trace().lists()) {
            if (list.at >= began)
                byNumber[list.number] = list;
        }
        int newest = -1;
        int painted = 0;
        int staleHere = 0;
        int unknownHere = 0;
        for (const TracedPaint &paint : launcher.trace().paints()) {
            const auto it = byNumber.find(paint.list);
            if (it == byNumber.end())
                continue;
            ++painted;
            const TracedList &list = it->second;
            int answers = -1;
            const int typed = int(list.query.size()) - 1;
            if (list.preview || (typed >= 0 && reference.fingerprint(list.query) == list.fingerprint)) {
                answers = typed;
            } else {
                for (int k = int(word.size()) - 1; k >= 0 && answers < 0; --k) {
                    if (reference.fingerprint(word.left(k + 1)) == list.fingerprint)
                        answers = k;
                }
            }
            if (answers < 0) {
                ++unknownHere;
                std::printf(
                    "  (list %d, %s, %d rows for \"%s\", answers no prefix of \"%s\" in this process)\n",
                    list.number, list.preview ? "preview" : "final", list.rows, qPrintable(list.query),
                    qPrintable(word));
                continue;
            }
            if (answers < newest)
                ++staleHere;
            newest = std::max(newest, answers);
        }
        const double search = milliseconds(ran->end - ran->start);
        const double cold = search - overlap;
        const double excess = lastPainted - cold - debounceMs;
        excesses.push_back(excess);
        overlaps.push_back(overlap);
        parts.add(last, *ran, final->at, lastPainted);
        stalePaints += staleHere;
        unknown += unknownHere;
        std::printf("  %-12s %7d %7d %7d %7d %9.1f %9.1f %9.1f %9.1f %+9.1f\n", qPrintable(word),
                    int(byNumber.size()), painted, staleHere, unknownHere, lastPainted, search, overlap,
                    reference.coldMilliseconds(word), excess);
        std::fflush(stdout);
    }
    const Stats e = statsOf(excesses);
    printStatsRow("superseded search still running beside the last", statsOf(overlaps));
    printStatsRow("last key -> last list painted, minus cold search and debounce", e);
    parts.print();
    std::printf("  stale paints: %d; painted lists matching no prefix's answer: %d; bursts without a final "
                "answer: %d\n",
                stalePaints, unknown, failures);
    addTarget(run.sizeName, QStringLiteral("burst: zero stale paints"),
              QStringLiteral("%1 stale paints in %2 bursts (%3 lists unmatched)")
                  .arg(stalePaints)
                  .arg(e.count)
                  .arg(unknown),
              stalePaints == 0 && failures == 0 && e.count > 0);
    addTarget(run.sizeName, QStringLiteral("burst: last list painted within cold time + debounce + 16 ms"),
              QStringLiteral("excess median %1, p99 %2").arg(ms(e.median), ms(e.p99)),
              e.count > 0 && e.p99 <= frameMs);
}

void startupSection(const Options &options, HomeRun &run, LauncherInstance &launcher) {
    printHeading(QStringLiteral("Start-up: process start -> panel mapped (%1 home)").arg(run.sizeName));
    std::vector<double> warmMapped, warmPainted, coldMapped, coldPainted;
    int failures = 0;
    for (int i = 0; i <= options.repetitions; ++i) {
        const auto timing = launcher.start();
        launcher.stop();
        if (!timing) {
            ++failures;
            continue;
        }
        if (i > 0) {
            warmMapped.push_back(timing->mappedMs);
            warmPainted.push_back(timing->paintedMs);
        }
        launcher.idle(200ms);
    }
    for (int i = 0; i < options.repetitions; ++i) {
        QString error;
        if (!launcher.resetState(&error)) {
            std::printf("  %s\n", qPrintable(error));
            return;
        }
        launcher.evictFileCaches();
        const auto timing = launcher.start();
        launcher.stop();
        if (!timing) {
            ++failures;
            continue;
        }
        coldMapped.push_back(timing->mappedMs);
        coldPainted.push_back(timing->paintedMs);
        launcher.idle(200ms);
    }
    const Stats wm = statsOf(warmMapped);
    printStatsRow("warm: start -> panel mapped", wm);
    printStatsRow("warm: start -> panel painted", statsOf(warmPainted));
    printStatsRow("cold: start -> panel mapped", statsOf(coldMapped));
    printStatsRow("cold: start -> panel painted", statsOf(coldPainted));
    if (failures)
        std::printf("  %d starts showed no panel within 30 s\n", failures);
    QString peer;
    if (run.peers)
        peer = QStringLiteral("bare Qt window start -> mapped %1; rofi %2")
                   .arg(ms(run.peers->bareMapped.median), ms(run.peers->rofiMapped.median));
    addTarget(run.sizeName, QStringLiteral("start -> panel mapped <= 300 ms warm"),
              QStringLiteral("median %1, p99 %2 (cold: median %3)")
                  .arg(ms(wm.median), ms(wm.p99), ms(statsOf(coldMapped).median)),
              failures == 0 && wm.count > 0 && wm.median <= 300, peer);
}

// Dead: gone, or a zombie that is no longer anyone's to wait for.
bool isDead(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

// Control+Q while "cc hallo welt" waits on a translation interpreter that never answers (it ignores its
// input and SIGTERM, and sleeps; its runtime check at start-up hangs the same way): time to the process
// gone, and how many of the interpreters it started are still alive a second later.
void quitWithHungInterpreter(const Options &options, HomeRun &run, LauncherInstance &launcher) {
    const QString folder = QFileInfo(launcher.outputFile()).absolutePath();
    const QString started = folder + QStringLiteral("/hung-interpreter-started.txt");
    const QString interpreter = folder + QStringLiteral("/hung-python");
    QFile script(interpreter);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        script.write("#!/bin/sh\ntrap '' TERM\necho $$ >> '" + QFile::encodeName(started) +
                     "'\nexec sleep 600\n") < 0) {
        std::printf("  cannot write %s\n", qPrintable(interpreter));
        return;
    }
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), interpreter);
    launcher.setExtraEnvironment(extra);

    const QString query = QStringLiteral("cc hallo welt");
    std::vector<double> times;
    int failures = 0;
    int left = 0;
    for (int i = 0; i < options.repetitions; ++i) {
        QFile::remove(started);
        QString error;
        if (!launcher.resetState(&error) || !launcher.start()) {
            ++failures;
            continue;
        }
        const auto from = MonotonicClock::now();
        launcher.typeText(query, 20ms);
        // The pending row is painted once the lookups have started; the first request reaches the
        // interpreter right after.
        if (!launcher.waitForFinal(query, from, 10s)) {
            ++failures;
            launcher.stop();
            continue;
        }
        launcher.idle(100ms);
        if (const auto took = launcher.quit(LauncherInstance::QuitBy::controlQ))
            times.push_back(*took);
        else
            ++failures;
        launcher.idle(1s);
        QFile log(started);
        if (log.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : log.readAll().split('\n')) {
                const qint64 pid = line.trimmed().toLongLong();
                if (pid <= 0 || isDead(pid))
                    continue;
                ++left;
                // What the launcher left is ended here, so that the runs do not pile up.
                ::kill(static_cast<pid_t>(pid), SIGKILL);
            }
        }
    }
    launcher.setExtraEnvironment({});
    const Stats stats = statsOf(times);
    printStatsRow("Control+Q, hung interpreter -> ended", stats);
    std::printf("  interpreters left running after the quit: %d\n", left);
    if (failures)
        std::printf("  %d quits failed (no start, no answer, or still running after 10 s)\n", failures);
    addTarget(run.sizeName, QStringLiteral("quit with a hung translation interpreter <= 500 ms, none left"),
              QStringLiteral("median %1, p99 %2; %3 left").arg(ms(stats.median), ms(stats.p99)).arg(left),
              failures == 0 && stats.count > 0 && stats.p99 <= 500 && left == 0);
}

// Quit while the first crawl of the home runs: the panel is up at once, the walks take seconds on the
// large home. Time from Control+Q (or SIGTERM, as at logout) to the process gone. Then the same with a
// translation waiting on an interpreter that never answers.
void quitSection(const Options &options, HomeRun &run, LauncherInstance &launcher) {
    printHeading(QStringLiteral("Quit during the first crawl (%1 home)").arg(run.sizeName));
    using QuitBy = LauncherInstance::QuitBy;
    int failures = 0;
    Stats byKey, bySignal;
    for (const QuitBy by : {QuitBy::controlQ, QuitBy::terminationSignal}) {
        std::vector<double> times;
        for (int i = 0; i < options.repetitions; ++i) {
            QString error;
            if (!launcher.resetState(&error) || !launcher.start()) {
                ++failures;
                continue;
            }
            // The crawl starts with the first search the panel runs; let it get under way.
            launcher.idle(100ms);
            if (const auto took = launcher.quit(by))
                times.push_back(*took);
            else
                ++failures;
        }
        const Stats stats = statsOf(times);
        printStatsRow(by == QuitBy::controlQ ? "Control+Q -> process ended" : "SIGTERM -> process ended",
                      stats);
        (by == QuitBy::controlQ ? byKey : bySignal) = stats;
    }
    if (failures)
        std::printf("  %d quits failed (no start, or still running after 10 s)\n", failures);
    addTarget(run.sizeName, QStringLiteral("quit during the first crawl <= 500 ms"),
              QStringLiteral("Control+Q median %1, p99 %2; SIGTERM median %3, p99 %4")
                  .arg(ms(byKey.median), ms(byKey.p99), ms(bySignal.median), ms(bySignal.p99)),
              failures == 0 && byKey.count > 0 && bySignal.count > 0 && byKey.p99 <= 500 &&
                  bySignal.p99 <= 500);
    quitWithHungInterpreter(options, run, launcher);
}

void printMemoryRow(const char *what, const ResidentMemory &m) {
    std::printf("  %-24s %7.1f MB  (heap and other anonymous %.1f, files %.1f, shared %.1f; peak %.1f)\n",
                what, m.residentMb, m.anonymousMb, m.fileMb, m.sharedMb, m.peakMb);
    std::fflush(stdout);
}

void memorySection(const Options &options, HomeRun &run, LauncherInstance &launcher,
                   WindowEventRecorder &recorder) {
    printHeading(QStringLiteral("Memory: resident set of the running launcher (%1 home)").arg(run.sizeName));
    if (!launcher.start()) {
        std::printf("  the launcher did not start\n");
        return;
    }
    launcher.waitUntilIdle(1s, 60s);
    const ResidentMemory started = launcher.memory();
    printMemoryRow("after start-up (idle)", started);

    int failures = 0;
    QStringList queries;
    for (int i = 0; i < options.queries; ++i) {
        QString word = run.freshWord(5);
        if (word.isEmpty())
            word = run.words.value(i % std::max<qsizetype>(1, run.words.size()));
        queries.append(word);
    }
    launcher.showPanel();
    for (const QString &query : queries) {
        launcher.clearField();
        recorder.clearEvents();
        const auto began = MonotonicClock::now();
        launcher.typeText(query, 20ms);
        if (!launcher.waitForFinal(query, began, 15s))
            ++failures;
    }
    // Read once the launcher has settled: a crawl still under way holds the old lists and the new.
    launcher.waitUntilIdle(1s, 60s);
    const ResidentMemory afterQueries = launcher.memory();
    printMemoryRow(qPrintable(QStringLiteral("after %1 queries").arg(queries.size())), afterQueries);
    if (failures)
        std::printf("  %d queries without a final answer\n", failures);

    // Show, type, hide: a day of use in a few minutes. A handful of short queries, cached after the first
    // round, as people repeat themselves.
    QStringList shortQueries;
    for (int i = 0; i < 20 && i < queries.size(); ++i)
        shortQueries.append(queries.at(i).left(3));
    std::vector<std::pair<int, ResidentMemory>> samples{{0, afterQueries}};
    int cycleFailures = 0;
    const auto loopStart = MonotonicClock::now();
    for (int cycle = 1; cycle <= options.cycles; ++cycle) {
        recorder.clearEvents();
        if (!launcher.hidePanel() || !launcher.showPanel()) {
            ++cycleFailures;
            continue;
        }
        // Showing selects the field's text after 50 ms, so typing replaces the last query.
        launcher.idle(70ms);
        const QString query = shortQueries.at(cycle % shortQueries.size());
        const auto began = MonotonicClock::now();
        launcher.typeText(query, 15ms);
        if (!launcher.waitForFinal(query, began, 10s))
            ++cycleFailures;
        if (cycle == 100 || cycle % std::max(1, options.cycles / 10) == 0 || cycle == options.cycles)
            samples.push_back({cycle, launcher.memory()});
    }
    launcher.hidePanel();
    launcher.waitUntilIdle(1s, 60s);
    const ResidentMemory end = launcher.memory();
    samples.back().second = end;
    std::printf(
        "  %d show/type/hide cycles in %.0f s%s:\n", options.cycles,
        milliseconds(MonotonicClock::now() - loopStart) / 1000,
        cycleFailures ? qPrintable(QStringLiteral(" (%1 cycles without an answer)").arg(cycleFailures)) : "");
    for (const auto &[cycle, memory] : samples)
        printMemoryRow(qPrintable(QStringLiteral("  after cycle %1").arg(cycle, 5)), memory);
    const double growth = end.residentMb - afterQueries.residentMb;
    QString peer;
    if (run.peers)
        peer = QStringLiteral("bare Qt Widgets window %1 MB; rofi %2 MB")
                   .arg(run.peers->bareResidentMb, 0, 'f', 1)
                   .arg(run.peers->rofiResidentMb, 0, 'f', 1);
    if (run.sizeName == QLatin1String("large"))
        addTarget(run.sizeName,
                  QStringLiteral("resident set <= 120 MB after %1 queries (the goal's 200 without --quick)")
                      .arg(queries.size()),
                  QStringLiteral("%1 MB (after start-up %2 MB)")
                      .arg(afterQueries.residentMb, 0, 'f', 1)
                      .arg(started.residentMb, 0, 'f', 1),
                  afterQueries.residentMb <= 120 && failures == 0, peer);
    addTarget(run.sizeName, QStringLiteral("growth over the show/type/hide cycles <= 5 MB"),
              QStringLiteral("%1%2 MB over %3 cycles")
                  .arg(growth >= 0 ? QStringLiteral("+") : QString())
                  .arg(growth, 0, 'f', 1)
                  .arg(options.cycles),
              growth <= 5 && cycleFailures == 0, peer);
    launcher.stop();
}

// A private session bus for the launcher, as a desktop session has one.
class SessionBus {
public:
    bool start(const QString &folder) {
        QDir().mkpath(folder);
        if (!daemon_.start(QStringLiteral("dbus-daemon"),
                           {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1"),
                            QStringLiteral("--address=unix:path=%1/bus").arg(folder)},
                           QProcessEnvironment::systemEnvironment()) ||
            !daemon_.process().waitForReadyRead(5000))
            return false;
        address_ = QString::fromUtf8(daemon_.standardOutput()).trimmed();
        return !address_.isEmpty();
    }
    const QString &address() const { return address_; }

private:
    test::ChildProcess daemon_;
    QString address_;
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const auto parsed = parseOptions(QCoreApplication::arguments());
    if (!parsed) {
        std::fprintf(stderr,
                     "usage: LauncherBench [--sizes small,large] [--seed N] [--root DIR] [--repetitions N]\n"
                     "                     [--cycles N] [--sections peers,hotkey,instant,cold,burst,startup,"
                     "memory,quit]\n"
                     "                     [--launcher PATH] [--quick]\n");
        return 2;
    }
    const Options &options = *parsed;
    const bool needsLauncher = options.sections != QStringList{QStringLiteral("peers")};
    if (needsLauncher && (options.launcher.isEmpty() || !QFileInfo(options.launcher).isExecutable())) {
        std::fprintf(stderr, "no orvex-launcher to drive (--launcher PATH)\n");
        return 1;
    }

    std::printf("machine: %s\n", qPrintable(machineLine()));
    std::printf("load at start: %s\n", qPrintable(loadLine()));
    std::printf("repetitions: %d, cycles: %d, queries: %d\n", options.repetitions, options.cycles,
                options.queries);

    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/orvex-launcher-bench-XXXXXX"));
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no scratch folder\n");
        return 1;
    }
    // openbox reads its settings from a home of the benchmark's own.
    const QString windowManagerHome = scratch.filePath(QStringLiteral("wm"));
    QProcessEnvironment desktopEnvironment = QProcessEnvironment::systemEnvironment();
    desktopEnvironment.insert(QStringLiteral("HOME"), windowManagerHome);
    desktopEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                              windowManagerHome + QStringLiteral("/.config"));
    desktopEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"),
                              windowManagerHome + QStringLiteral("/.cache"));
    const test::DesktopSession display(
        {.screen = {1920, 1080}, .windowManager = true, .baseEnvironment = desktopEnvironment});
    if (!display.isReady()) {
        std::fprintf(stderr, "no private X display (Xvfb with openbox)\n");
        return 1;
    }
    WindowEventRecorder recorder(display.displayName());
    if (!recorder.isReady()) {
        std::fprintf(stderr, "%s\n", qPrintable(recorder.error()));
        return 1;
    }
    SessionBus bus;
    QProcessEnvironment environment = display.environment();
    if (bus.start(scratch.filePath(QStringLiteral("bus"))))
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    std::printf("display %s (Xvfb 1920x1080x24, openbox)\n", display.displayName().constData());

    for (const QString &sizeName : options.sizes) {
        HomeRun run;
        run.sizeName = sizeName;
        const auto home = ensureHome(options, sizeName);
        if (!home) {
            std::fprintf(stderr, "no synthetic %s home\n", qPrintable(sizeName));
            return 1;
        }
        run.home = *home;
        run.words = homeWords(run.home);
        printHeading(QStringLiteral("%1 home: %2 (%3 prefix-free words of its names)")
                         .arg(sizeName, run.home)
                         .arg(run.words.size()));
        if (options.has("peers"))
            run.peers = peersSection(options, recorder, display, run.home, scratch.path());
        if (!needsLauncher)
            continue;

        const QString state = scratch.filePath(QStringLiteral("launcher-") + sizeName);
        QDir().mkpath(state);
        LauncherInstance launcher(options.launcher, run.home, state, environment, recorder);
        QString error;
        if (!launcher.resetState(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::unique_ptr<ReferenceSearch> reference;
        if (options.has("cold") || options.has("burst")) {
            const auto began = MonotonicClock::now();
            reference = std::make_unique<ReferenceSearch>(run.home, state);
            std::printf("reference search core crawled the home in %.0f ms\n",
                        milliseconds(MonotonicClock::now() - began));
        }
        const bool interactive =
            options.has("hotkey") || options.has("instant") || options.has("cold") || options.has("burst");
        if (interactive) {
            const auto timing = launcher.start();
            if (!timing) {
                std::fprintf(stderr, "the launcher showed no panel; its output is in %s\n",
                             qPrintable(launcher.outputFile()));
                return 1;
            }
            std::printf("launcher started (panel 0x%x), waiting for its start-up work to finish\n",
                        launcher.panel());
            launcher.waitUntilIdle(1s, 60s);
            if (options.has("hotkey"))
                hotKeySection(options, run, launcher, recorder);
            if (options.has("instant"))
                instantSection(options, run, launcher, recorder);
            if (options.has("cold"))
                coldSection(options, run, launcher, recorder, *reference);
            if (options.has("burst"))
                burstSection(options, run, launcher, recorder, *reference);
            launcher.stop();
        }
        reference.reset();
        if (options.has("startup"))
            startupSection(options, run, launcher);
        if (options.has("memory"))
            memorySection(options, run, launcher, recorder);
        if (options.has("quit"))
            quitSection(options, run, launcher);
    }

    printHeading(QStringLiteral("Goals"));
    for (const Target &t : targets) {
        std::printf("%-6s [%s] %s: %s\n", t.met ? "met" : "MISSED", qPrintable(t.home), qPrintable(t.what),
                    qPrintable(t.figure));
        if (!t.peer.isEmpty())
            std::printf("         peer: %s\n", qPrintable(t.peer));
    }
    std::printf("load at end: %s\n", qPrintable(loadLine()));
    return 0;
}
