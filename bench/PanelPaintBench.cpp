// Cost of drawing the panel's result list: laying out and painting 20 rows (with and without snippets),
// and repainting the whole list after the selection moves, which happens on every arrow key.
#include "panel/LauncherThemeCatalog.h"
#include "panel/ResultListView.h"
#include "panel/ResultRowView.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using namespace orvex;

SearchResults twentyRows() {
    SearchResults rows;
    for (int i = 0; i < 20; ++i) {
        SearchResultFields f;
        f.id = i + 1;
        f.filename = QStringLiteral("Quarterly report %1 with a longer descriptive name.pdf").arg(i);
        f.directory = QStringLiteral("/home/user/Documents/Finance/Reports/%1").arg(2000 + i);
        f.snippet = QStringLiteral("The <mark>quarterly</mark> numbers grew in every region, and the "
                                   "<mark>report</mark> lists each of them by month and by product line.");
        f.relevanceScore = 1000 - i;
        rows.append(SearchResult(f));
    }
    return rows;
}

ResultRowView rowView(const SearchResult &result, bool selected, bool snippets) {
    ResultRowView row;
    row.result = result;
    row.isSelected = selected;
    row.showSnippets = snippets;
    row.showScore = true;
    row.theme = LauncherThemeCatalog::theme(LauncherThemeID::graphite);
    return row;
}

void BM_LayOutTwentyRows(benchmark::State &state) {
    const SearchResults rows = twentyRows();
    const bool snippets = state.range(0) != 0;
    for (auto _ : state) {
        int total = 0;
        for (const SearchResult &row : rows)
            total += rowView(row, false, snippets).heightForWidth(704);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_LayOutTwentyRows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_PaintTwentyRows(benchmark::State &state) {
    const SearchResults rows = twentyRows();
    const bool snippets = state.range(0) != 0;
    QImage image(704, 20 * 80, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::black);
        QPainter painter(&image);
        int y = 0;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const ResultRowView row = rowView(rows[i], i == 3, snippets);
            const int height = row.heightForWidth(704);
            row.paint(painter, QRect(0, y, 704, height), nullptr);
            y += height + 6;
        }
    }
}
BENCHMARK(BM_PaintTwentyRows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One arrow key: the list learns the new selection, lays its rows out again and repaints its viewport.
void BM_ListAfterSelectionMove(benchmark::State &state) {
    ResultListView list;
    list.setIcons(nullptr);
    list.resize(720, 460);
    list.setRows(twentyRows());
    ResultListDisplay display;
    display.theme = LauncherThemeCatalog::theme(LauncherThemeID::graphite);
    display.showSnippets = true;
    qsizetype selected = 0;
    QImage image(list.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        selected = (selected + 1) % 20;
        display.selectedIndex = selected;
        list.setDisplay(display);
        list.render(&image);
    }
}
BENCHMARK(BM_ListAfterSelectionMove)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QT_SCALE_FACTOR", "1", 1);
    QApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    QApplication::setFont(font);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
