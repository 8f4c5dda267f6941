#include "panel/ClipboardQueryMerge.h"

#include "platform/StringUtils.h"

#include <QList>

namespace orvex {

QString mergedQueryWithClipboardText(const QString &existingQuery, const QString &clipboardText) {
    if (existingQuery.isEmpty())
        return clipboardText;
    if (clipboardText.isEmpty())
        return existingQuery;
    const char32_t last = QStringView(existingQuery).toUcs4().constLast();
    const char32_t first = QStringView(clipboardText).toUcs4().constFirst();
    if (StringUtils::isWhitespaceOrNewline(last) || StringUtils::isWhitespaceOrNewline(first))
        return existingQuery + clipboardText;
    return existingQuery + QLatin1Char(' ') + clipboardText;
}

} // namespace orvex
