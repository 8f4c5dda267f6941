#include "LanguageRecognizer.h"

#include <QHash>
#include <QRegularExpression>

// The detector's header uses FILE and std::vector without including them.
#include <cstdio>
#include <vector>

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <algorithm>
#include <mutex>

namespace orvex {

namespace {

std::mutex sharedMutex;
std::shared_ptr<const LanguageRecognizer> installed;

// The detector reads only letters; it wants interchange-valid UTF-8, so everything else (controls,
// noncharacters, lone surrogates, digits, punctuation) becomes a space. Queries are short: a long text
// is cut, which keeps the detector's work bounded.
QByteArray detectorInput(const QString &text) {
    constexpr qsizetype maxCharacters = 2000;
    QString letters;
    letters.reserve(std::min(text.size(), maxCharacters));
    for (const char32_t c : text.left(maxCharacters).toUcs4()) {
        if (QChar::isLetter(c) || QChar::isMark(c))
            letters.append(QString::fromUcs4(&c, 1));
        else
            letters.append(QLatin1Char(' '));
    }
    return letters.simplified().toUtf8();
}

// The detector still names a few languages by their retired codes.
QString currentCode(const QString &code) {
    static const QHash<QString, QString> renamed = {
        {QStringLiteral("iw"), QStringLiteral("he")},      {QStringLiteral("jw"), QStringLiteral("jv")},
        {QStringLiteral("in"), QStringLiteral("id")},      {QStringLiteral("no"), QStringLiteral("nb")},
        {QStringLiteral("zh"), QStringLiteral("zh-Hans")},
    };
    return renamed.value(code, code);
}

} // namespace

std::optional<QString> LanguageRecognizer::dominantLanguage(const QString &text) const {
    const QByteArray input = detectorInput(text);
    if (input.isEmpty())
        return std::nullopt;
    CLD2::CLDHints hints{nullptr, "", CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
    CLD2::Language language3[3];
    int percent3[3];
    double normalizedScore3[3];
    int textBytes = 0;
    bool isReliable = false;
    // Best effort: without it the detector declines most texts shorter than a sentence, and launcher
    // queries are one to three words.
    const CLD2::Language language = CLD2::ExtDetectLanguageSummary(
        input.constData(), static_cast<int>(input.size()), true, &hints, CLD2::kCLDFlagBestEffort, language3,
        percent3, normalizedScore3, nullptr, &textBytes, &isReliable);
    if (language == CLD2::UNKNOWN_LANGUAGE || language == CLD2::TG_UNKNOWN_LANGUAGE)
        return std::nullopt;
    static const QRegularExpression plausibleCode(QStringLiteral("^[a-z]{2,3}(-[A-Za-z]{2,8})?$"));
    const QString code = QString::fromLatin1(CLD2::LanguageCode(language));
    if (!plausibleCode.match(code).hasMatch())
        return std::nullopt;
    return currentCode(code);
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
