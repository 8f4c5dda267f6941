// How well the translation command guesses the language of a short text, and what one guess costs.
// Prints, for a table of real one- to three-word German and English texts, how often the detector alone
// and the whole inference (detector, then the profiles of the configured languages, then the umlaut and
// English fallbacks) name the right language with the codes en and de configured, beside the inference
// without the profiles and the fallbacks alone (the inference without a detector).
#include "platform/LanguageRecognizer.h"
#include "sources/TranslationCommand.h"

#include <QSet>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using namespace orvex;

struct Sample {
    const char *language;
    const char *text;
};

// Everyday words and phrases of the kind typed after the trigger; none chosen for the detector's sake.
const Sample samples[] = {
    {"de", "Haus"},
    {"de", "Hund"},
    {"de", "Katze"},
    {"de", "Baum"},
    {"de", "Zeitung"},
    {"de", "Fahrrad"},
    {"de", "Kühlschrank"},
    {"de", "Schlüssel"},
    {"de", "Brötchen"},
    {"de", "Wohnung"},
    {"de", "Rechnung"},
    {"de", "Geburtstag"},
    {"de", "Krankenhaus"},
    {"de", "Bahnhof"},
    {"de", "Frühstück"},
    {"de", "Schmetterling"},
    {"de", "Entschuldigung"},
    {"de", "Gemütlichkeit"},
    {"de", "Sicherung"},
    {"de", "Bildschirm"},
    {"de", "Lautsprecher"},
    {"de", "Straße"},
    {"de", "Mädchen"},
    {"de", "Wasser"},
    {"de", "Sonne"},
    {"de", "Regenschirm"},
    {"de", "Kartoffel"},
    {"de", "Tisch"},
    {"de", "Stuhl"},
    {"de", "Fenster"},
    {"de", "schön"},
    {"de", "gestern"},
    {"de", "vielleicht"},
    {"de", "immer"},
    {"de", "schnell"},
    {"de", "langsam"},
    {"de", "wichtig"},
    {"de", "guten Morgen"},
    {"de", "danke schön"},
    {"de", "der Hund"},
    {"de", "die Katze"},
    {"de", "das Haus"},
    {"de", "ich bin müde"},
    {"de", "wie geht es"},
    {"de", "gute Nacht"},
    {"de", "bis morgen"},
    {"de", "Tschüss"},
    {"de", "neue Wohnung"},
    {"de", "kleines Kind"},
    {"de", "roter Apfel"},
    {"de", "wo ist der Bahnhof"},
    {"de", "ich habe Hunger"},
    {"de", "sehr gut"},
    {"de", "nicht schlecht"},
    {"de", "kein Problem"},
    {"de", "Feuerwehr"},
    {"de", "Handschuh"},
    {"de", "Eichhörnchen"},
    {"de", "Zahnarzt"},
    {"de", "Staubsauger"},
    {"en", "house"},
    {"en", "dog"},
    {"en", "cat"},
    {"en", "tree"},
    {"en", "newspaper"},
    {"en", "bicycle"},
    {"en", "fridge"},
    {"en", "key"},
    {"en", "breakfast"},
    {"en", "apartment"},
    {"en", "invoice"},
    {"en", "birthday"},
    {"en", "hospital"},
    {"en", "station"},
    {"en", "butterfly"},
    {"en", "apology"},
    {"en", "backup"},
    {"en", "screen"},
    {"en", "speaker"},
    {"en", "street"},
    {"en", "girl"},
    {"en", "water"},
    {"en", "sun"},
    {"en", "umbrella"},
    {"en", "potato"},
    {"en", "table"},
    {"en", "chair"},
    {"en", "window"},
    {"en", "beautiful"},
    {"en", "yesterday"},
    {"en", "maybe"},
    {"en", "always"},
    {"en", "quickly"},
    {"en", "slowly"},
    {"en", "important"},
    {"en", "good morning"},
    {"en", "thank you"},
    {"en", "the dog"},
    {"en", "the cat"},
    {"en", "the house"},
    {"en", "I am tired"},
    {"en", "how are you"},
    {"en", "good night"},
    {"en", "see you tomorrow"},
    {"en", "goodbye"},
    {"en", "new apartment"},
    {"en", "little child"},
    {"en", "red apple"},
    {"en", "where is the station"},
    {"en", "I am hungry"},
    {"en", "very good"},
    {"en", "not bad"},
    {"en", "no problem"},
    {"en", "fire brigade"},
    {"en", "glove"},
    {"en", "squirrel"},
    {"en", "dentist"},
    {"en", "vacuum cleaner"},
};

class SilentRecognizer final : public LanguageRecognizer {
public:
    std::optional<QString> dominantLanguage(const QString &) const override { return std::nullopt; }
    std::optional<QString> likeliestLanguage(const QString &, const QSet<QString> &) const override {
        return std::nullopt;
    }
};

// The detector without the profiles, as the inference was before they came.
class DetectorOnly final : public LanguageRecognizer {
public:
    std::optional<QString> likeliestLanguage(const QString &, const QSet<QString> &) const override {
        return std::nullopt;
    }
};

struct Tally {
    int right = 0;
    int unplaced = 0;
    int wrong = 0;
    int total = 0;
};

void printAccuracy() {
    const QSet<QString> codes = {QStringLiteral("en"), QStringLiteral("de")};
    const LanguageRecognizer detector;
    const SilentRecognizer silent;
    const DetectorOnly detectorOnly;
    Tally alone[2], inferred[2], withoutProfiles[2], fallbacksOnly[2];
    QStringList misses;
    for (const Sample &s : samples) {
        const QString text = QString::fromUtf8(s.text);
        const QString expected = QString::fromLatin1(s.language);
        const int i = expected == QLatin1String("de") ? 0 : 1;
        const auto answer = detector.dominantLanguage(text);
        Tally &a = alone[i];
        ++a.total;
        if (!answer)
            ++a.unplaced;
        else if (*answer == expected)
            ++a.right;
        else
            ++a.wrong;
        const QString guess = TranslationCommandParser::inferredSourceLanguageCode(text, codes, &detector);
        ++inferred[i].total;
        if (guess == expected)
            ++inferred[i].right;
        else
            misses.append(text + QStringLiteral(" (") + answer.value_or(QStringLiteral("-")) +
                          QStringLiteral(" -> ") + guess + QLatin1Char(')'));
        ++withoutProfiles[i].total;
        if (TranslationCommandParser::inferredSourceLanguageCode(text, codes, &detectorOnly) == expected)
            ++withoutProfiles[i].right;
        ++fallbacksOnly[i].total;
        if (TranslationCommandParser::inferredSourceLanguageCode(text, codes, &silent) == expected)
            ++fallbacksOnly[i].right;
    }
    const auto percent = [](int n, int total) { return total ? 100.0 * n / total : 0.0; };
    std::printf("Language of one- to three-word texts, codes en and de configured\n");
    std::printf("%-9s %28s %22s %22s %22s\n", "language", "detector: right/unplaced/wrong", "inferred",
                "inferred (no profiles)", "inferred (fallbacks)");
    for (int i = 0; i < 2; ++i) {
        std::printf("%-9s %14d / %d / %d of %d %14d of %d (%.0f%%) %12d of %d (%.0f%%) %12d of %d (%.0f%%)\n",
                    i ? "en" : "de", alone[i].right, alone[i].unplaced, alone[i].wrong, alone[i].total,
                    inferred[i].right, inferred[i].total, percent(inferred[i].right, inferred[i].total),
                    withoutProfiles[i].right, withoutProfiles[i].total,
                    percent(withoutProfiles[i].right, withoutProfiles[i].total), fallbacksOnly[i].right,
                    fallbacksOnly[i].total, percent(fallbacksOnly[i].right, fallbacksOnly[i].total));
    }
    const int right = inferred[0].right + inferred[1].right;
    const int total = inferred[0].total + inferred[1].total;
    std::printf("inferred overall: %d of %d (%.1f%%)\nmissed: %s\n\n", right, total, percent(right, total),
                qPrintable(misses.join(QStringLiteral(", "))));
}

void BM_DominantLanguage(benchmark::State &state) {
    const LanguageRecognizer detector;
    qsizetype i = 0;
    constexpr qsizetype count = sizeof(samples) / sizeof(samples[0]);
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.dominantLanguage(QString::fromUtf8(samples[i].text)));
        i = (i + 1) % count;
    }
}
BENCHMARK(BM_DominantLanguage);

void BM_LikeliestLanguage(benchmark::State &state) {
    const LanguageRecognizer detector;
    const QSet<QString> codes = {QStringLiteral("en"), QStringLiteral("de")};
    qsizetype i = 0;
    constexpr qsizetype count = sizeof(samples) / sizeof(samples[0]);
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.likeliestLanguage(QString::fromUtf8(samples[i].text), codes));
        i = (i + 1) % count;
    }
}
BENCHMARK(BM_LikeliestLanguage);

} // namespace

int main(int argc, char **argv) {
    printAccuracy();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
