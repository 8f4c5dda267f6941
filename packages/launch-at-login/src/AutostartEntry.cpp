#include "launch-at-login/AutostartEntry.h"

#include <QStringList>

namespace orvex::AutostartEntry {

QString execArgument(const QString &argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument)
        quote = quote || reserved.contains(c);
    QString result;
    if (quote)
        result += QLatin1Char('"');
    for (const QChar c : argument) {
        if (c == QLatin1Char('%')) {
            result += QStringLiteral("%%");
            continue;
        }
        if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                      c == QLatin1Char('\\')))
            result += QLatin1Char('\\');
        result += c;
    }
    if (quote)
        result += QLatin1Char('"');
    return result;
}

QString escapeValue(const QString &value) {
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\'))
            result += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            result += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            result += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            result += QStringLiteral("\\r");
        else if (i == 0 && c == QLatin1Char(' '))
            result += QStringLiteral("\\s");
        else
            result += c;
    }
    return result;
}

std::optional<QHash<QString, QString>> readMainGroup(const QByteArray &bytes) {
    std::optional<QHash<QString, QString>> group;
    bool inMain = false;
    for (const QString &rawLine : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMain = line == QLatin1String("[Desktop Entry]");
            if (inMain && !group)
                group.emplace();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMain || equals <= 0)
            continue;
        group->insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return group;
}

} // namespace orvex::AutostartEntry
