#include "sources/TranslationCommand.h"

#include "platform/LanguageRecognizer.h"
#include "platform/StringUtils.h"

#include <QChar>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace orvex {

namespace {

const QString defaultTrigger = QStringLiteral("cc");

// The user-perceived characters of a text, in order.
QStringList graphemes(const QString &text) {
    QStringList result;
    if (text.isEmpty())
        return result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        result.append(text.mid(start, end - start));
        start = end;
    }
    return result;
}

char32_t firstCodePoint(const QString &grapheme) {
    if (grapheme.isEmpty())
        return 0;
    if (grapheme.size() > 1 && grapheme.at(0).isHighSurrogate() && grapheme.at(1).isLowSurrogate())
        return QChar::surrogateToUcs4(grapheme.at(0), grapheme.at(1));
    return grapheme.at(0).unicode();
}

// A character counts by its first code point, as letters with combining marks stay one letter.
bool isLetter(const QString &grapheme) {
    return QChar::isLetter(firstCodePoint(grapheme));
}
bool isNumber(const QString &grapheme) {
    return QChar::isNumber(firstCodePoint(grapheme));
}
bool isWhitespace(const QString &grapheme) {
    return StringUtils::isWhitespaceOrNewline(firstCodePoint(grapheme));
}

// Splits at the first white-space character into at most two pieces, dropping empty ones.
QStringList splitOnce(const QString &text) {
    const QStringList characters = graphemes(text);
    QStringList pieces;
    QString current;
    qsizetype i = 0;
    for (; i < characters.size(); ++i) {
        if (isWhitespace(characters[i])) {
            if (!current.isEmpty()) {
                pieces.append(current);
                current.clear();
                ++i;
                break;
            }
            continue;
        }
        current += characters[i];
    }
    for (; i < characters.size(); ++i)
        current += characters[i];
    if (!current.isEmpty())
        pieces.append(current);
    return pieces;
}

} // namespace

QString TranslationCommandParser::normalizeTrigger(const QString &rawTrigger, const QString &fallback) {
    const QString lowered = StringUtils::trimmedWhitespaceAndNewlines(rawTrigger).toLower();
    QString result;
    int kept = 0;
    for (const QString &character : graphemes(lowered)) {
        if (kept == 12)
            break;
        if (isLetter(character) || isNumber(character) || character == QLatin1String("-") ||
            character == QLatin1String("_")) {
            result += character;
            ++kept;
        }
    }
    return result.isEmpty() ? fallback : result;
}

QString TranslationCommandParser::normalizedLanguageCode(const QString &code) {
    const QString lowered = StringUtils::trimmedWhitespaceAndNewlines(code).toLower();
    QString result;
    for (const QString &character : graphemes(lowered))
        if (isLetter(character) || character == QLatin1String("-"))
            result += character;
    return result;
}

QSet<QString> TranslationCommandParser::normalizedSupportedLanguageCodes(const QSet<QString> &codes) {
    QSet<QString> result;
    for (const QString &code : codes) {
        const QString normalized = normalizedLanguageCode(code);
        if (!normalized.isEmpty())
            result.insert(normalized);
    }
    return result;
}

std::optional<std::pair<QString, QString>>
TranslationCommandParser::parseLanguagePairToken(const QString &token,
                                                 const QSet<QString> &supportedLanguageCodes) {
    const QStringList pieces = token.split(QLatin1Char(':'));
    if (pieces.size() != 2)
        return std::nullopt;
    const QString source = normalizedLanguageCode(pieces[0]);
    const QString target = normalizedLanguageCode(pieces[1]);
    if (source.isEmpty() || target.isEmpty() || !supportedLanguageCodes.contains(source) ||
        !supportedLanguageCodes.contains(target) || source == target)
        return std::nullopt;
    return std::pair{source, target};
}

bool TranslationCommandParser::isLanguagePairToken(const QString &token) {
    const QStringList pieces = token.split(QLatin1Char(':'));
    return pieces.size() == 2 && !normalizedLanguageCode(pieces[0]).isEmpty() &&
           !normalizedLanguageCode(pieces[1]).isEmpty();
}

namespace {

QString alphabeticallyFirst(const QSet<QString> &codes, const QString &excluded = QString()) {
    QStringList sorted;
    for (const QString &code : codes)
        if (code != excluded)
            sorted.append(code);
    std::sort(sorted.begin(), sorted.end());
    return sorted.isEmpty() ? QString() : sorted.first();
}

} // namespace

QString TranslationCommandParser::inferredSourceLanguageCode(const QString &text,
                                                             const QSet<QString> &supportedLanguageCodes,
                                                             const LanguageRecognizer *recognizer) {
    std::shared_ptr<const LanguageRecognizer> shared;
    if (!recognizer) {
        shared = LanguageRecognizer::shared();
        recognizer = shared.get();
    }
    if (const auto dominant = recognizer->dominantLanguage(text)) {
        const QString code = dominant->toLower();
        if (supportedLanguageCodes.contains(code))
            return code;
    }
    // A word or two often reads like some unrelated language to the detector; which of the configured
    // ones it is most like is still worth more than the fallbacks' guess.
    if (const auto likeliest = recognizer->likeliestLanguage(text, supportedLanguageCodes)) {
        const QString code = likeliest->toLower();
        if (supportedLanguageCodes.contains(code))
            return code;
    }
    static const QString germanLetters = QStringLiteral(u"äöüß");
    const bool hasGermanLetter =
        std::any_of(germanLetters.begin(), germanLetters.end(), [&](QChar c) { return text.contains(c); });
    if (hasGermanLetter && supportedLanguageCodes.contains(QStringLiteral("de")))
        return QStringLiteral("de");
    if (supportedLanguageCodes.contains(QStringLiteral("en")))
        return QStringLiteral("en");
    const QString first = alphabeticallyFirst(supportedLanguageCodes);
    return first.isEmpty() ? QStringLiteral("en") : first;
}

QString TranslationCommandParser::inferredTargetLanguageCode(const QString &source,
                                                             const QSet<QString> &supportedLanguageCodes) {
    const QString english = QStringLiteral("en");
    const QString german = QStringLiteral("de");
    if (source == english && supportedLanguageCodes.contains(german))
        return german;
    if (source != english && supportedLanguageCodes.contains(english))
        return english;
    const QString other = alphabeticallyFirst(supportedLanguageCodes, source);
    return other.isEmpty() ? source : other;
}

std::optional<TranslationCommand> TranslationCommandParser::parse(const QString &query,
                                                                  const QString &trigger,
                                                                  const QSet<QString> &supportedLanguageCodes,
                                                                  const LanguageRecognizer *recognizer) {
    const QSet<QString> codes = normalizedSupportedLanguageCodes(supportedLanguageCodes);
    if (codes.size() < 2)
        return std::nullopt;
    const QString normalizedTrigger = normalizeTrigger(trigger, defaultTrigger);
    const QString trimmedQuery = StringUtils::trimmedWhitespaceAndNewlines(query);
    if (trimmedQuery.isEmpty())
        return std::nullopt;

    const QStringList pieces = splitOnce(trimmedQuery);
    if (pieces.size() != 2 || pieces[0].toLower() != normalizedTrigger)
        return std::nullopt;
    const QString rest = StringUtils::trimmedWhitespaceAndNewlines(pieces[1]);
    if (rest.isEmpty())
        return std::nullopt;

    const QStringList words = splitOnce(rest);
    const QString firstWord = words.value(0);
    if (const auto pair = parseLanguagePairToken(firstWord, codes)) {
        const QString remainder =
            words.size() == 2 ? StringUtils::trimmedWhitespaceAndNewlines(words[1]) : QString();
        if (remainder.isEmpty())
            return std::nullopt;
        return TranslationCommand{.trigger = normalizedTrigger,
                                  .sourceText = remainder,
                                  .sourceLanguageCode = pair->first,
                                  .targetLanguageCode = pair->second,
                                  .usesExplicitLanguagePair = true};
    }
    if (isLanguagePairToken(firstWord))
        return std::nullopt;

    const QString source = inferredSourceLanguageCode(rest, codes, recognizer);
    return TranslationCommand{.trigger = normalizedTrigger,
                              .sourceText = rest,
                              .sourceLanguageCode = source,
                              .targetLanguageCode = inferredTargetLanguageCode(source, codes),
                              .usesExplicitLanguagePair = false};
}

} // namespace orvex
