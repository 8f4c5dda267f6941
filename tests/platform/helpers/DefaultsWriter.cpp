// Test helper: flushes a growing counter into a defaults file as fast as it can and reports each
// completed flush on stdout, so that a test can kill it at an arbitrary moment and inspect the file.
// Usage: orvex_defaults_writer <file>
#include "platform/UserDefaults.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2)
        return 2;
    orvex::UserDefaults defaults(QString::fromLocal8Bit(argv[1]));
    // A large value makes each write take long enough to be interrupted part-way.
    const QString filler(256 * 1024, QLatin1Char('x'));
    for (qint64 counter = defaults.integerValue(QStringLiteral("counter")).value_or(0) + 1;; ++counter) {
        defaults.set(QStringLiteral("counter"), counter);
        defaults.set(QStringLiteral("payload"), filler + QString::number(counter));
        defaults.set(QStringLiteral("nested"),
                     orvex::PlistValue::Dictionary{{QStringLiteral("counter"), orvex::PlistValue(counter)}});
        if (!defaults.flush())
            return 1;
        std::printf("flushed %lld\n", static_cast<long long>(counter));
        std::fflush(stdout);
    }
}
