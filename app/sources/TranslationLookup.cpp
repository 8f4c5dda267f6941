#include "sources/TranslationLookup.h"

#include "platform/WorkerPool.h"
#include "sources/TranslationLookupArgos.h"

#include <QSysInfo>
#include <QUrl>

namespace orvex {

// ---- Apple Translation ----

std::optional<TranslationLookupResult> TranslationLookup::translateWithApple(const QString &, const QString &,
                                                                             const QString &) {
    // Apple's Translation framework exists only on macOS 26 and later.
    return std::nullopt;
}

TranslationEngineAvailability TranslationLookup::appleAvailability() {
    return {false, QStringLiteral("Unavailable on ") + currentOSVersionString() +
                       QStringLiteral("; Apple Translation runs only on macOS.")};
}

QString TranslationLookup::currentOSVersionString() {
    const QString name = QSysInfo::prettyProductName();
    return name.isEmpty() ? QSysInfo::kernelType() : name;
}

// ---- Prewarm ----

void TranslationLookup::prewarmEnabledEnginesIfPossible(const std::optional<TranslationEngineIDs> &engines,
                                                        UserDefaults &defaults) {
    TranslationEngineIDs list;
    if (engines) {
        list = *engines;
    } else {
        list = TranslationEngineSettingsStore(defaults).load().prioritizedEnabledEngineIDs();
        if (list.isEmpty())
            list = {TranslationEngineID::argos};
    }
    for (TranslationEngineID engine : list) {
        if (engine != TranslationEngineID::argos)
            continue;
        const auto python = ArgosRuntime::resolvedPythonExecutablePath();
        if (!python)
            continue;
        const QProcessEnvironment environment = ArgosRuntime::processEnvironment(*python);
        waitingWorkPool()->start([path = *python, environment] {
            const auto status = ArgosRuntime::argosRuntimeStatus(ArgosRuntime::engineShutdownToken());
            if (!status || !ArgosRuntime::availability(*status).isAvailable)
                return;
            ArgosDaemon::shared().prewarm(path, environment);
        });
    }
}

// ---- Online dictionary ----

QString TranslationLookup::onlineDictDisplayName() {
    return QStringLiteral("dict.cc");
}

QString TranslationLookup::onlineDictBaseURLString() {
    return QStringLiteral("https://www.dict.cc/");
}

std::optional<QString> TranslationLookup::onlineDictFallbackURLString(const TranslationCommand &command,
                                                                      const QString &baseURLString) {
    const QUrl base(baseURLString, QUrl::StrictMode);
    if (!base.isValid() || base.isRelative())
        return std::nullopt;
    // Encoded by hand: URL components leave "+", "&", "#" and friends alone in a query value, and the
    // dictionary would read them as separators.
    const QString address = base.toString(QUrl::FullyEncoded | QUrl::RemoveQuery | QUrl::RemoveFragment);
    return address + QStringLiteral("?s=") + QString::fromLatin1(QUrl::toPercentEncoding(command.sourceText));
}

// ---- Engines as the rows use them ----

namespace {

class SystemTranslationEngines final : public TranslationEngines {
public:
    std::optional<TranslationLookupResult> translate(TranslationEngineID engine, const QString &text,
                                                     const QString &sourceLanguageCode,
                                                     const QString &targetLanguageCode) override {
        if (engine == TranslationEngineID::apple)
            return TranslationLookup::translateWithApple(text, sourceLanguageCode, targetLanguageCode);
        return TranslationLookup::translateWithArgos(text, sourceLanguageCode, targetLanguageCode);
    }

    TranslationEngineAvailability availability(TranslationEngineID engine) override {
        if (engine == TranslationEngineID::apple)
            return TranslationLookup::appleAvailability();
        return TranslationLookup::argosAvailability();
    }
};

} // namespace

std::shared_ptr<TranslationEngines> TranslationEngines::system() {
    static const std::shared_ptr<TranslationEngines> engines = std::make_shared<SystemTranslationEngines>();
    return engines;
}

} // namespace orvex
