#include "sources/MathEvaluator.h"

#include "fixtures/ManagerFixture.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

// Readable failure messages for texts.
[[maybe_unused]] static void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace orvex {
namespace {

struct Case {
    const char *expression;
    const char *expected; // null: no row
};

void expectCases(std::initializer_list<Case> cases) {
    for (const Case &c : cases) {
        const std::optional<QString> value = evaluateMathExpression(QString::fromUtf8(c.expression));
        if (c.expected)
            EXPECT_EQ(value, std::optional<QString>(QString::fromUtf8(c.expected))) << c.expression;
        else
            EXPECT_EQ(value, std::nullopt)
                << c.expression << " gave " << value.value_or(QString()).toStdString();
    }
}

TEST(MathEvaluator, EveryFunctionAndConstant) {
    expectCases({
        {"sqrt(16)", "4"},       {"SQRT(16)", "4"},         {"Sqrt(2)", "1.414213562"},
        {"abs(3-5)", "2"},       {"ceil(1.2)", "2"},        {"ceil(0-1.8)", "-1"},
        {"floor(1.8)", "1"},     {"floor(0-1.5)", "-2"},    {"round(2.5)", "3"},
        {"round(0-2.5)", "-3"},  {"round(2.4999)", "2"},    {"sin(0)", "0"},
        {"sin(pi/2)", "1"},      {"cos(0)", "1"},           {"cos(pi)", "-1"},
        {"tan(pi/4)", "1"},      {"log(1000)", "3"},        {"log(2)", "0.3010299957"},
        {"ln(e)", "1"},          {"ln(10)", "2.302585093"}, {"pi*2", "6.283185307"},
        {"PI*1", "3.141592654"}, {"e*1", "2.718281828"},    {"e^2", "7.389056099"},
        {"pi*e", "8.539734223"}, {"ceil(pi)", "4"},         {"sqrt(sqrt(16))", "2"},
        {"sqrt (16)", "4"},
    });
}

TEST(MathEvaluator, PrecedenceAndAssociativity) {
    expectCases({
        {"2+2", "4"},
        {"10/4", "2.5"},
        {"2^10", "1024"},
        {"2^3^2", "512"},
        {"(2^3)^2", "64"},
        {"(1+2)*3", "9"},
        {"1+2*3", "7"},
        {"2*3^2", "18"},
        {"10-4-3", "3"},
        {"64/4/2", "8"},
        {"2-3", "-1"},
        {"2 + 3", "5"},
        {"  2 *  ( 3 + 4 ) ", "14"},
        {"\t2+2\n", "4"},
        {"2 ^ 3 ^ 2", "512"},
        {"1+.5", "1.5"},
        {"1.+1", "2"},
        {"0.1+0.2", "0.3"},
    });
}

TEST(MathEvaluator, TextThatIsNotArithmeticGivesNoRow) {
    expectCases({
        {"", nullptr},
        {"   ", nullptr},
        {"42", nullptr}, // a bare number: no operator
        {"3.14", nullptr},
        {"pi", nullptr},    // a bare constant: no operator
        {"hello", nullptr}, // unknown letters
        {"report.pdf", nullptr},
        {"sin", nullptr}, // no operand
        {"(((1)))", nullptr},
        {"2x3", nullptr}, // x is no times sign
        {"2,5+1", nullptr},
        {"50%*2", nullptr},
        {"2\u00d73", nullptr},
        {"\u03c0*2", nullptr}, // a Greek pi is not the constant
        {"2\t+2", nullptr},    // inner tabs are not spaces
        {"3+", nullptr},
        {"+3", nullptr},
        {"2*-3", nullptr}, // no unary minus
        {"round(-2.5)", nullptr},
        {"(2+3", nullptr},
        {"2+3)", nullptr},
        {")2+3(", nullptr},
        {".5+1", nullptr},
        {"1..2+1", nullptr},
        {"1.2.3+1", nullptr},
        {"1+.", nullptr},
        {"sqrt 16", nullptr}, // a function needs "("
        {"sqrt(16", nullptr},
        {"pie+1", nullptr}, // every letter belongs to a name, but "pie" is none
        {"2pi+1", nullptr}, // no implied multiplication
        {"2(3)", nullptr},
        {"sqrt(4)sqrt(4)", nullptr},
        {"e(2)+1", nullptr}, // a constant is not callable
        {"foo(2)+1", nullptr},
    });
}

TEST(MathEvaluator, AcceptanceAloneDoesNotMakeARow) {
    // These pass the guard and fail only in the parser.
    for (const char *text : {"sqrt 16", "pie+1", "2*-3", "2pi+1", "1..2+1"}) {
        EXPECT_TRUE(isMathExpression(QString::fromUtf8(text))) << text;
        EXPECT_EQ(evaluateMathExpression(QString::fromUtf8(text)), std::nullopt) << text;
    }
    EXPECT_TRUE(isMathExpression(QStringLiteral("sqrt(16)")));
    EXPECT_FALSE(isMathExpression(QStringLiteral("pi")));
    EXPECT_FALSE(isMathExpression(QStringLiteral("42")));
}

TEST(MathEvaluator, NonFiniteResultsGiveNoRow) {
    expectCases({
        {"1/0", nullptr},
        {"0/0", nullptr},
        {"1/(2-2)", nullptr},
        {"sqrt(0-1)", nullptr},
        {"ln(0)", nullptr},
        {"log(0)", nullptr},
        {"log(0-1)", nullptr},
        {"10^400", nullptr},
        {"2^1024", nullptr},
        {"2^1023*2", nullptr},
        {"2^1023", "8.988465674e+307"},
        {"1/10^400", "0"},
    });
}

TEST(MathEvaluator, FormattingBoundaries) {
    expectCases({
        {"10^14", "100000000000000"},
        {"999999999999999+0", "999999999999999"},
        {"10^15", "1e+15"},
        {"1000000000000000+0", "1e+15"},
        {"10^15+1", "1e+15"},
        {"2^53", "9.007199255e+15"},
        {"0-10^15", "-1e+15"},
        {"1-10^15", "-999999999999999"},
        {"1/3", "0.3333333333"},
        {"2/3", "0.6666666667"},
        {"1/8", "0.125"},
        {"123456.5*1", "123456.5"},
        {"12345678901.5+0", "1.23456789e+10"},
        {"0.0001*1", "0.0001"},
        {"0.00001*1", "1e-05"},
        {"100000000000.5-0", "1e+11"},
    });
}

TEST(MathEvaluator, ZeroNeverShowsASign) {
    expectCases({
        {"(0-1)*0", "0"},
        {"0/(0-5)", "0"},
        {"round(0-0.4)", "0"},
        {"ceil(0-0.5)", "0"},
        {"sin(0)*(0-1)", "0"},
        {"0-0", "0"},
    });
}

QString repeated(const QString &piece, int count) {
    return piece.repeated(count);
}

TEST(MathEvaluator, DeepNestingIsCappedNotOverflowed) {
    const int cap = ExpressionParser::maxNestingDepth;
    // 100000 opening parentheses: unbalanced, and also when closed.
    EXPECT_EQ(evaluateMathExpression(repeated(QStringLiteral("("), 100000)), std::nullopt);
    EXPECT_EQ(evaluateMathExpression(repeated(QStringLiteral("("), 100000) + QStringLiteral("1+1")),
              std::nullopt);
    EXPECT_EQ(evaluateMathExpression(repeated(QStringLiteral("("), 100000) + QStringLiteral("1+1") +
                                     repeated(QStringLiteral(")"), 100000)),
              std::nullopt);
    EXPECT_EQ(evaluateMathExpression(repeated(QStringLiteral("abs("), 100000) + QStringLiteral("1") +
                                     repeated(QStringLiteral(")"), 100000)),
              std::nullopt);
    // A long run of "^".
    EXPECT_EQ(evaluateMathExpression(QStringLiteral("1") + repeated(QStringLiteral("^1"), 100000)),
              std::nullopt);

    // Up to the cap the value is still computed.
    EXPECT_EQ(evaluateMathExpression(repeated(QStringLiteral("("), cap) + QStringLiteral("1+1") +
                                     repeated(QStringLiteral(")"), cap)),
              QStringLiteral("2"));
    EXPECT_EQ(evaluateMathExpression(repeated(QStringLiteral("("), cap + 1) + QStringLiteral("1+1") +
                                     repeated(QStringLiteral(")"), cap + 1)),
              std::nullopt);
    EXPECT_EQ(evaluateMathExpression(repeated(QStringLiteral("abs("), cap) + QStringLiteral("1+1") +
                                     repeated(QStringLiteral(")"), cap)),
              QStringLiteral("2"));
    EXPECT_EQ(evaluateMathExpression(QStringLiteral("2") + repeated(QStringLiteral("^1"), cap)),
              QStringLiteral("2"));
    EXPECT_EQ(evaluateMathExpression(QStringLiteral("2") + repeated(QStringLiteral("^1"), cap + 1)),
              std::nullopt);

    // Long flat expressions are not nesting.
    EXPECT_EQ(evaluateMathExpression(QStringLiteral("0") + repeated(QStringLiteral("+1"), 100000)),
              QStringLiteral("100000"));
}

// A comma-decimal C-library locale, compiled into the test home when the system has none.
bool useGermanCLocale() {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return true;
    const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (localedef.isEmpty())
        return false;
    const QString localeRoot = test::homePath() + QStringLiteral("/locales");
    test::makeDirectory(localeRoot);
    QProcess process;
    process.start(localedef, {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                              QStringLiteral("UTF-8"), localeRoot + QStringLiteral("/de_DE.UTF-8")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return false;
    ::setenv("LOCPATH", QFile::encodeName(localeRoot).constData(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(MathEvaluator, IgnoresTheProcessLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const bool cLocale = useGermanCLocale();
    if (cLocale) {
        // The C library now writes a comma: the evaluator must not.
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", 2.5);
        ASSERT_STREQ(buffer, "2,5");
    }
    expectCases({
        {"10/4", "2.5"},
        {"1+0.5", "1.5"},
        {"1/3", "0.3333333333"},
        {"10^15", "1e+15"},
        {"1234567*1000", "1234567000"},
        {"2,5+1", nullptr},
    });
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    if (!cLocale)
        GTEST_SKIP() << "no comma-decimal C-library locale could be made; checked the Qt locale only";
}

TEST(MathEvaluator, CalculatorRow) {
    test::ManagerFixture fixture;
    auto manager = fixture.makeManager();

    const SearchResults rows = manager->matchSource(QStringLiteral("calculator"), QStringLiteral("2 + 2"));
    ASSERT_EQ(rows.size(), 1);
    const SearchResult &row = rows.first();
    EXPECT_EQ(row.id(), stableNegativeID(QStringLiteral("action://calculator/2 + 2")));
    EXPECT_EQ(row.filename(), QStringLiteral("4"));
    EXPECT_EQ(row.directory(), QStringLiteral("2 + 2"));
    EXPECT_EQ(row.openCount(), 0);
    EXPECT_EQ(row.snippet(), std::nullopt);
    EXPECT_EQ(row.databaseID(), std::nullopt);
    EXPECT_EQ(row.kind(), SearchResultKind::action);
    EXPECT_EQ(row.action(), SearchResultAction::copyToClipboard);
    EXPECT_EQ(row.actionURLString(), QStringLiteral("4"));
    EXPECT_EQ(row.fallbackActionURLString(), std::nullopt);
    EXPECT_FALSE(row.isDirectPathMatch());
    EXPECT_EQ(row.usageKey(), std::nullopt);
    EXPECT_FALSE(row.isRecentActivation());
    EXPECT_EQ(row.relevanceScore(), std::nullopt);
    EXPECT_EQ(row.fullPath(), QStringLiteral("4"));

    EXPECT_TRUE(manager->matchSource(QStringLiteral("calculator"), QStringLiteral("notes")).isEmpty());
    EXPECT_TRUE(manager->matchSource(QStringLiteral("calculator"), QStringLiteral("1/0")).isEmpty());
    manager->shutdown();
}

} // namespace
} // namespace orvex
