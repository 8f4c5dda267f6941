#pragma once

#include "search/Source.h"

namespace orvex {

// The calculator's row: a query that is an arithmetic expression (see MathEvaluator.h) answers with its
// value, which Enter copies.
class CalculatorSource final : public PerQuerySource {
public:
    QString id() const override;
    SourcePlace place() const override { return SourcePlace::beforeCoreRows; }
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const override;
};

} // namespace orvex
