#include "panel/PanelTrace.h"

#include "ContentViewTestSupport.h"
#include "panel/SearchState.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <ctime>

namespace orvex {
namespace {

using test::PanelHarness;
using test::waitUntil;

qint64 monotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A trace file of this test's own that does not exist yet: the trace appends, and one process may run
// every test of the binary.
QString freshTraceFile() {
    const QString path =
        test::homePath() + QStringLiteral("/trace-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
        QStringLiteral(".txt");
    QFile::remove(path);
    return path;
}

QList<QList<QByteArray>> traceLines(const QString &path) {
    QFile file(path);
    QList<QList<QByteArray>> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines.append(line.split(' '));
    }
    return lines;
}

// The newest "list" line.
std::optional<QList<QByteArray>> lastList(const QList<QList<QByteArray>> &lines) {
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->size() >= 2 && it->at(1) == "list")
            return *it;
    }
    return std::nullopt;
}

TEST(PanelTrace, TheFileIsNamedAfterTraceOnTheCommandLine) {
    const struct {
        QStringList arguments;
        std::optional<QString> file;
    } cases[] = {
        {{QStringLiteral("orvex-launcher")}, std::nullopt},
        {{QStringLiteral("orvex-launcher"), QStringLiteral("--trace")}, std::nullopt},
        {{QStringLiteral("orvex-launcher"), QStringLiteral("--trace"), QString()}, std::nullopt},
        {{QStringLiteral("orvex-launcher"), QStringLiteral("--trace"), QStringLiteral("/tmp/t")},
         QStringLiteral("/tmp/t")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PanelTrace::requestedFile(c.arguments), c.file)
            << c.arguments.join(QLatin1Char(' ')).toStdString();
}

TEST(PanelTrace, FingerprintIgnoresOrderButNotContent) {
    const QStringList rows{QStringLiteral("/a/b"), QStringLiteral("/a/c")};
    EXPECT_EQ(PanelTrace::fingerprint(rows), PanelTrace::fingerprint({rows.at(1), rows.at(0)}));
    EXPECT_NE(PanelTrace::fingerprint(rows), PanelTrace::fingerprint({rows.at(0)}));
    // Identities are separated, so that moving characters between them changes the fingerprint.
    EXPECT_NE(PanelTrace::fingerprint({QStringLiteral("ab"), QStringLiteral("c")}),
              PanelTrace::fingerprint({QStringLiteral("a"), QStringLiteral("bc")}));
}

TEST(PanelTrace, EveryAppliedListAndItsFirstPaintAreWrittenWithMonotonicTimes) {
    PanelHarness panel;
    const QString path = freshTraceFile();
    const qint64 before = monotonicNow();
    PanelTrace::installIfRequested({QStringLiteral("orvex-launcher"), QStringLiteral("--trace"), path},
                                   *panel.view);
    panel.type(QStringLiteral("quarterly"));
    panel.settleScreen();

    const auto lines = traceLines(path);
    ASSERT_FALSE(lines.isEmpty());
    qint64 previous = before;
    for (const auto &line : lines) {
        ASSERT_GE(line.size(), 3);
        EXPECT_GE(line.at(0).toLongLong(), previous);
        EXPECT_LE(line.at(0).toLongLong(), monotonicNow());
        previous = line.at(0).toLongLong();
    }

    // The newest list is the final answer on screen, and it was painted.
    qsizetype last = lines.size() - 1;
    while (last >= 0 && lines.at(last).at(1) != "list")
        --last;
    ASSERT_GE(last, 0);
    const auto &list = lines.at(last);
    ASSERT_EQ(list.size(), 7);
    EXPECT_EQ(list.at(3), "final");
    EXPECT_EQ(QUrl::fromPercentEncoding(list.at(6)), QStringLiteral("quarterly"));
    QStringList identities;
    for (const SearchResult &row : panel.view->controller().results())
        identities.append(panelRowIdentity(row));
    EXPECT_EQ(list.at(4).toInt(), identities.size());
    EXPECT_EQ(list.at(5).toULongLong(nullptr, 16), PanelTrace::fingerprint(identities));
    const bool painted = std::any_of(lines.begin() + last, lines.end(), [&](const auto &line) {
        return line.at(1) == "paint" && line.at(2) == list.at(2);
    });
    EXPECT_TRUE(painted);

    // One paint line per list at most, and only for lists already applied.
    QList<QByteArray> paintedLists;
    int applied = 0;
    for (const auto &line : lines) {
        if (line.at(1) == "list")
            applied = line.at(2).toInt();
        if (line.at(1) == "paint") {
            EXPECT_FALSE(paintedLists.contains(line.at(2)));
            EXPECT_LE(line.at(2).toInt(), applied);
            paintedLists.append(line.at(2));
        }
    }
}

TEST(PanelTrace, AQueryWithSpacesStaysOneField) {
    PanelHarness panel;
    const QString path = freshTraceFile();
    PanelTrace::installIfRequested({QStringLiteral("--trace"), path}, *panel.view);
    panel.type(QStringLiteral("quarterly re"));
    const auto list = lastList(traceLines(path));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 7);
    EXPECT_EQ(QUrl::fromPercentEncoding(list->at(6)), QStringLiteral("quarterly re"));
}

TEST(PanelTrace, EverySearchIsWrittenWithItsStartAndTheSameRows) {
    const QString path = freshTraceFile();
    PanelSearchFunction search = [](const QString &query, bool) {
        return SearchResults{SearchResult(SearchResultFields{.filename = query + QStringLiteral(".txt")})};
    };
    PanelTrace::traceSearchesIfRequested({QStringLiteral("--trace"), path}, search);
    const qint64 before = monotonicNow();
    const SearchResults rows = search(QStringLiteral("tax return"), true);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().filename(), QStringLiteral("tax return.txt"));

    const auto lines = traceLines(path);
    ASSERT_EQ(lines.size(), 1);
    const auto &line = lines.first();
    ASSERT_EQ(line.size(), 4);
    EXPECT_EQ(line.at(1), "search");
    EXPECT_GE(line.at(2).toLongLong(), before);
    EXPECT_GE(line.at(0).toLongLong(), line.at(2).toLongLong());
    EXPECT_EQ(QUrl::fromPercentEncoding(line.at(3)), QStringLiteral("tax return"));

    // Without the option the search is left alone.
    PanelSearchFunction untouched;
    PanelTrace::traceSearchesIfRequested({QStringLiteral("orvex-launcher")}, untouched);
    EXPECT_FALSE(untouched);
}

TEST(PanelTrace, AnUnwritableFileIsReportedAndNothingIsTraced) {
    PanelHarness panel;
    testing::internal::CaptureStdout();
    PanelTrace::installIfRequested(
        {QStringLiteral("--trace"), test::homePath() + QStringLiteral("/missing/folder/trace.txt")},
        *panel.view);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("Failed to open trace file: "), std::string::npos);
    EXPECT_TRUE(panel.view->findChildren<PanelTrace *>().isEmpty());
    panel.type(QStringLiteral("quartz"));
    EXPECT_FALSE(panel.shownNames().isEmpty());
}

} // namespace
} // namespace orvex
