#pragma once

#include <QSet>
#include <QString>

#include <optional>
#include <utility>

namespace orvex {

class LanguageRecognizer;

// A query that asks for a translation: "<trigger> [source:target] <text>".
struct TranslationCommand {
    QString trigger;
    QString sourceText;
    QString sourceLanguageCode;
    QString targetLanguageCode;
    // True when the query named the pair, false when it was inferred.
    bool usesExplicitLanguagePair = false;

    bool operator==(const TranslationCommand &) const = default;
};

// Turns a raw query into a translation command. Stateless; every operation is a pure function apart
// from the language recogniser that source inference consults.
class TranslationCommandParser {
public:
    // Trimmed, lowercased, only letters, numbers, "-" and "_", at most 12 characters; the fallback when
    // nothing is left.
    static QString normalizeTrigger(const QString &rawTrigger, const QString &fallback);
    // The command the query spells, or nothing. Null `recognizer`: LanguageRecognizer::shared().
    static std::optional<TranslationCommand> parse(const QString &query, const QString &trigger,
                                                   const QSet<QString> &supportedLanguageCodes,
                                                   const LanguageRecognizer *recognizer = nullptr);

    // Trimmed, lowercased, only letters and "-"; may be empty.
    static QString normalizedLanguageCode(const QString &code);
    static QSet<QString> normalizedSupportedLanguageCodes(const QSet<QString> &codes);
    // "de:en" with both codes supported and different; `supportedLanguageCodes` already normalised.
    static std::optional<std::pair<QString, QString>>
    parseLanguagePairToken(const QString &token, const QSet<QString> &supportedLanguageCodes);
    // Two ":"-separated pieces that both normalise to something, supported or not.
    static bool isLanguagePairToken(const QString &token);
    static QString inferredSourceLanguageCode(const QString &text,
                                              const QSet<QString> &supportedLanguageCodes,
                                              const LanguageRecognizer *recognizer = nullptr);
    static QString inferredTargetLanguageCode(const QString &source,
                                              const QSet<QString> &supportedLanguageCodes);
};

} // namespace orvex
