#include "sources/MathEvaluator.h"

#include "platform/StringUtils.h"

#include <QChar>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orvex {

namespace {

// The nineteen characters an expression may hold besides letters.
bool isExpressionSymbol(char32_t c) {
    return (c >= U'0' && c <= U'9') || c == U'.' || c == U'+' || c == U'-' || c == U'*' || c == U'/' ||
           c == U'^' || c == U'(' || c == U')' || c == U' ';
}

bool isOperatorSymbol(char32_t c) {
    return c == U'+' || c == U'-' || c == U'*' || c == U'/' || c == U'^';
}

bool isCasedLetter(char32_t c) {
    const auto category = QChar::category(c);
    return category == QChar::Letter_Lowercase || category == QChar::Letter_Uppercase ||
           category == QChar::Letter_Titlecase;
}

bool isNumberCharacter(char32_t c) {
    const auto category = QChar::category(c);
    return category == QChar::Number_DecimalDigit || category == QChar::Number_Letter ||
           category == QChar::Number_Other;
}

// Fixed table order, so that names of equal length are always removed in the same order.
const QStringList &functionNamesLongestFirst() {
    static const QStringList names = [] {
        QStringList list = {QStringLiteral("sqrt"),  QStringLiteral("abs"),   QStringLiteral("ceil"),
                            QStringLiteral("floor"), QStringLiteral("round"), QStringLiteral("sin"),
                            QStringLiteral("cos"),   QStringLiteral("tan"),   QStringLiteral("log"),
                            QStringLiteral("ln")};
        std::stable_sort(list.begin(), list.end(),
                         [](const QString &a, const QString &b) { return a.size() > b.size(); });
        return list;
    }();
    return names;
}

const QStringList &constantNames() {
    static const QStringList names = {QStringLiteral("pi"), QStringLiteral("e")};
    return names;
}

QStringList graphemeTokens(const QString &text) {
    QStringList tokens;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        if (end > start)
            tokens.append(text.mid(start, end - start));
        start = end;
    }
    return tokens;
}

char32_t firstCodePoint(const QString &token) {
    return token.isEmpty() ? U'\0' : token.toUcs4().value(0);
}

} // namespace

const QHash<QString, MathFunction> &mathFunctions() {
    static const QHash<QString, MathFunction> table = {
        {QStringLiteral("sqrt"), [](double x) { return std::sqrt(x); }},
        {QStringLiteral("abs"), [](double x) { return std::fabs(x); }},
        {QStringLiteral("ceil"), [](double x) { return std::ceil(x); }},
        {QStringLiteral("floor"), [](double x) { return std::floor(x); }},
        // Halves go away from zero.
        {QStringLiteral("round"), [](double x) { return std::round(x); }},
        {QStringLiteral("sin"), [](double x) { return std::sin(x); }},
        {QStringLiteral("cos"), [](double x) { return std::cos(x); }},
        {QStringLiteral("tan"), [](double x) { return std::tan(x); }},
        {QStringLiteral("log"), [](double x) { return std::log10(x); }},
        {QStringLiteral("ln"), [](double x) { return std::log(x); }},
    };
    return table;
}

const QHash<QString, double> &mathConstants() {
    static const QHash<QString, double> table = {
        {QStringLiteral("pi"), 3.141592653589793},
        {QStringLiteral("e"), 2.718281828459045},
    };
    return table;
}

bool isMathExpression(const QString &text) {
    const QList<uint> scalars = text.toUcs4();
    for (const uint c : scalars)
        if (!isExpressionSymbol(c) && !isCasedLetter(c))
            return false;

    const QString lowered = text.toLower();
    QString remainder = lowered;
    for (const QString &name : functionNamesLongestFirst())
        remainder.remove(name);
    for (const QString &name : constantNames())
        remainder.remove(name);
    for (const uint c : remainder.toUcs4())
        if (!isExpressionSymbol(c))
            return false;

    const auto containsAny = [&lowered](const QStringList &names) {
        return std::any_of(names.begin(), names.end(),
                           [&lowered](const QString &name) { return lowered.contains(name); });
    };
    const bool hasOperand =
        std::any_of(scalars.begin(), scalars.end(), isNumberCharacter) || containsAny(constantNames());
    const bool hasOperator = std::any_of(scalars.begin(), scalars.end(), isOperatorSymbol) ||
                             containsAny(functionNamesLongestFirst());
    if (!hasOperand || !hasOperator)
        return false;

    const auto last = std::find_if(scalars.rbegin(), scalars.rend(), [](uint c) { return c != U' '; });
    if (last == scalars.rend() || !(isNumberCharacter(*last) || *last == U')' || QChar::isLetter(*last)))
        return false;
    const auto first = std::find_if(scalars.begin(), scalars.end(), [](uint c) { return c != U' '; });
    if (!(isNumberCharacter(*first) || *first == U'(' || QChar::isLetter(*first)))
        return false;

    qsizetype balance = 0;
    for (const uint c : scalars) {
        if (c == U'(')
            ++balance;
        else if (c == U')' && --balance < 0)
            return false;
    }
    return balance == 0;
}

QString formatMathValue(double value) {
    // A zero result is "0", never "-0".
    if (value == 0)
        value = 0;
    char buffer[64];
    const bool integral = value == std::trunc(value) && std::fabs(value) < 1e15;
    // to_chars formats as printf does in the C locale ("%.0f" and "%.10g"), whatever the process
    // locale says the decimal separator is.
    const auto result =
        integral ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0)
                 : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    if (result.ec != std::errc())
        return QString();
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

std::optional<QString> evaluateMathExpression(const QString &text) {
    const QString trimmed = StringUtils::trimmedWhitespaceAndNewlines(text);
    if (!isMathExpression(trimmed))
        return std::nullopt;
    ExpressionParser parser(graphemeTokens(trimmed));
    const std::optional<double> value = parser.parseExpression();
    if (!value || !parser.atEndIgnoringSpaces() || !std::isfinite(*value))
        return std::nullopt;
    return formatMathValue(*value);
}

// One level of nesting for as long as it lives; `entered()` is false past the cap.
class ExpressionParser::Nesting {
public:
    explicit Nesting(int &depth) : depth_(depth) { ++depth_; }
    ~Nesting() { --depth_; }
    Nesting(const Nesting &) = delete;
    Nesting &operator=(const Nesting &) = delete;
    bool entered() const { return depth_ <= maxNestingDepth; }

private:
    int &depth_;
};

void ExpressionParser::skipSpaces() {
    while (currentIs(QLatin1Char(' ')))
        ++position_;
}

bool ExpressionParser::atEndIgnoringSpaces() {
    skipSpaces();
    return atEnd();
}

std::optional<double> ExpressionParser::parseExpression() {
    std::optional<double> value = parseTerm();
    if (!value)
        return std::nullopt;
    for (;;) {
        skipSpaces();
        const bool plus = currentIs(QLatin1Char('+'));
        if (!plus && !currentIs(QLatin1Char('-')))
            return value;
        ++position_;
        const std::optional<double> rhs = parseTerm();
        if (!rhs)
            return std::nullopt;
        value = plus ? *value + *rhs : *value - *rhs;
    }
}

std::optional<double> ExpressionParser::parseTerm() {
    std::optional<double> value = parsePower();
    if (!value)
        return std::nullopt;
    for (;;) {
        skipSpaces();
        const bool times = currentIs(QLatin1Char('*'));
        if (!times && !currentIs(QLatin1Char('/')))
            return value;
        ++position_;
        const std::optional<double> rhs = parsePower();
        if (!rhs)
            return std::nullopt;
        value = times ? *value * *rhs : *value / *rhs;
    }
}

std::optional<double> ExpressionParser::parsePower() {
    const std::optional<double> base = parseFactor();
    if (!base)
        return std::nullopt;
    skipSpaces();
    if (!currentIs(QLatin1Char('^')))
        return base;
    ++position_;
    const Nesting nesting(depth_);
    if (!nesting.entered())
        return std::nullopt;
    const std::optional<double> exponent = parsePower();
    if (!exponent)
        return std::nullopt;
    return std::pow(*base, *exponent);
}

std::optional<double> ExpressionParser::parseFactor() {
    skipSpaces();
    if (atEnd())
        return std::nullopt;

    if (QChar::isLetter(firstCodePoint(current()))) {
        const QString name = parseIdentifier();
        skipSpaces();
        if (currentIs(QLatin1Char('('))) {
            const auto function = mathFunctions().constFind(name);
            if (function == mathFunctions().constEnd())
                return std::nullopt;
            ++position_;
            const Nesting nesting(depth_);
            if (!nesting.entered())
                return std::nullopt;
            const std::optional<double> argument = parseExpression();
            if (!argument)
                return std::nullopt;
            skipSpaces();
            if (!currentIs(QLatin1Char(')')))
                return std::nullopt;
            ++position_;
            return (*function)(*argument);
        }
        const auto constant = mathConstants().constFind(name);
        if (constant == mathConstants().constEnd())
            return std::nullopt;
        return *constant;
    }

    if (currentIs(QLatin1Char('('))) {
        ++position_;
        const Nesting nesting(depth_);
        if (!nesting.entered())
            return std::nullopt;
        const std::optional<double> value = parseExpression();
        if (!value)
            return std::nullopt;
        skipSpaces();
        if (!currentIs(QLatin1Char(')')))
            return std::nullopt;
        ++position_;
        return value;
    }

    return parseNumber();
}

QString ExpressionParser::parseIdentifier() {
    QString name;
    while (!atEnd() && QChar::isLetter(firstCodePoint(current()))) {
        name += current();
        ++position_;
    }
    return name.toLower();
}

std::optional<double> ExpressionParser::parseNumber() {
    QByteArray run;
    while (!atEnd() && current().size() == 1) {
        const QChar c = current()[0];
        if (!(c == QLatin1Char('.') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            break;
        run.append(static_cast<char>(c.unicode()));
        ++position_;
    }
    if (run.isEmpty() || run.count('.') > 1 || run == ".")
        return std::nullopt;
    // from_chars reads the C form regardless of the process locale; a literal beyond the range of a
    // double has no value.
    double value = 0;
    const auto result =
        std::from_chars(run.constData(), run.constData() + run.size(), value, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != run.constData() + run.size())
        return std::nullopt;
    return value;
}

} // namespace orvex
