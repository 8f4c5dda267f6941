#pragma once

#include "search/Source.h"

namespace orvex {

// The calculator's row: a query that is an arithmetic expression (see MathEvaluator.h) answers with its
// value, which Enter copies.
class CalculatorSource final : public Source {
public:
    QString id() const override;
    double timeToLive() const override { return perQuery; }
    SourcePlace place() const override { return SourcePlace::beforeCoreRows; }
    std::shared_ptr<const SourceSnapshot> initialSnapshot() const override;
    std::shared_ptr<const SourceSnapshot> crawl(const std::atomic<bool> &cancelled) const override;
    SearchResults match(const SourceSnapshot &snapshot, const SearchContext &context) const override;
};

} // namespace orvex
