#include "sources/TranslationCommand.h"
#include "platform/LanguageRecognizer.h"

#include <gtest/gtest.h>

#include <ostream>

namespace orvex {

void PrintTo(const TranslationCommand &command, std::ostream *out) {
    *out << "{" << command.trigger.toStdString() << ", \"" << command.sourceText.toStdString() << "\", "
         << command.sourceLanguageCode.toStdString() << " -> " << command.targetLanguageCode.toStdString()
         << (command.usesExplicitLanguagePair ? ", explicit}" : ", inferred}");
}

namespace {

class FixedRecognizer final : public LanguageRecognizer {
public:
    explicit FixedRecognizer(std::optional<QString> answer, std::optional<QString> likeliest = std::nullopt)
        : answer_(std::move(answer)), likeliest_(std::move(likeliest)) {}
    std::optional<QString> dominantLanguage(const QString &) const override { return answer_; }
    std::optional<QString> likeliestLanguage(const QString &, const QSet<QString> &) const override {
        return likeliest_;
    }

private:
    std::optional<QString> answer_;
    std::optional<QString> likeliest_;
};

TEST(TranslationCommandParser, NormalizesTheTrigger) {
    const struct {
        QString raw;
        QString expected;
    } cases[] = {
        {QStringLiteral("  C-C!! "), QStringLiteral("c-c")},
        {QStringLiteral("日本"), QStringLiteral("日本")},
        {QStringLiteral("abcdefghijklmnop"), QStringLiteral("abcdefghijkl")},
        {QStringLiteral("!!!"), QStringLiteral("fallback")},
        {QString(), QStringLiteral("fallback")},
        {QStringLiteral("\tÜber_1\n"), QStringLiteral("über_1")},
        // Letters with combining marks count as one character each.
        {QStringLiteral(
             "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301x"),
         QStringLiteral(
             "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301")},
        {QStringLiteral("tr٣"), QStringLiteral("tr٣")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TranslationCommandParser::normalizeTrigger(c.raw, QStringLiteral("fallback")).toStdString(),
                  c.expected.toStdString())
            << c.raw.toStdString();
}

TEST(TranslationCommandParser, ParsesQueries) {
    const QSet<QString> enDe = {QStringLiteral("en"), QStringLiteral("de")};
    const auto command = [](QString text, QString source, QString target, bool isExplicit) {
        return std::optional(TranslationCommand{.trigger = QStringLiteral("cc"),
                                                .sourceText = std::move(text),
                                                .sourceLanguageCode = std::move(source),
                                                .targetLanguageCode = std::move(target),
                                                .usesExplicitLanguagePair = isExplicit});
    };
    const struct {
        const char *name;
        QString query;
        QSet<QString> codes;
        std::optional<QString> recognized;
        std::optional<TranslationCommand> expected;
        // Which configured language the text reads most like.
        std::optional<QString> likeliest = std::nullopt;
    } cases[] = {
        {"recogniser first", QStringLiteral("cc Haus"), enDe, QStringLiteral("de"),
         command(QStringLiteral("Haus"), QStringLiteral("de"), QStringLiteral("en"), false)},
        {"no recogniser answer and no umlaut: en", QStringLiteral("cc Haus"), enDe, std::nullopt,
         command(QStringLiteral("Haus"), QStringLiteral("en"), QStringLiteral("de"), false)},
        {"recogniser answer outside the codes", QStringLiteral("cc Haus"), enDe, QStringLiteral("fr"),
         command(QStringLiteral("Haus"), QStringLiteral("en"), QStringLiteral("de"), false)},
        {"placed elsewhere, the likeliest configured language", QStringLiteral("cc Haus"), enDe,
         QStringLiteral("hmn"),
         command(QStringLiteral("Haus"), QStringLiteral("de"), QStringLiteral("en"), false),
         QStringLiteral("de")},
        {"a configured answer of the detector is not second-guessed", QStringLiteral("cc gestern"), enDe,
         QStringLiteral("en"),
         command(QStringLiteral("gestern"), QStringLiteral("en"), QStringLiteral("de"), false),
         QStringLiteral("de")},
        {"likeliest language outside the codes", QStringLiteral("cc Haus"), enDe, std::nullopt,
         command(QStringLiteral("Haus"), QStringLiteral("en"), QStringLiteral("de"), false),
         QStringLiteral("fr")},
        {"recogniser answer is lowercased", QStringLiteral("cc Haus"), enDe, QStringLiteral("DE"),
         command(QStringLiteral("Haus"), QStringLiteral("de"), QStringLiteral("en"), false)},
        {"German letter", QStringLiteral("cc Straße"), enDe, std::nullopt,
         command(QStringLiteral("Straße"), QStringLiteral("de"), QStringLiteral("en"), false)},
        {"upper-case umlaut does not count", QStringLiteral("cc ÄRGER"), enDe, QStringLiteral("it"),
         command(QStringLiteral("ÄRGER"), QStringLiteral("en"), QStringLiteral("de"), false)},
        {"explicit pair", QStringLiteral("cc de:en Haus"), enDe, std::nullopt,
         command(QStringLiteral("Haus"), QStringLiteral("de"), QStringLiteral("en"), true)},
        {"trigger word in capitals", QStringLiteral("CC de:en Haus"), enDe, std::nullopt,
         command(QStringLiteral("Haus"), QStringLiteral("de"), QStringLiteral("en"), true)},
        {"pair codes are normalised", QStringLiteral("cc DE:En  big  house "), enDe, std::nullopt,
         command(QStringLiteral("big  house"), QStringLiteral("de"), QStringLiteral("en"), true)},
        {"white space around the text", QStringLiteral(" cc \t  Haus  Maus \n"), enDe, QStringLiteral("de"),
         command(QStringLiteral("Haus  Maus"), QStringLiteral("de"), QStringLiteral("en"), false)},
        {"pair without text", QStringLiteral("cc de:en"), enDe, std::nullopt, std::nullopt},
        {"pair followed by spaces", QStringLiteral("cc de:en    "), enDe, std::nullopt, std::nullopt},
        {"trigger alone", QStringLiteral("cc"), enDe, std::nullopt, std::nullopt},
        {"trigger and spaces", QStringLiteral("cc    "), enDe, std::nullopt, std::nullopt},
        {"word that starts with the trigger", QStringLiteral("ccx hello"), enDe, std::nullopt, std::nullopt},
        {"other word first", QStringLiteral("hello cc world"), enDe, std::nullopt, std::nullopt},
        {"pair of unconfigured codes", QStringLiteral("cc fr:it bonjour"), enDe, std::nullopt, std::nullopt},
        {"pair of one code twice", QStringLiteral("cc en:en hello"), enDe, std::nullopt, std::nullopt},
        {"three codes are text", QStringLiteral("cc en:de:fr hello"), enDe, std::nullopt,
         command(QStringLiteral("en:de:fr hello"), QStringLiteral("en"), QStringLiteral("de"), false)},
        {"digits are no codes", QStringLiteral("cc 12:34 x"), enDe, std::nullopt,
         command(QStringLiteral("12:34 x"), QStringLiteral("en"), QStringLiteral("de"), false)},
        {"one code after normalisation",
         QStringLiteral("cc hello"),
         {QStringLiteral("en"), QStringLiteral("EN ")},
         std::nullopt,
         std::nullopt},
        {"no en configured",
         QStringLiteral("cc bonjour"),
         {QStringLiteral("it"), QStringLiteral("fr")},
         std::nullopt,
         command(QStringLiteral("bonjour"), QStringLiteral("fr"), QStringLiteral("it"), false)},
        {"German letter with de and fr",
         QStringLiteral("cc Grüße"),
         {QStringLiteral("de"), QStringLiteral("fr")},
         std::nullopt,
         command(QStringLiteral("Grüße"), QStringLiteral("de"), QStringLiteral("fr"), false)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const FixedRecognizer recognizer(c.recognized, c.likeliest);
        EXPECT_EQ(TranslationCommandParser::parse(c.query, QStringLiteral("cc"), c.codes, &recognizer),
                  c.expected);
    }
}

// The system recogniser on short texts the detector alone places outside English and German.
TEST(TranslationCommandParser, SystemRecognizerNamesTheSourceOfShortTexts) {
    const QSet<QString> enDe = {QStringLiteral("en"), QStringLiteral("de")};
    const LanguageRecognizer recognizer;
    const struct {
        const char *text;
        const char *source;
    } cases[] = {
        {"Haus", "de"},         {"Hund", "de"},
        {"der Hund", "de"},     {"Staubsauger", "de"},
        {"Kühlschrank", "de"},  {"ich habe Hunger", "de"},
        {"house", "en"},        {"umbrella", "en"},
        {"fire brigade", "en"}, {"where is the station", "en"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(
            TranslationCommandParser::inferredSourceLanguageCode(QString::fromUtf8(c.text), enDe, &recognizer)
                .toStdString(),
            c.source)
            << c.text;
}

TEST(TranslationCommandParser, UsesTheNormalisedTrigger) {
    const QSet<QString> codes = {QStringLiteral("en"), QStringLiteral("de")};
    const FixedRecognizer silent(std::nullopt);
    const auto custom =
        TranslationCommandParser::parse(QStringLiteral("TR! hello"), QStringLiteral(" Tr "), codes, &silent);
    EXPECT_FALSE(custom) << "the query's first word is compared as typed, lowercased only";
    const auto matched =
        TranslationCommandParser::parse(QStringLiteral("TR hello"), QStringLiteral(" Tr! "), codes, &silent);
    ASSERT_TRUE(matched);
    EXPECT_EQ(matched->trigger, QStringLiteral("tr"));
    const auto fallback =
        TranslationCommandParser::parse(QStringLiteral("cc hello"), QStringLiteral("!!!"), codes, &silent);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->trigger, QStringLiteral("cc"));
}

TEST(TranslationCommandParser, InfersTheTarget) {
    const struct {
        QString source;
        QSet<QString> codes;
        QString expected;
    } cases[] = {
        {QStringLiteral("de"), {QStringLiteral("de"), QStringLiteral("fr")}, QStringLiteral("fr")},
        {QStringLiteral("en"), {QStringLiteral("en"), QStringLiteral("fr")}, QStringLiteral("fr")},
        {QStringLiteral("fr"), {QStringLiteral("en"), QStringLiteral("fr")}, QStringLiteral("en")},
        {QStringLiteral("en"), {QStringLiteral("en"), QStringLiteral("de")}, QStringLiteral("de")},
        {QStringLiteral("de"), {QStringLiteral("en"), QStringLiteral("de")}, QStringLiteral("en")},
        {QStringLiteral("it"), {QStringLiteral("it")}, QStringLiteral("it")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TranslationCommandParser::inferredTargetLanguageCode(c.source, c.codes).toStdString(),
                  c.expected.toStdString())
            << c.source.toStdString();
}

TEST(TranslationCommandParser, RecognisesPairTokens) {
    const QSet<QString> codes = {QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("zh-hans")};
    EXPECT_EQ(TranslationCommandParser::normalizedLanguageCode(QStringLiteral(" pt_BR ")),
              QStringLiteral("ptbr"));
    EXPECT_EQ(TranslationCommandParser::normalizedLanguageCode(QStringLiteral("zh-Hans")),
              QStringLiteral("zh-hans"));
    EXPECT_EQ(TranslationCommandParser::parseLanguagePairToken(QStringLiteral("zh-Hans:EN"), codes),
              std::pair(QStringLiteral("zh-hans"), QStringLiteral("en")));
    EXPECT_FALSE(TranslationCommandParser::parseLanguagePairToken(QStringLiteral("de:"), codes));
    EXPECT_FALSE(TranslationCommandParser::isLanguagePairToken(QStringLiteral("de:")));
    EXPECT_FALSE(TranslationCommandParser::isLanguagePairToken(QStringLiteral("1:2")));
    EXPECT_TRUE(TranslationCommandParser::isLanguagePairToken(QStringLiteral("xx:yy")));
}

} // namespace
} // namespace orvex
