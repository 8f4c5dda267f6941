#include "search/Ranking.h"

#include "search/AppsSource.h"
#include "search/SearchRankingSettings.h"

#include "platform/StringUtils.h"

#include <algorithm>
#include <limits>

namespace orvex {
namespace {

constexpr qint64 matchScores[] = {0, 250, 500, 1000};
constexpr qint64 directPathScore = 5000;
constexpr qint64 recentActivationBonus = 800;
constexpr qint64 snippetBonus = 50;
constexpr qint64 maximumCountedOpens = 50;

qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

qint64 baseScore(const SearchResult &result) {
    if (result.kind() == SearchResultKind::app)
        return 600;
    const auto action = result.action();
    if (action == SearchResultAction::openSystemSettings || action == SearchResultAction::focusBrowserTab)
        return 300;
    if (action == SearchResultAction::openNotionPage)
        return 280;
    if (action == SearchResultAction::openBrowserFavorite)
        return 250;
    switch (result.kind()) {
    case SearchResultKind::folder:
        return 70;
    case SearchResultKind::action:
        return 60;
    default:
        return 0;
    }
}

qint64 usageWeight(const SearchResult &result) {
    const bool walkedApp = result.kind() == SearchResultKind::app && !result.databaseID();
    return walkedApp || result.action() == SearchResultAction::openSystemSettings ? 120 : 40;
}

bool isAscii(const QString &text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

std::optional<qint64> fixedScore(const SearchResult &result) {
    if (result.action() == SearchResultAction::copyToClipboard)
        return 10000;
    if (result.action() == SearchResultAction::openBrowserFavorite) {
        const QString subtitle = result.directory().toLower();
        if (subtitle.contains(QLatin1String("translating locally")))
            return 9500;
        if (subtitle.contains(QLatin1String("local engine unavailable")))
            return 9000;
        if (subtitle.contains(QLatin1String("local result unchanged")))
            return 8800;
    }
    return std::nullopt;
}

qint64 relevanceScore(const SearchResult &result, const QString &queryLowercased,
                      const SearchRankingPreferences &rankingPreferences) {
    if (const auto fixed = fixedScore(result))
        return *fixed;
    if (result.isDirectPathMatch())
        return directPathScore;

    const auto tier =
        textMatchTier(result, queryLowercased, rankingPreferences.sortedSuffixesForBasenameStripping());
    // Counts come from the database and from stored values: clamp before weighting so that neither a
    // negative nor a huge count can skew or overflow the sum.
    const qint64 opens = std::clamp<qint64>(result.openCount(), 0, maximumCountedOpens);
    qint64 score = matchScores[static_cast<int>(tier)];
    score = saturatingAdd(score, baseScore(result));
    score = saturatingAdd(score, opens * usageWeight(result));
    if (result.isRecentActivation())
        score = saturatingAdd(score, recentActivationBonus);
    if (result.snippet())
        score = saturatingAdd(score, snippetBonus);
    return saturatingAdd(score, rankingPreferences.extensionBoost(result));
}

TextMatchTier textMatchTier(const SearchResult &result, const QString &queryLowercased,
                            const QStringList &sortedSuffixes) {
    const QString q = matchingForm(queryLowercased);
    const QString name = matchingForm(result.filename());
    const QString basename = matchingForm(searchableBasename(result.filename(), sortedSuffixes));
    if (basename == q || name == q)
        return TextMatchTier::exact;
    if (basename.startsWith(q) || name.startsWith(q))
        return TextMatchTier::prefix;
    if (basename.contains(q) || name.contains(q) || matchingForm(result.directory()).contains(q) ||
        (result.snippet() && matchingForm(*result.snippet()).contains(q)) ||
        (!isDesktopApplicationRow(result) && matchingForm(result.fullPath()).contains(q)))
        return TextMatchTier::contains;
    return TextMatchTier::none;
}

QString matchingForm(const QString &text) {
    return text.toLower().normalized(QString::NormalizationForm_C);
}

QString searchableBasename(const QString &filename, const QStringList &sortedSuffixes) {
    const QString name = filename.toLower();
    for (const QString &suffix : sortedSuffixes) {
        if (!name.endsWith(suffix))
            continue;
        // Suffixes are counted in user-perceived characters; ASCII suffixes (the usual case) are
        // one code unit per character.
        const QString rest =
            isAscii(suffix) ? name.chopped(suffix.size())
                            : StringUtils::droppingLastGraphemes(name, StringUtils::graphemeCount(suffix));
        return rest.isEmpty() ? name : rest;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return name;
    return name.left(dot);
}

} // namespace orvex
