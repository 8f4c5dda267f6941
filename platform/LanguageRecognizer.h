#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace orvex {

// Guesses the dominant language of a text. The system instance asks the Compact Language Detector 2,
// which also places texts of one to three words; tests install their own through setShared().
class LanguageRecognizer {
public:
    virtual ~LanguageRecognizer() = default;

    // The language identifier (for example "de" or "zh-Hant"), or nothing when the text gives no answer.
    virtual std::optional<QString> dominantLanguage(const QString &text) const;

    // The recogniser in use: the one installed with setShared(), else the system one.
    static std::shared_ptr<const LanguageRecognizer> shared();
    // Replaces the process-wide recogniser; null restores the system one.
    static void setShared(std::shared_ptr<const LanguageRecognizer> recognizer);
};

} // namespace orvex
