// The translation command: every query the user types is tried as "<trigger> [source:target] <text>",
// with a trigger the user may set to anything.
#include "FuzzSupport.h"

#include "sources/TranslationCommand.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const QSet<QString> supported = {QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("fr"),
                                            QStringLiteral("es"), QStringLiteral("zh-hans")};
    // Text before the first line feed is the stored trigger; without one the default trigger is used.
    const QString input = fuzz::text(data, size);
    const qsizetype split = input.indexOf(QLatin1Char('\n'));
    const QString trigger = split < 0 ? QStringLiteral("cc") : input.left(split);
    const QString query = split < 0 ? input : input.mid(split + 1);

    const QString normalizedTrigger =
        TranslationCommandParser::normalizeTrigger(trigger, QStringLiteral("cc"));
    ORVEX_FUZZ_CHECK(!normalizedTrigger.isEmpty());

    const auto command = TranslationCommandParser::parse(query, trigger, supported);
    if (!command)
        return 0;
    ORVEX_FUZZ_CHECK(command->trigger == normalizedTrigger);
    ORVEX_FUZZ_CHECK(!command->sourceText.isEmpty());
    ORVEX_FUZZ_CHECK(supported.contains(command->sourceLanguageCode));
    ORVEX_FUZZ_CHECK(supported.contains(command->targetLanguageCode));
    ORVEX_FUZZ_CHECK(command->sourceLanguageCode != command->targetLanguageCode);
    return 0;
}
