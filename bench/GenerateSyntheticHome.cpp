// Writes a synthetic home for the benchmarks:
//
//   GenerateSyntheticHome [--size small|large] [--seed N] ROOT
//
// ROOT must be absent, empty or hold a home this program made; the home lands in ROOT/home.
#include "fixtures/SyntheticHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

using namespace orvex::test;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QString sizeName = QStringLiteral("large");
    quint64 seed = 42;
    QString root;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--size") && i + 1 < arguments.size())
            sizeName = arguments.at(++i);
        else if (a == QLatin1String("--seed") && i + 1 < arguments.size())
            seed = arguments.at(++i).toULongLong();
        else if (!a.startsWith(QLatin1String("--")) && root.isEmpty())
            root = a;
        else
            root.clear(), i = arguments.size();
    }
    const auto size = SyntheticHomeSize::named(sizeName);
    if (root.isEmpty() || !size) {
        std::fprintf(stderr, "usage: GenerateSyntheticHome [--size small|large] [--seed N] ROOT\n");
        return 2;
    }
    if (SyntheticHome::existingHome(root, *size, seed)) {
        std::printf("%s/home is up to date\n", qPrintable(root));
        return 0;
    }
    QElapsedTimer timer;
    timer.start();
    QString error;
    const auto summary = SyntheticHome::generate(root, *size, seed, &error);
    if (!summary) {
        std::fprintf(stderr, "generation failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s: %d documents, %d folders, %d shortcuts, %d apps, index %.1f MB, %.1f s\n",
                qPrintable(summary->homePath), summary->documents, summary->folders, summary->shortcuts,
                summary->apps, double(summary->databaseBytes) / 1e6, double(timer.elapsed()) / 1000);
    return 0;
}
