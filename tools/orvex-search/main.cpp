// orvex-search: the command-line front end to the launcher's search core, for people and scripts.
//
//   orvex-search [--json] [--wait SECONDS] [--activate N] QUERY...
#include "platform/DesktopWorkspace.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "search/AppsSource.h"
#include "search/Database.h"
#include "search/LauncherNotifications.h"
#include "sources/StandardSources.h"
#include "sources/SystemSettingsLauncher.h"
#include "sources/TranslationLookup.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

using namespace orvex;

namespace {

struct Options {
    bool json = false;
    // How long to wait for rows that arrive late (translations, Notion pages); none: not at all.
    std::optional<std::chrono::milliseconds> wait;
    std::optional<qint64> activate;
    QString query;
};

const char usage[] = "usage: orvex-search [--json] [--wait SECONDS] [--activate N] QUERY...\n";

// A day is more than any lookup takes; beyond it a typing slip is the likelier story.
constexpr double maxWaitSeconds = 86400;

std::optional<Options> parseArguments(const QStringList &arguments) {
    Options options;
    QStringList words;
    bool onlyWords = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (onlyWords || !a.startsWith(QLatin1String("--"))) {
            words.append(a);
        } else if (a == QLatin1String("--")) {
            onlyWords = true;
        } else if (a == QLatin1String("--json")) {
            options.json = true;
        } else if (a == QLatin1String("--wait") && i + 1 < arguments.size()) {
            bool ok = false;
            const double seconds = arguments.at(++i).toDouble(&ok);
            if (!ok || !(seconds >= 0 && seconds <= maxWaitSeconds))
                return std::nullopt;
            options.wait = std::chrono::milliseconds(qint64(seconds * 1000));
        } else if (a == QLatin1String("--activate") && i + 1 < arguments.size()) {
            bool ok = false;
            const qint64 n = arguments.at(++i).toLongLong(&ok);
            if (!ok || n < 1)
                return std::nullopt;
            options.activate = n;
        } else {
            return std::nullopt;
        }
    }
    options.query = words.join(QLatin1Char(' '));
    if (options.query.trimmed().isEmpty())
        return std::nullopt;
    return options;
}

QJsonValue optionalJson(const std::optional<QString> &v) {
    return v ? QJsonValue(*v) : QJsonValue();
}
QJsonValue optionalJson(const std::optional<qint64> &v) {
    return v ? QJsonValue(*v) : QJsonValue();
}

QJsonObject rowJson(const SearchResult &r) {
    QJsonObject o;
    o.insert(QStringLiteral("id"), r.id());
    o.insert(QStringLiteral("filename"), r.filename());
    o.insert(QStringLiteral("directory"), r.directory());
    o.insert(QStringLiteral("openCount"), r.openCount());
    o.insert(QStringLiteral("snippet"), optionalJson(r.snippet()));
    o.insert(QStringLiteral("databaseID"), optionalJson(r.databaseID()));
    o.insert(QStringLiteral("kind"), rawValue(r.kind()));
    o.insert(QStringLiteral("action"), r.action() ? QJsonValue(rawValue(*r.action())) : QJsonValue());
    o.insert(QStringLiteral("actionURLString"), optionalJson(r.actionURLString()));
    o.insert(QStringLiteral("fallbackActionURLString"), optionalJson(r.fallbackActionURLString()));
    o.insert(QStringLiteral("isDirectPathMatch"), r.isDirectPathMatch());
    o.insert(QStringLiteral("usageKey"), optionalJson(r.usageKey()));
    o.insert(QStringLiteral("isRecentActivation"), r.isRecentActivation());
    o.insert(QStringLiteral("relevanceScore"), optionalJson(r.relevanceScore()));
    return o;
}

// Bidirectional formatting characters: an override in a name would show the rest of the row, and
// the rows after it, in another order than the one they hold.
bool isBidiControl(char16_t c) {
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

// Names and addresses come from the disk, the index and the web: control characters in them would
// reach the terminal as commands (escape sequences) or split a row over several lines, and line
// separators or direction overrides would forge or hide what a row says.
QString printable(QString text) {
    for (QChar &c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph || isBidiControl(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return text;
}

void printTable(const SearchResults &rows, QTextStream &out) {
    for (const SearchResult &r : rows) {
        const QString score = r.relevanceScore() ? QString::number(*r.relevanceScore()) : QStringLiteral("-");
        QString location = r.directory();
        if (r.kind() == SearchResultKind::action && r.actionURLString())
            location += QStringLiteral("  <") + *r.actionURLString() + QLatin1Char('>');
        out << score.rightJustified(6) << "  " << rawValue(r.kind()).leftJustified(6) << "  "
            << printable(r.filename()) << (r.isRecentActivation() ? QStringLiteral("  (recent)") : QString())
            << "  " << printable(location) << '\n';
    }
}

// Asks again whenever late rows have arrived, as the panel does, until nothing more is on its way or
// the time is up; the last answer stands.
SearchResults waitForLateRows(DatabaseManager &manager, const QString &query, SearchResults rows,
                              std::chrono::milliseconds wait) {
    // Lookups that ended between the answer and here have stored their rows: one more search shows them.
    if (!manager.hasLateLookupsInFlight())
        return manager.search(query, false);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto observer = NotificationCenter::defaultCenter().addObserver(
        NotificationName::launcherSearchDataRefreshed, [&](const Notification &) {
            // Asked before searching: lookups that are over by now have stored their rows, so this
            // search shows them all.
            const bool settled = !manager.hasLateLookupsInFlight();
            rows = manager.search(query, false);
            if (settled)
                loop.quit();
        });
    deadline.start(wait);
    loop.exec();
    NotificationCenter::defaultCenter().removeObserver(observer);
    return rows;
}

// Opens what the panel would open for rows the tool can start on its own: a desktop application (its
// entry launched, after the activation is recorded) and a settings pane. Other rows are only recorded.
bool openActivatedRow(const SearchResult &row) {
    if (isDesktopApplicationRow(row)) {
        // The desktop workspace without the clipboard's side, which would bring in the window system.
        DesktopWorkspace workspace;
        return bool(workspace.open(QUrl::fromLocalFile(row.fullPath())));
    }
    if (row.action() == SearchResultAction::openSystemSettings) {
        return (row.actionURLString() && openSystemSettingsLink(*row.actionURLString())) ||
               (row.fallbackActionURLString() && openSystemSettingsLink(*row.fallbackActionURLString()));
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const auto options = parseArguments(QCoreApplication::arguments());
    if (!options) {
        std::fputs(usage, stderr);
        return 2;
    }

    // The search core reports trouble as lines on standard output; here they go to standard error so
    // that standard output carries only the answer (JSON must stay parseable).
    std::fflush(stdout);
    // Close-on-exec: a helper the search starts must not hold the answer's pipe open.
    const int answerFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (answerFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("orvex-search");
        return 1;
    }
    QFile answer;
    if (!answer.open(answerFd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        std::fputs("orvex-search: cannot write standard output\n", stderr);
        return 1;
    }

    DatabaseManagerConfiguration configuration = standardConfiguration();
    // Lookups whose rows come after the answer are started only when the tool waits for them.
    configuration.startsLateLookups = options->wait.has_value();
    DatabaseManager manager(configuration);
    manager.refreshSourceCachesNow();
    SearchResults rows = manager.search(options->query, true);
    if (options->wait)
        rows = waitForLateRows(manager, options->query, rows, *options->wait);

    QTextStream out(&answer);
    int status = 0;
    bool opened = true;
    bool counted = true;
    if (options->activate) {
        if (*options->activate > rows.size()) {
            std::fprintf(stderr, "orvex-search: there is no row %lld\n",
                         static_cast<long long>(*options->activate));
            status = 1;
        } else {
            const SearchResult &row = rows.at(*options->activate - 1);
            counted = manager.recordActivation(row);
            opened = openActivatedRow(row);
        }
    }
    if (status == 0) {
        if (options->json) {
            QJsonArray array;
            for (const SearchResult &r : rows)
                array.append(rowJson(r));
            out << QJsonDocument(array).toJson(QJsonDocument::Indented);
        } else {
            printTable(rows, out);
        }
    }
    out.flush();
    // The answer stands, and the activation was recorded, even when what it names would not start.
    if (!opened) {
        std::fprintf(stderr, "orvex-search: could not open row %lld\n",
                     static_cast<long long>(*options->activate));
        status = 1;
    }
    // The index's open count is the one part of an activation that can be lost (the core has said why).
    if (!counted) {
        std::fprintf(stderr, "orvex-search: the index's open count of row %lld was not raised\n",
                     static_cast<long long>(*options->activate));
        status = 1;
    }
    // A full disk or a closed pipe must not pass for an answer given.
    if (out.status() != QTextStream::Ok || !answer.flush()) {
        std::fputs("orvex-search: cannot write standard output\n", stderr);
        status = 1;
    }
    // A lookup still waiting on the translation engine ends now, and the engine's interpreter with it.
    TranslationLookup::shutdownEngines();
    manager.shutdown();
    if (!UserDefaults::standard().flush()) {
        std::fputs("orvex-search: could not write the defaults file\n", stderr);
        status = 1;
    }
    return status;
}
