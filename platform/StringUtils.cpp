#include "StringUtils.h"

#include <QChar>
#include <QCollator>
#include <QLocale>
#include <QStringView>
#include <QTextBoundaryFinder>

namespace orvex::StringUtils {

bool isWhitespace(char32_t c) {
    return c == U'\t' || QChar::category(c) == QChar::Separator_Space;
}

bool isWhitespaceOrNewline(char32_t c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
        return true;
    const auto category = QChar::category(c);
    return category == QChar::Separator_Space || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

namespace {

template <typename Predicate> QString trimmed(const QString &text, Predicate isTrimmed) {
    const auto codepoints = text.toUcs4();
    qsizetype begin = 0;
    qsizetype end = codepoints.size();
    while (begin < end && isTrimmed(codepoints[begin]))
        ++begin;
    while (end > begin && isTrimmed(codepoints[end - 1]))
        --end;
    if (begin == 0 && end == codepoints.size())
        return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(codepoints.constData()) + begin, end - begin);
}

} // namespace

QString trimmedWhitespace(const QString &text) {
    return trimmed(text, isWhitespace);
}

QString trimmedWhitespaceAndNewlines(const QString &text) {
    return trimmed(text, isWhitespaceOrNewline);
}

qsizetype graphemeCount(const QString &text) {
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString droppingLastGraphemes(const QString &text, qsizetype count) {
    if (count <= 0)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    qsizetype position = text.size();
    for (qsizetype i = 0; i < count; ++i) {
        position = finder.toPreviousBoundary();
        if (position <= 0)
            return QString();
    }
    return text.left(position);
}

int localizedCaseInsensitiveCompare(const QString &a, const QString &b) {
    thread_local QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(a, b);
}

} // namespace orvex::StringUtils
