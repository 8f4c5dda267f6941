// Test helper: flushes a growing counter into a defaults file as fast as it can and reports each
// completed flush on stdout, so that a test can kill it at an arbitrary moment and inspect the file.
// Usage: orvex_defaults_writer <file> [--filler BYTES] [--keep-going]
// --filler: the size of the value that makes each write long (256 KiB); --keep-going: a flush that fails
// is reported ("failed <counter>") and the next one is tried, instead of ending with status 1.
#include "platform/UserDefaults.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
    if (argc < 2)
        return 2;
    qsizetype fillerBytes = 256 * 1024;
    bool keepGoing = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--filler") == 0 && i + 1 < argc)
            fillerBytes = std::atoll(argv[++i]);
        else if (std::strcmp(argv[i], "--keep-going") == 0)
            keepGoing = true;
        else
            return 2;
    }
    orvex::UserDefaults defaults(QString::fromLocal8Bit(argv[1]));
    // A large value makes each write take long enough to be interrupted part-way.
    const QString filler(fillerBytes, QLatin1Char('x'));
    for (qint64 counter = defaults.integerValue(QStringLiteral("counter")).value_or(0) + 1;; ++counter) {
        defaults.set(QStringLiteral("counter"), counter);
        defaults.set(QStringLiteral("payload"), filler + QString::number(counter));
        defaults.set(QStringLiteral("nested"),
                     orvex::PlistValue::Dictionary{{QStringLiteral("counter"), orvex::PlistValue(counter)}});
        const bool flushed = defaults.flush();
        if (!flushed && !keepGoing)
            return 1;
        std::printf("%s %lld\n", flushed ? "flushed" : "failed", static_cast<long long>(counter));
        std::fflush(stdout);
    }
}
