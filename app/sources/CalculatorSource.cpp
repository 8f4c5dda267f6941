#include "sources/CalculatorSource.h"

#include "search/SearchContext.h"
#include "sources/MathEvaluator.h"

namespace orvex {

QString CalculatorSource::id() const {
    return QStringLiteral("calculator");
}

SearchResults CalculatorSource::match(const SourceSnapshot &, const SearchContext &context) const {
    const QString &query = context.query();
    const std::optional<QString> value = evaluateMathExpression(query);
    if (!value)
        return {};
    return {SearchResult({
        .id = stableNegativeID(QStringLiteral("action://calculator/") + query),
        .filename = *value,
        .directory = query,
        .kind = SearchResultKind::action,
        .action = SearchResultAction::copyToClipboard,
        .actionURLString = *value,
    })};
}

} // namespace orvex
