#pragma once

#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace orvex {

// Guesses the language of a text. The system instance asks the Compact Language Detector 2, which also
// places texts of one to three words, and, to choose among a few given languages, compares the text
// with libexttextcat's letter-sequence profiles of just those; tests install their own through
// setShared().
class LanguageRecognizer {
public:
    virtual ~LanguageRecognizer() = default;

    // The language identifier (for example "de" or "zh-Hant"), or nothing when the text gives no answer.
    virtual std::optional<QString> dominantLanguage(const QString &text) const;

    // Of `codes` (lower-case identifiers such as "de" or "zh-hans"), the one the text reads most like:
    // for a short text the detector places in some other language ("Haus" reads as Hmong to it).
    // Nothing when fewer than two of the codes have a profile or the closest two are too near to tell.
    virtual std::optional<QString> likeliestLanguage(const QString &text, const QSet<QString> &codes) const;

    // The recogniser in use: the one installed with setShared(), else the system one.
    static std::shared_ptr<const LanguageRecognizer> shared();
    // Replaces the process-wide recogniser; null restores the system one.
    static void setShared(std::shared_ptr<const LanguageRecognizer> recognizer);
};

} // namespace orvex
