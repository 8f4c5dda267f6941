#include "sources/TranslationSource.h"

#include "platform/StringUtils.h"
#include "platform/UserDefaults.h"
#include "search/LateLookups.h"
#include "search/LauncherSettingsStores.h"
#include "search/SearchContext.h"
#include "sources/TranslationCommand.h"
#include "sources/TranslationLookup.h"

#include <QChar>

#include <algorithm>

namespace orvex {

// One candidate pair of a command and what its rows need.
struct TranslationLookupParameters {
    QString sourceText;
    QString sourceLanguageCode;
    QString targetLanguageCode;
    // 0 for the pair as asked or inferred, 1 for the reversed pair.
    int rank = 0;
    QString fallbackURLString;
    TranslationEngineIDs engineIDs;
    QString cacheKey;
};

namespace {

const QString separator = QStringLiteral(" \u00B7 ");

// How long a lookup that no engine answered is reused before the query asks again.
constexpr double unansweredTranslationLifetimeSeconds = 10;

QString trimmed(const QString &text) {
    return StringUtils::trimmedWhitespaceAndNewlines(text);
}

// Case- and diacritic-insensitive form, for telling whether an engine changed the text.
QString folded(const QString &text) {
    const QString decomposed = trimmed(text).normalized(QString::NormalizationForm_D);
    QString result;
    result.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            result.append(c);
    return result.toCaseFolded();
}

bool isChanged(const TranslationLookupResult &result, const QString &sourceText) {
    return folded(result.text) != folded(sourceText);
}

TranslationEngineIDs engineListOrArgos(const TranslationEngineIDs &engineIDs) {
    return engineIDs.isEmpty() ? TranslationEngineIDs{TranslationEngineID::argos} : engineIDs;
}

QString engineSignature(const TranslationEngineIDs &engineIDs) {
    QStringList names;
    for (TranslationEngineID engine : engineListOrArgos(engineIDs))
        names.append(rawValue(engine));
    return names.join(QLatin1Char('>'));
}

QString pairHeader(const QString &source, const QString &target) {
    return source.toUpper() + QStringLiteral(" -> ") + target.toUpper();
}

QString commandHeader(const TranslationCommand &command) {
    return command.sourceLanguageCode.toUpper() +
           (command.usesExplicitLanguagePair ? QStringLiteral(" -> ") : QStringLiteral(" <-> ")) +
           command.targetLanguageCode.toUpper();
}

QString enterOpens() {
    return QStringLiteral("Enter opens ") + TranslationLookup::onlineDictDisplayName();
}

SearchResult actionRow(const QString &seed, const QString &title, const QString &subtitle, qint64 openCount,
                       SearchResultAction action, const QString &address, const QString &sourceText) {
    return SearchResult({.id = stableNegativeID(seed),
                         .filename = title,
                         .directory = subtitle,
                         .openCount = openCount,
                         .snippet = sourceText,
                         .kind = SearchResultKind::action,
                         .action = action,
                         .actionURLString = address});
}

SearchResult pendingRow(const TranslationCommand &command, const QString &fallbackURLString) {
    return actionRow(QStringLiteral("action://translation/pending/") + command.trigger + QLatin1Char('/') +
                         command.sourceText,
                     command.sourceText,
                     commandHeader(command) + separator + QStringLiteral("Translating locally...") +
                         separator + enterOpens(),
                     0, SearchResultAction::openBrowserFavorite, fallbackURLString, command.sourceText);
}

SearchResult onlineDictRow(const TranslationCommand &command, const QString &fallbackURLString) {
    const QString address = fallbackURLString.contains(QLatin1Char('#'))
                                ? fallbackURLString
                                : fallbackURLString + QStringLiteral("#onlinedict");
    return actionRow(QStringLiteral("action://translation/onlinedict/") + command.sourceLanguageCode +
                         QLatin1Char(':') + command.targetLanguageCode + QLatin1Char('/') +
                         trimmed(command.sourceText).toLower(),
                     QStringLiteral("Search ") + TranslationLookup::onlineDictDisplayName(),
                     commandHeader(command) + separator + enterOpens(), 0,
                     SearchResultAction::openBrowserFavorite, address, command.sourceText);
}

SearchResult unchangedRow(const TranslationLookupParameters &lookup) {
    return actionRow(QStringLiteral("action://translation/unchanged/") + lookup.sourceLanguageCode +
                         QLatin1Char(':') + lookup.targetLanguageCode + QLatin1Char('/') +
                         lookup.sourceText.toLower(),
                     QStringLiteral("Search ") + TranslationLookup::onlineDictDisplayName() +
                         QStringLiteral(" for alternatives"),
                     pairHeader(lookup.sourceLanguageCode, lookup.targetLanguageCode) + separator +
                         QStringLiteral("Local result unchanged") + separator + enterOpens(),
                     0, SearchResultAction::openBrowserFavorite, lookup.fallbackURLString, lookup.sourceText);
}

SearchResult unavailableRow(const TranslationLookupParameters &lookup) {
    return actionRow(QStringLiteral("action://translation/fallback/") + lookup.sourceLanguageCode +
                         QLatin1Char(':') + lookup.targetLanguageCode + QLatin1Char('/') +
                         lookup.sourceText.toLower(),
                     lookup.sourceText,
                     pairHeader(lookup.sourceLanguageCode, lookup.targetLanguageCode) + separator +
                         QStringLiteral("Local engine unavailable") + separator + enterOpens(),
                     0, SearchResultAction::openBrowserFavorite, lookup.fallbackURLString, lookup.sourceText);
}

// Names the first engine ahead of the one that answered that cannot be used, so the user sees why a
// less preferred engine answered. Apple Translation never exists on this system: naming it on every row
// would only repeat what no setting can change, so it is passed over (its place in the stored order
// stays as the user set it).
std::optional<QString> unavailableHigherPriorityEngineNote(TranslationEngines &engines,
                                                           TranslationEngineID usedEngineID,
                                                           const TranslationEngineIDs &prioritizedEngineIDs) {
    const TranslationEngineIDs list = engineListOrArgos(prioritizedEngineIDs);
    const qsizetype position = list.indexOf(usedEngineID);
    if (position <= 0)
        return std::nullopt;
    for (qsizetype i = 0; i < position; ++i) {
        if (list[i] == TranslationEngineID::apple || engines.availability(list[i]).isAvailable)
            continue;
        return QStringLiteral("Argos (local)") + QStringLiteral(" unavailable");
    }
    return std::nullopt;
}

SearchResult copyRow(TranslationEngines &engines, const TranslationLookupParameters &lookup,
                     const TranslationLookupResult &result) {
    const QString source = trimmed(lookup.sourceText).toLower();
    const QString translation = trimmed(result.text).toLower();
    const qint64 priority = (source != translation ? 120 : 0) + std::max(0, 20 - 10 * lookup.rank);
    QString subtitle = pairHeader(lookup.sourceLanguageCode, lookup.targetLanguageCode) +
                       QStringLiteral(" via ") + result.engineLabel;
    if (const auto note = unavailableHigherPriorityEngineNote(engines, result.engineID, lookup.engineIDs))
        subtitle += separator + *note;
    subtitle += separator + QStringLiteral("Enter copies");
    return actionRow(
        QStringLiteral("action://translation/copy/") + lookup.sourceLanguageCode + QLatin1Char(':') +
            lookup.targetLanguageCode + QLatin1Char('/') + source + QLatin1Char('/') + translation,
        result.text, subtitle, priority, SearchResultAction::copyToClipboard, result.text, lookup.sourceText);
}

// Asks the engines in order: the first answer that differs from `original` wins at once; otherwise the
// first answer that does not, when `acceptUnchanged`.
std::optional<TranslationLookupResult> askEngines(TranslationEngines &engines,
                                                  const TranslationEngineIDs &engineIDs, const QString &text,
                                                  const QString &original, const QString &sourceLanguageCode,
                                                  const QString &targetLanguageCode, bool acceptUnchanged) {
    std::optional<TranslationLookupResult> firstUnchanged;
    for (TranslationEngineID engine : engineListOrArgos(engineIDs)) {
        auto result = engines.translate(engine, text, sourceLanguageCode, targetLanguageCode);
        if (!result)
            continue;
        if (isChanged(*result, original))
            return result;
        if (!firstUnchanged)
            firstUnchanged = std::move(result);
    }
    return acceptUnchanged ? firstUnchanged : std::nullopt;
}

// A German noun typed in lower case often comes back untouched; the capitalised word is tried once.
bool shouldRetryWithLeadingCapitalization(const QString &text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (StringUtils::isWhitespaceOrNewline(c.unicode()))
            return false;
    const QString first = text.left(text.at(0).isHighSurrogate() ? 2 : 1);
    const char32_t codePoint = first.toUcs4().value(0);
    return QChar::isLetter(codePoint) && first.toLower() == first;
}

std::optional<TranslationLookupResult>
retryLocalizedVariantLookupIfNeeded(TranslationEngines &engines, const TranslationLookupParameters &lookup) {
    if (lookup.sourceLanguageCode != QLatin1String("de"))
        return std::nullopt;
    const QString text = trimmed(lookup.sourceText);
    if (!shouldRetryWithLeadingCapitalization(text))
        return std::nullopt;
    const qsizetype firstLength = text.at(0).isHighSurrogate() ? 2 : 1;
    const QString variant = text.left(firstLength).toUpper() + text.mid(firstLength);
    if (variant == text)
        return std::nullopt;
    return askEngines(engines, lookup.engineIDs, variant, variant, lookup.sourceLanguageCode,
                      lookup.targetLanguageCode, false);
}

// The body of a background lookup: everything slow, run with no lock held.
SearchResults lookUpTranslationRows(TranslationEngines &engines, const TranslationLookupParameters &lookup) {
    const auto result = askEngines(engines, lookup.engineIDs, lookup.sourceText, lookup.sourceText,
                                   lookup.sourceLanguageCode, lookup.targetLanguageCode, true);
    if (!result)
        return {unavailableRow(lookup)};
    if (isChanged(*result, lookup.sourceText))
        return {copyRow(engines, lookup, *result)};
    const TranslationLookupResult chosen =
        retryLocalizedVariantLookupIfNeeded(engines, lookup).value_or(*result);
    SearchResults rows{copyRow(engines, lookup, chosen)};
    if (!isChanged(chosen, lookup.sourceText))
        rows.append(unchangedRow(lookup));
    return rows;
}

// First row of each identity (action, address, lowercased subtitle), then by priority and title.
SearchResults mergedTranslationRows(const SearchResults &rows) {
    SearchResults merged;
    QSet<QString> seen;
    for (const SearchResult &row : rows) {
        const QString identity = (row.action() ? rawValue(*row.action()) : QStringLiteral("none")) +
                                 QLatin1Char('|') + row.actionURLString().value_or(QString()) +
                                 QLatin1Char('|') + row.directory().toLower();
        if (seen.contains(identity))
            continue;
        seen.insert(identity);
        merged.append(row);
    }
    std::stable_sort(merged.begin(), merged.end(), [](const SearchResult &a, const SearchResult &b) {
        if (a.openCount() != b.openCount())
            return a.openCount() > b.openCount();
        return StringUtils::localizedCaseInsensitiveCompare(a.filename(), b.filename()) < 0;
    });
    return merged;
}

SearchResults appendingOnlineDictRowIfNeeded(const SearchResult &dictionaryRow, SearchResults rows) {
    const bool present = std::any_of(rows.begin(), rows.end(), [&](const SearchResult &row) {
        return row.action() == SearchResultAction::openBrowserFavorite &&
               row.filename() == dictionaryRow.filename() &&
               row.actionURLString() == dictionaryRow.actionURLString();
    });
    if (!present)
        rows.append(dictionaryRow);
    return rows;
}

std::optional<TranslationCommand> parsedCommand(UserDefaults &defaults, const QString &query) {
    const TranslationCommandSettingsStore triggerStore(defaults);
    const QString trigger =
        TranslationCommandParser::normalizeTrigger(triggerStore.rawTrigger(), triggerStore.defaultTrigger);
    const QStringList codeList = TranslationLanguageSettingsStore(defaults).load();
    return TranslationCommandParser::parse(query, trigger, QSet<QString>(codeList.begin(), codeList.end()));
}

} // namespace

TranslationSource::TranslationSource(Configuration configuration) : configuration_(std::move(configuration)) {
    Q_ASSERT(configuration_.defaults && configuration_.clock);
}

QString TranslationSource::id() const {
    return QStringLiteral("translation");
}

bool TranslationSource::bypassesQueryCaches(const SearchContext &context) const {
    return parsedCommand(*configuration_.defaults, context.query()).has_value();
}

bool TranslationSource::hasLateLookupsInFlight() const {
    std::lock_guard guard(mutex_);
    return !inFlightKeys_.isEmpty();
}

SearchResults TranslationSource::match(const SourceSnapshot &, const SearchContext &context) const {
    UserDefaults &defaults = *configuration_.defaults;
    const auto command = parsedCommand(defaults, context.query());
    if (!command)
        return {};

    const QString fallbackURLString = TranslationLookup::onlineDictFallbackURLString(*command).value_or(
        TranslationLookup::onlineDictBaseURLString());
    const SearchResult dictionaryRow = onlineDictRow(*command, fallbackURLString);

    struct Candidate {
        QString source;
        QString target;
        int rank;
    };
    QList<Candidate> candidates{{command->sourceLanguageCode, command->targetLanguageCode, 0}};
    if (!command->usesExplicitLanguagePair && command->sourceLanguageCode != command->targetLanguageCode)
        candidates.append({command->targetLanguageCode, command->sourceLanguageCode, 1});

    const TranslationEngineIDs engineIDs =
        engineListOrArgos(TranslationEngineSettingsStore(defaults).load().prioritizedEnabledEngineIDs());
    const QString signature = engineSignature(engineIDs);
    const QString textKey = trimmed(command->sourceText).toLower();

    LateLookups *lateLookups = context.lateLookups();
    SearchResults collected;
    bool pending = false;
    for (const Candidate &candidate : candidates) {
        const QString key = candidate.source + QStringLiteral("->") + candidate.target + QLatin1Char('|') +
                            signature + QLatin1Char('|') + textKey;
        if (const auto rows = cachedRows(key)) {
            collected.append(*rows);
            continue;
        }
        // Without late lookups the answer is the cached rows and the dictionary row: a pending row would
        // promise a translation that never comes.
        if (!lateLookups || !lateLookups->enabled())
            continue;
        pending = true;
        {
            std::lock_guard guard(mutex_);
            if (inFlightKeys_.contains(key) || lateLookups->cancelled().load())
                continue;
            inFlightKeys_.insert(key);
        }
        TranslationLookupParameters lookup;
        lookup.sourceText = command->sourceText;
        lookup.sourceLanguageCode = candidate.source;
        lookup.targetLanguageCode = candidate.target;
        lookup.rank = candidate.rank;
        lookup.fallbackURLString = fallbackURLString;
        lookup.engineIDs = engineIDs;
        lookup.cacheKey = key;
        std::shared_ptr<TranslationEngines> engines =
            configuration_.engines ? configuration_.engines : TranslationEngines::system();
        // The manager joins its pool before it lets its sources go, so the task may use `this`.
        const bool started = lateLookups->start([this, lookup, engines, lateLookups] {
            SearchResults rows;
            try {
                rows = lookUpTranslationRows(*engines, lookup);
            } catch (...) {
                // An engine that fails in an unexpected way counts as one that could not answer; the key
                // is released whatever happens.
                try {
                    rows = {unavailableRow(lookup)};
                } catch (...) {
                }
            }
            finishLookup(lookup, rows);
            lateLookups->rowsArrived(false);
        });
        if (!started) {
            std::lock_guard guard(mutex_);
            inFlightKeys_.remove(key);
        }
    }

    const SearchResults merged = mergedTranslationRows(collected);
    if (merged.isEmpty() && !pending)
        return {dictionaryRow};
    SearchResults rows = merged;
    if (pending)
        rows.append(pendingRow(*command, fallbackURLString));
    return appendingOnlineDictRowIfNeeded(dictionaryRow, rows);
}

std::optional<SearchResults> TranslationSource::cachedRows(const QString &key) const {
    std::lock_guard guard(mutex_);
    const auto entry = cache_.constFind(key);
    if (entry == cache_.cend())
        return std::nullopt;
    if (configuration_.clock->now().secondsSince(entry->cachedAt) > cacheLifetimeSeconds) {
        cache_.erase(entry);
        return std::nullopt;
    }
    return entry->results;
}

void TranslationSource::finishLookup(const TranslationLookupParameters &lookup,
                                     const SearchResults &rows) const {
    const Date now = configuration_.clock->now();
    std::lock_guard guard(mutex_);
    cache_.insert(lookup.cacheKey, QueryResultCacheEntry{rows, now});
    if (const qsizetype excess = cache_.size() - cacheMaxEntries; excess > 0) {
        QList<std::pair<Date, QString>> byAge;
        for (auto it = cache_.cbegin(); it != cache_.cend(); ++it)
            byAge.append({it->cachedAt, it.key()});
        std::stable_sort(byAge.begin(), byAge.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        for (qsizetype i = 0; i < excess; ++i)
            cache_.remove(byAge[i].second);
    }
    // No engine answered: often a child still starting or a model still loading, not a lasting state.
    // The outcome is stored as if older, so it serves the re-run this lookup triggers but the query asks
    // again after a few seconds instead of showing it for the full lifetime.
    const bool unanswered = rows.size() == 1 && rows.first().id() == unavailableRow(lookup).id();
    if (unanswered) {
        if (const auto entry = cache_.find(lookup.cacheKey); entry != cache_.end())
            entry->cachedAt = now.addingSeconds(unansweredTranslationLifetimeSeconds - cacheLifetimeSeconds);
    }
    inFlightKeys_.remove(lookup.cacheKey);
}

} // namespace orvex
