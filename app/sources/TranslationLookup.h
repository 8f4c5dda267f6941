#pragma once

#include "search/LauncherSettingsStores.h"
#include "sources/TranslationCommand.h"

#include <QString>

#include <memory>
#include <optional>

namespace orvex {

// One engine's answer.
struct TranslationLookupResult {
    // The translated text, never empty.
    QString text;
    // "Apple Translation" or "Argos (local)", shown in the copy row.
    QString engineLabel;
    TranslationEngineID engineID = TranslationEngineID::argos;

    bool operator==(const TranslationLookupResult &) const = default;
};

// Whether an engine can be used, with the sentence the settings show for it.
struct TranslationEngineAvailability {
    bool isAvailable = false;
    QString message;

    bool operator==(const TranslationEngineAvailability &) const = default;
};

// The stateless front of the local translation engines and of the online dictionary's address. The
// Argos members live in TranslationLookupArgos.cpp.
class TranslationLookup {
public:
    // Apple's Translation framework does not exist on Linux: always nothing.
    static std::optional<TranslationLookupResult> translateWithApple(const QString &text,
                                                                     const QString &sourceLanguageCode,
                                                                     const QString &targetLanguageCode);
    static TranslationEngineAvailability appleAvailability();

    // One translation through the shared Argos child; nothing on every failure.
    static std::optional<TranslationLookupResult> translateWithArgos(const QString &text,
                                                                     const QString &sourceLanguageCode,
                                                                     const QString &targetLanguageCode);
    // From the runtime check, run once per process (the first call may block up to 1.2 s).
    static TranslationEngineAvailability argosAvailability();

    // Starts the Argos child ahead of the first translation when Argos is among the engines and the
    // runtime check finds that its interpreter may translate (an interpreter without the package would
    // sit idle for the whole run). No list: the enabled engines of the settings in `defaults`. Returns at
    // once; the check and the start run on a worker.
    static void prewarmEnabledEnginesIfPossible(const std::optional<TranslationEngineIDs> &engines,
                                                UserDefaults &defaults);
    // Ends the Argos child and the engines' own runtime checks at once, and starts no other: for a process
    // that is going away, before it waits for the work that may be waiting on them.
    static void shutdownEngines();

    // The online dictionary: its name in row texts, its base address and the search address of a
    // command (the query item "s" carries the source text, every byte outside the unreserved set
    // percent-encoded). Nothing when the base address does not parse.
    static QString onlineDictDisplayName();
    static QString onlineDictBaseURLString();
    static std::optional<QString>
    onlineDictFallbackURLString(const TranslationCommand &command,
                                const QString &baseURLString = onlineDictBaseURLString());

    static QString currentOSVersionString();
};

// The engines as the translation rows ask them; the manager's tests substitute their own.
class TranslationEngines {
public:
    virtual ~TranslationEngines() = default;
    virtual std::optional<TranslationLookupResult> translate(TranslationEngineID engine, const QString &text,
                                                             const QString &sourceLanguageCode,
                                                             const QString &targetLanguageCode) = 0;
    virtual TranslationEngineAvailability availability(TranslationEngineID engine) = 0;

    // Apple Translation and the shared Argos child.
    static std::shared_ptr<TranslationEngines> system();
};

} // namespace orvex
