// orvex-search: the command-line front end to the launcher's search core, for people and scripts.
//
//   orvex-search [--json] [--fresh] [--activate N] QUERY...
#include "platform/UserDefaults.h"
#include "search/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace orvex;

namespace {

struct Options {
    bool json = false;
    bool fresh = false;
    std::optional<qint64> activate;
    QString query;
};

const char usage[] = "usage: orvex-search [--json] [--fresh] [--activate N] QUERY...\n";

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
        } else if (a == QLatin1String("--fresh")) {
            options.fresh = true;
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
    const int answerFd = ::dup(STDOUT_FILENO);
    if (answerFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("orvex-search");
        return 1;
    }
    QFile answer;
    if (!answer.open(answerFd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        std::fputs("orvex-search: cannot write standard output\n", stderr);
        return 1;
    }

    DatabaseManager &manager = DatabaseManager::shared();
    manager.refreshSourceCachesNow();
    const SearchResults rows = manager.search(options->query, !options->fresh);

    QTextStream out(&answer);
    int status = 0;
    if (options->activate) {
        if (*options->activate > rows.size()) {
            std::fprintf(stderr, "orvex-search: there is no row %lld\n",
                         static_cast<long long>(*options->activate));
            status = 1;
        } else {
            manager.recordActivation(rows.at(*options->activate - 1));
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
    // A full disk or a closed pipe must not pass for an answer given.
    if (out.status() != QTextStream::Ok || !answer.flush()) {
        std::fputs("orvex-search: cannot write standard output\n", stderr);
        status = 1;
    }
    manager.shutdown();
    if (!UserDefaults::standard().flush()) {
        std::fputs("orvex-search: could not write the defaults file\n", stderr);
        status = 1;
    }
    return status;
}
