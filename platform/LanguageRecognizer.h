#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace orvex {

// Guesses the dominant language of a text. The platform has no recogniser on Linux, so the system
// instance answers nothing; tests install their own through setShared().
class LanguageRecognizer {
public:
    virtual ~LanguageRecognizer() = default;

    // The language identifier (for example "de"), or nothing when the text gives no answer.
    virtual std::optional<QString> dominantLanguage(const QString &text) const;

    // The recogniser in use: the one installed with setShared(), else the system one.
    static std::shared_ptr<const LanguageRecognizer> shared();
    // Replaces the process-wide recogniser; null restores the system one.
    static void setShared(std::shared_ptr<const LanguageRecognizer> recognizer);
};

} // namespace orvex
