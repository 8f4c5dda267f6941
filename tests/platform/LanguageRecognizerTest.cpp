#include "platform/LanguageRecognizer.h"

#include <gtest/gtest.h>

#include <optional>

namespace orvex {
namespace {

struct Case {
    const char *name;
    QString text;
    std::optional<QString> expected;
};

// Short texts of the kind typed after the translation trigger, and texts that carry no language.
TEST(LanguageRecognizer, PlacesShortTextsAndDeclinesTextsWithoutLetters) {
    const Case cases[] = {
        {"one German word", QStringLiteral("Geburtstag"), QStringLiteral("de")},
        {"German with umlauts", QString::fromUtf8("Kühlschrank"), QStringLiteral("de")},
        {"three German words", QStringLiteral("ich habe Hunger"), QStringLiteral("de")},
        {"one English word", QStringLiteral("newspaper"), QStringLiteral("en")},
        {"three English words", QStringLiteral("where is the station"), QStringLiteral("en")},
        {"French", QStringLiteral("bonjour tout le monde"), QStringLiteral("fr")},
        {"retired code: Hebrew", QString::fromUtf8("שלום עולם, מה שלומך היום"), QStringLiteral("he")},
        {"simplified Chinese", QString::fromUtf8("我们今天去图书馆看书"), QStringLiteral("zh-Hans")},
        {"punctuation and digits around the words", QStringLiteral("  (Geburtstag) 2024!! "),
         QStringLiteral("de")},
        {"empty", QString(), std::nullopt},
        {"only blanks", QStringLiteral(" \t\n "), std::nullopt},
        {"only digits and signs", QStringLiteral("12 + 34 = 46"), std::nullopt},
    };
    const LanguageRecognizer recognizer;
    for (const Case &c : cases)
        EXPECT_EQ(recognizer.dominantLanguage(c.text), c.expected) << c.name;
}

// What reaches the detector is always valid UTF-8 of bounded size, whatever the query holds.
TEST(LanguageRecognizer, MalformedAndHugeTextsAreSafe) {
    const LanguageRecognizer recognizer;
    QString broken = QStringLiteral("Haus");
    broken.append(QChar(0xD800)); // a lone high surrogate
    broken.append(QStringLiteral("\x01\x1b[31m"));
    broken.append(QChar(0xFFFF));
    broken.append(QChar(0xDC00));
    const QSet<QString> enDe = {QStringLiteral("en"), QStringLiteral("de")};
    EXPECT_NO_FATAL_FAILURE((void)recognizer.dominantLanguage(broken));
    EXPECT_NO_FATAL_FAILURE((void)recognizer.likeliestLanguage(broken, enDe));
    EXPECT_EQ(recognizer.dominantLanguage(QStringLiteral("good morning ").repeated(200000)),
              QStringLiteral("en"));
    EXPECT_EQ(recognizer.likeliestLanguage(QStringLiteral("good morning ").repeated(200000), enDe),
              QStringLiteral("en"));
}

// Choosing among the configured languages: short words the detector places in unrelated languages,
// and what gives no answer.
TEST(LanguageRecognizer, ChoosesAmongGivenLanguages) {
    const QSet<QString> enDe = {QStringLiteral("en"), QStringLiteral("de")};
    const struct {
        const char *name;
        QString text;
        QSet<QString> codes;
        std::optional<QString> expected;
    } cases[] = {
        {"German word read as Hmong", QStringLiteral("Haus"), enDe, QStringLiteral("de")},
        {"German words read as Danish", QStringLiteral("der Hund"), enDe, QStringLiteral("de")},
        {"English", QStringLiteral("where is the station"), enDe, QStringLiteral("en")},
        {"codes in capitals",
         QStringLiteral("Haus"),
         {QStringLiteral("EN"), QStringLiteral("De")},
         QStringLiteral("De")},
        {"too close to tell", QStringLiteral("langsam"), enDe, std::nullopt},
        {"a code without a profile leaves one",
         QStringLiteral("Haus"),
         {QStringLiteral("de"), QStringLiteral("xx-nowhere")},
         std::nullopt},
        {"a code that is a path",
         QStringLiteral("Haus"),
         {QStringLiteral("de"), QStringLiteral("../libexttextcat/en")},
         std::nullopt},
        {"one code", QStringLiteral("Haus"), {QStringLiteral("de")}, std::nullopt},
        {"no letters", QStringLiteral("12 + 34"), enDe, std::nullopt},
        {"empty", QString(), enDe, std::nullopt},
    };
    const LanguageRecognizer recognizer;
    for (const auto &c : cases)
        EXPECT_EQ(recognizer.likeliestLanguage(c.text, c.codes), c.expected) << c.name;
}

TEST(LanguageRecognizer, SharedInstanceCanBeReplacedAndRestored) {
    class Fixed final : public LanguageRecognizer {
    public:
        std::optional<QString> dominantLanguage(const QString &) const override {
            return QStringLiteral("xx");
        }
    };
    LanguageRecognizer::setShared(std::make_shared<Fixed>());
    EXPECT_EQ(LanguageRecognizer::shared()->dominantLanguage(QStringLiteral("newspaper")),
              QStringLiteral("xx"));
    LanguageRecognizer::setShared(nullptr);
    EXPECT_EQ(LanguageRecognizer::shared()->dominantLanguage(QStringLiteral("newspaper")),
              QStringLiteral("en"));
}

} // namespace
} // namespace orvex
