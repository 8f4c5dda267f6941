// Times what one run of the command-line tool does to a large defaults file: open it, store a query
// answer, write it in the background and at exit; and an activation's read-merge-write. Each run is a
// child process, so that its peak memory is its own.
//
//   DefaultsFileBench [--megabytes N] [--runs N] [--root DIR]
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvex;

namespace {

constexpr auto noBackgroundWrite = std::chrono::hours(1);

// The settings of a launcher in use, plus the bulk of the file.
PlistValue::Dictionary everyDaySettings() {
    return {{QStringLiteral("launcherThemeID"), PlistValue(QStringLiteral("midnight"))},
            {QStringLiteral("launcherSearchDebounceMilliseconds"), PlistValue(80)},
            {QStringLiteral("launcherPathOpenCounts.recentActivations"), PlistValue(QByteArray(20000, 'r'))}};
}

// Most of the bytes in one data value: an old query-cache payload.
PlistValue::Dictionary payloadShape(qint64 bytes) {
    PlistValue::Dictionary values = everyDaySettings();
    values.insert(QStringLiteral("launcherPathOpenCounts.queryResults"), PlistValue(QByteArray(bytes, 'p')));
    return values;
}

// Most of the bytes in learned counts: many paths, one integer each.
PlistValue::Dictionary countsShape(qint64 bytes) {
    PlistValue::Dictionary counts;
    for (qint64 i = 0; i * 80 < bytes; ++i)
        counts.insert(QStringLiteral("/home/someone/documents/projects/%1/a-rather-long-file-name-%2.pdf")
                          .arg(i % 997)
                          .arg(i),
                      PlistValue(i % 50));
    PlistValue::Dictionary values = everyDaySettings();
    values.insert(QStringLiteral("launcherPathOpenCounts"), PlistValue(counts));
    return values;
}

struct Figures {
    double milliseconds;
    double cpuMilliseconds; // user and system time: less at the mercy of a busy machine than wall time
    long peakKilobytes;
};

// Runs `work` in a child; its wall time as the child measured it, its processor time and its peak
// resident memory.
Figures inChild(const std::function<void()> &work) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {-1, -1, -1};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        QElapsedTimer timer;
        timer.start();
        work();
        const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        (void)!::write(pipeFds[1], &elapsed, sizeof elapsed);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    double elapsed = -1;
    (void)!::read(pipeFds[0], &elapsed, sizeof elapsed);
    ::close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const auto milliseconds = [](const timeval &t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    return {elapsed, milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime), usage.ru_maxrss};
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// What one search of the tool does: open, store an answer, the background write, the write at exit.
void searchRun(const QString &path) {
    UserDefaults defaults(path, noBackgroundWrite);
    defaults.set(QStringLiteral("launcherPathOpenCounts.queryResults.answer"),
                 PlistValue(QByteArray(30000, 'a')));
    defaults.flush();
    defaults.set(QStringLiteral("launcherPathOpenCounts.queryResults.actorInvalidatedAt"),
                 PlistValue(Date(1)));
    defaults.flush();
}

// An activation: open, then the read-merge-write of the counts and the recent list.
void activationRun(const QString &path) {
    UserDefaults defaults(path, noBackgroundWrite);
    defaults.update([&](const UserDefaults::StoredValues &stored) {
        const auto counts = stored(QStringLiteral("launcherPathOpenCounts"));
        PlistValue::Dictionary merged =
            counts ? counts->toDictionary().value_or(PlistValue::Dictionary()) : PlistValue::Dictionary();
        merged.insert(QStringLiteral("/applications/mail.app"), PlistValue(1));
        defaults.set(QStringLiteral("launcherPathOpenCounts"), PlistValue(merged));
    });
    defaults.flush();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    qint64 megabytes = 50;
    int runs = 5;
    QString root = QStringLiteral("/tmp/orvex-bench/defaults");
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--megabytes"))
            megabytes = arguments[i + 1].toLongLong();
        else if (arguments[i] == QLatin1String("--runs"))
            runs = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--root"))
            root = arguments[i + 1];
    }
    const qint64 bytes = megabytes * 1000 * 1000;
    std::printf("%-34s %10s %10s %10s %12s\n", "file", "bytes", "wall ms", "cpu ms", "peak MB");
    const struct {
        const char *name;
        PlistValue::Dictionary values;
    } shapes[] = {{"payload", payloadShape(bytes * 3 / 4)}, {"counts", countsShape(bytes / 2)}};
    for (const auto &shape : shapes) {
        const QByteArray xml = PropertyList::writeXml(PlistValue(shape.values));
        const QByteArray binary = PropertyList::writeBinary(PlistValue(shape.values));
        for (const auto &[form, content] : {std::pair{"xml", xml}, std::pair{"binary", binary}}) {
            for (const auto &[what, run] :
                 {std::pair{"search", &searchRun}, std::pair{"activation", &activationRun}}) {
                std::vector<double> times;
                std::vector<double> cpuTimes;
                long peak = 0;
                for (int i = 0; i < runs; ++i) {
                    const QString path = root + QStringLiteral("/%1-%2/defaults.plist")
                                                    .arg(QLatin1String(shape.name), QLatin1String(form));
                    writeFile(path, content); // each run starts from the file as given
                    const Figures figures = inChild([&] { run(path); });
                    times.push_back(figures.milliseconds);
                    cpuTimes.push_back(figures.cpuMilliseconds);
                    peak = std::max(peak, figures.peakKilobytes);
                }
                const QString label =
                    QStringLiteral("%1 %2, %3")
                        .arg(QLatin1String(shape.name), QLatin1String(form), QLatin1String(what));
                std::printf("%-34s %10lld %10.1f %10.1f %12.1f\n", qPrintable(label),
                            static_cast<long long>(content.size()), median(times), median(cpuTimes),
                            static_cast<double>(peak) / 1024);
            }
        }
    }
    QDir(root).removeRecursively();
    return 0;
}
