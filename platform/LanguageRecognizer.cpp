#include "LanguageRecognizer.h"

#include <mutex>

namespace orvex {

namespace {

std::mutex sharedMutex;
std::shared_ptr<const LanguageRecognizer> installed;

} // namespace

std::optional<QString> LanguageRecognizer::dominantLanguage(const QString &) const {
    return std::nullopt;
}

std::shared_ptr<const LanguageRecognizer> LanguageRecognizer::shared() {
    std::lock_guard guard(sharedMutex);
    if (!installed)
        installed = std::make_shared<LanguageRecognizer>();
    return installed;
}

void LanguageRecognizer::setShared(std::shared_ptr<const LanguageRecognizer> recognizer) {
    std::lock_guard guard(sharedMutex);
    installed = std::move(recognizer);
}

} // namespace orvex
