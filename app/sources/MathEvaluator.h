#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

// The calculator: answers a query that is an arithmetic expression with its formatted value. Numbers
// are parsed and printed the same way whatever the process locale is.

// One-argument functions callable as name(expression), keyed by lower-case name.
using MathFunction = double (*)(double);
const QHash<QString, MathFunction> &mathFunctions();
// Named constants, keyed by lower-case name.
const QHash<QString, double> &mathConstants();

// The guard that keeps ordinary words, file names and bare numbers away from the evaluator.
bool isMathExpression(const QString &text);

// The formatted value of an arithmetic expression, or nothing when the text is not one, cannot be
// parsed, nests too deeply or has no finite value.
std::optional<QString> evaluateMathExpression(const QString &text);

// Text form of a value: integral values below 1e15 in full, everything else with ten significant
// digits; a zero never shows a sign.
QString formatMathValue(double value);

// Recursive-descent parser over one token per user-perceived character.
//   expression = term { ("+" | "-") term }
//   term       = power { ("*" | "/") power }
//   power      = factor [ "^" power ]
//   factor     = name "(" expression ")" | name | "(" expression ")" | number
// Spaces are skipped before every token that is looked at. There are no unary signs.
class ExpressionParser {
public:
    // Parentheses, function calls and "^" each open one level; deeper input fails instead of
    // exhausting the stack.
    static constexpr int maxNestingDepth = 128;

    explicit ExpressionParser(QStringList tokens) : tokens_(std::move(tokens)) {}

    std::optional<double> parseExpression();
    std::optional<double> parseTerm();
    std::optional<double> parsePower();
    std::optional<double> parseFactor();
    QString parseIdentifier();
    std::optional<double> parseNumber();

    // True when only spaces are left after the current position.
    bool atEndIgnoringSpaces();

private:
    class Nesting;

    void skipSpaces();
    bool atEnd() const { return position_ >= tokens_.size(); }
    const QString &current() const { return tokens_[position_]; }
    bool currentIs(QChar c) const { return !atEnd() && current().size() == 1 && current()[0] == c; }

    QStringList tokens_;
    qsizetype position_ = 0;
    int depth_ = 0;
};

} // namespace orvex
