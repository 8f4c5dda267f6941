#include "LanguageRecognizer.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

// The detector's header uses FILE and std::vector without including them.
#include <cstdio>
#include <vector>

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>
#include <libexttextcat/fingerprint.h>

#include <algorithm>
#include <limits>
#include <map>
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

// ---- Choosing among given languages (libexttextcat) ----

// Where Debian's libexttextcat-data keeps one profile per language, named by its identifier.
const char profileFolder[] = "/usr/share/libexttextcat";
// The profiles hold this many letter sequences; the text's own is cut to the same.
constexpr int profileSize = 400;
// Two languages closer than this share of the larger distance are a tie: the text is left to the
// fallbacks rather than given to the one that happens to be ahead.
constexpr double tieMargin = 0.05;

struct FingerprintDone {
    void operator()(void *fingerprint) const { fp_Done(fingerprint); }
};
using Fingerprint = std::unique_ptr<void, FingerprintDone>;

Fingerprint newFingerprint(const char *name) {
    Fingerprint fingerprint(fp_Init(name));
    if (fingerprint) {
        fp_SetProperty(fingerprint.get(), TCPROP_UTF8AWARE, TC_TRUE);
        // Launcher queries are a word or two; the library's default refuses anything that short.
        fp_SetProperty(fingerprint.get(), TCPROP_MINIMUM_DOCUMENT_SIZE, 1);
    }
    return fingerprint;
}

// The profiles, read on first use and kept; the library's handles are used under this lock only.
class LanguageProfiles {
public:
    static LanguageProfiles &shared() {
        static LanguageProfiles profiles;
        return profiles;
    }

    std::optional<QString> likeliest(const QByteArray &text, const QSet<QString> &codes) {
        std::lock_guard guard(mutex_);
        Fingerprint unknown = newFingerprint(nullptr);
        if (!unknown ||
            fp_Create(unknown.get(), text.constData(), static_cast<uint4>(text.size()), profileSize) == 0)
            return std::nullopt;
        struct Distance {
            QString code;
            qint64 distance;
        };
        std::vector<Distance> distances;
        for (const QString &code : codes) {
            if (void *profile = profileOf(code.toLower()))
                distances.push_back(
                    {code, fp_Compare(profile, unknown.get(), std::numeric_limits<int>::max())});
        }
        if (distances.size() < 2)
            return std::nullopt;
        std::sort(distances.begin(), distances.end(),
                  [](const Distance &a, const Distance &b) { return a.distance < b.distance; });
        const double gap = double(distances[1].distance - distances[0].distance);
        if (gap < tieMargin * double(distances[1].distance))
            return std::nullopt;
        return distances[0].code;
    }

private:
    LanguageProfiles() {
        const QDir folder(QString::fromLatin1(profileFolder));
        for (const QString &name : folder.entryList({QStringLiteral("*.lm")}, QDir::Files))
            files_.insert(name.chopped(3).toLower(), folder.filePath(name));
    }

    void *profileOf(const QString &code) {
        if (const auto loaded = profiles_.find(code); loaded != profiles_.end())
            return loaded->second.get();
        Fingerprint profile;
        if (const auto file = files_.constFind(code); file != files_.constEnd()) {
            profile = newFingerprint(nullptr);
            if (profile && fp_Read(profile.get(), QFile::encodeName(*file).constData(), profileSize) == 0)
                profile.reset();
        }
        // A code without a profile is remembered as such, so its file is not looked for again.
        return profiles_.emplace(code, std::move(profile)).first->second.get();
    }

    std::mutex mutex_;
    QHash<QString, QString> files_;
    std::map<QString, Fingerprint> profiles_;
};

} // namespace

std::optional<QString> LanguageRecognizer::likeliestLanguage(const QString &text,
                                                             const QSet<QString> &codes) const {
    const QByteArray input = detectorInput(text);
    if (input.isEmpty() || codes.size() < 2)
        return std::nullopt;
    return LanguageProfiles::shared().likeliest(input, codes);
}

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
