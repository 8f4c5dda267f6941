// Test helper: a launcher-like process that records activations in a defaults file, one command per
// line on stdin, so that a test can interleave it with other processes sharing that file.
//   count NAME     -> "count N": the learned open count of the app NAME.app
//   recent         -> "recent A,B,...": the file names of the remembered activations, newest first
//   activate NAME  -> "activated": records an activation of NAME.app
//   quit           -> "bye", then the manager and the defaults are shut down (pending writes flushed)
// Diagnostics of the search core may appear on stdout too; replies are the lines with these prefixes.
// Usage: orvex_usage_recorder <defaults file> <home folder>
#include "platform/UserDefaults.h"
#include "search/Database.h"
#include "search/SearchRankingSettings.h"
#include "sources/StandardSources.h"

#include <QString>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

orvex::SearchResult appRow(const QString &name) {
    return orvex::SearchResult({.id = -1,
                                .filename = name + QStringLiteral(".app"),
                                .directory = QStringLiteral("/Applications"),
                                .kind = orvex::SearchResultKind::app});
}

void reply(const QString &line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    auto defaults = std::make_unique<orvex::UserDefaults>(QString::fromLocal8Bit(argv[1]));
    const QString home = QString::fromLocal8Bit(argv[2]);
    orvex::DatabaseManagerConfiguration configuration;
    configuration.databasePath = home + QStringLiteral("/no-index.db");
    configuration.homePath = home;
    configuration.backgroundRefreshEnabled = false;
    configuration.defaults = defaults.get();
    configuration.runningUnitTests = false;
    configuration.recentActivationsEnabled = true;
    configuration.persistentQueryResultCacheEnabled = true;
    configuration.makeSources = orvex::standardSources({});
    auto manager = std::make_unique<orvex::DatabaseManager>(configuration);

    for (std::string line; std::getline(std::cin, line);) {
        const QString command = QString::fromStdString(line);
        const QString argument = command.section(QLatin1Char(' '), 1);
        if (command.startsWith(QLatin1String("count "))) {
            reply(QStringLiteral("count %1").arg(manager->learnedOpenCount(appRow(argument), 0)));
        } else if (command == QLatin1String("recent")) {
            QStringList names;
            for (const orvex::SearchResult &row :
                 manager->searchRecentActivationResults(QString(), orvex::SearchRankingPreferences()))
                names.append(row.filename());
            reply(QStringLiteral("recent ") + names.join(QLatin1Char(',')));
        } else if (command.startsWith(QLatin1String("activate "))) {
            manager->recordActivation(appRow(argument));
            reply(QStringLiteral("activated"));
        } else if (command == QLatin1String("quit")) {
            break;
        } else {
            return 2;
        }
    }
    manager.reset();
    defaults.reset();
    reply(QStringLiteral("bye"));
    return 0;
}
