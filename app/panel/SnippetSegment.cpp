#include "panel/SnippetSegment.h"

#include <QStringList>

namespace orvex {

QList<SnippetSegment> parseSnippetSegments(const QString &snippet) {
    static const QString open = QStringLiteral("<mark>");
    static const QString close = QStringLiteral("</mark>");
    QString text = snippet;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QStringList parts = text.split(open);
    QList<SnippetSegment> segments;
    if (!parts.first().isEmpty())
        segments.append({parts.first(), false});
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QStringList pieces = parts.at(i).split(close);
        if (!pieces.first().isEmpty())
            segments.append({pieces.first(), true});
        if (pieces.size() > 1) {
            const QString rest = pieces.mid(1).join(close);
            if (!rest.isEmpty())
                segments.append({rest, false});
        }
    }
    return segments;
}

} // namespace orvex
