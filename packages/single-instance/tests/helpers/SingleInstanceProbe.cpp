// A program that the single-instance tests start as real processes. It starts as the design's
// launcher does (decision first, application object after) and reports on standard output:
//   "ready <pid>"            it runs as the instance, its handler installed
//   "activation <requests>"  a later launch woke it (the requests as a JSON array)
//   "already running"        another instance took this launch
// A failed start writes one line to standard error and exits 1; a launch that reached no instance
// writes "unreachable" to standard error and exits 3.
//
//   single_instance_probe [--request ARGUMENT]...
// Each --request adds an argument to this launch's request, so the running instance can tell who
// woke it. The lock lives under $XDG_DATA_HOME; "allowMultipleInstances" is read from the standard
// defaults file.
#include "single-instance/DuplicateLaunchRequestStore.h"
#include "single-instance/SingleInstanceController.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace orvex;

int main(int argc, char **argv) {
    DuplicateLaunchRequest request;
    request.createdAt = QDateTime::currentDateTimeUtc();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--request") == 0)
            request.arguments.append(QString::fromLocal8Bit(argv[i + 1]));
    }

    const SingleInstanceConfiguration configuration(
        QStringLiteral("io.orvex.single-instance-probe"),
        SingleInstancePolicy::userDefaults(UserDefaults::standard(),
                                           QStringLiteral("allowMultipleInstances")),
        SingleInstanceLockLocation::applicationSupport());
    SingleInstanceStartupResult result = SingleInstanceController::start(configuration, request);
    switch (result.kind) {
    case SingleInstanceStartupResult::Kind::alreadyRunning:
        std::printf("already running\n");
        return 0;
    case SingleInstanceStartupResult::Kind::unreachable:
        std::fprintf(stderr, "unreachable\n");
        return 3;
    case SingleInstanceStartupResult::Kind::failed:
        std::fprintf(stderr, "failed: %s\n", qPrintable(describe(*result.error)));
        return 1;
    case SingleInstanceStartupResult::Kind::run:
        break;
    }

    QCoreApplication app(argc, argv);
    result.controller->setDuplicateLaunchHandler([](const QList<DuplicateLaunchRequest> &requests) {
        QByteArray line = "activation [";
        for (qsizetype i = 0; i < requests.size(); ++i)
            line += (i ? "," : "") + requests.at(i).toJson();
        line += "]\n";
        std::fputs(line.constData(), stdout);
        std::fflush(stdout);
    });
    std::printf("ready %lld\n", static_cast<long long>(::getpid()));
    std::fflush(stdout);
    return app.exec();
}
