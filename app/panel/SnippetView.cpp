#include "panel/SnippetView.h"

#include "panel/SnippetSegment.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

namespace orvex {

namespace {

// The index writes "\n" only, but a stored excerpt may carry any line or paragraph break; each would
// start a new line of its own and defeat the two-line limit.
QString withoutLineBreaks(QString text) {
    for (QChar &c : text) {
        switch (c.unicode()) {
        case u'\r':
        case u'\v':
        case u'\f':
        case 0x0085:
        case 0x2028:
        case 0x2029:
            c = QLatin1Char(' ');
            break;
        default:
            break;
        }
    }
    return text;
}

struct SnippetLayout {
    // One text layout per shown line: the second line is re-laid out when it is cut at the tail.
    std::vector<std::unique_ptr<QTextLayout>> lines;
    qreal height = 0;
};

QList<QTextLayout::FormatRange> formatRanges(const QList<SnippetView::Run> &runs, qsizetype from,
                                             qsizetype length) {
    QList<QTextLayout::FormatRange> ranges;
    qsizetype position = 0;
    for (const auto &run : runs) {
        const qsizetype start = std::max(position, from);
        const qsizetype end = std::min(position + run.text.size(), from + length);
        if (start < end) {
            QTextLayout::FormatRange range;
            range.start = int(start - from);
            range.length = int(end - start);
            range.format.setForeground(run.foreground);
            if (run.background)
                range.format.setBackground(*run.background);
            ranges.append(range);
        }
        position += run.text.size();
    }
    return ranges;
}

SnippetLayout layOut(const QList<SnippetView::Run> &runs, qreal width) {
    SnippetLayout out;
    QString text;
    for (const auto &run : runs)
        text += run.text;
    if (text.isEmpty() || width <= 0)
        return out;
    const QFont font = SnippetView::font();
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    auto full = std::make_unique<QTextLayout>(text, font);
    full->setTextOption(option);
    full->setFormats(formatRanges(runs, 0, text.size()));
    full->beginLayout();
    QList<QTextLine> lines;
    while (lines.size() <= SnippetView::maximumLines) {
        QTextLine line = full->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
        lines.append(line);
    }
    full->endLayout();
    const qreal lineHeight = QFontMetricsF(font).height();
    if (lines.size() <= SnippetView::maximumLines) {
        for (int i = 0; i < lines.size(); ++i)
            lines[i].setPosition(QPointF(0, i * lineHeight));
        out.height = lines.size() * lineHeight;
        out.lines.push_back(std::move(full));
        return out;
    }

    // Three or more lines: keep the first, and end the second at the tail with an ellipsis.
    const int firstLength = lines[0].textLength();
    auto first = std::make_unique<QTextLayout>(text.left(firstLength), font);
    first->setTextOption(option);
    first->setFormats(formatRanges(runs, 0, firstLength));
    first->beginLayout();
    first->createLine().setLineWidth(width);
    first->endLayout();

    const QString rest = text.mid(firstLength);
    QString elided = QFontMetricsF(font).elidedText(rest, Qt::ElideRight, width);
    const qsizetype kept = elided.endsWith(QChar(0x2026)) ? elided.size() - 1 : elided.size();
    auto restRanges = formatRanges(runs, firstLength, kept);
    if (kept < elided.size() && !restRanges.isEmpty()) {
        // The ellipsis takes the colour of the text it replaces, without a highlight behind it.
        QTextLayout::FormatRange dots;
        dots.start = int(kept);
        dots.length = int(elided.size() - kept);
        dots.format.setForeground(restRanges.last().format.foreground());
        restRanges.append(dots);
    }
    auto second = std::make_unique<QTextLayout>(elided, font);
    QTextOption single = option;
    single.setWrapMode(QTextOption::NoWrap);
    second->setTextOption(single);
    second->setFormats(restRanges);
    second->beginLayout();
    QTextLine line = second->createLine();
    line.setLineWidth(width);
    line.setPosition(QPointF(0, lineHeight));
    second->endLayout();

    out.lines.push_back(std::move(first));
    out.lines.push_back(std::move(second));
    out.height = 2 * lineHeight;
    return out;
}

} // namespace

QList<SnippetView::Run> SnippetView::runs() const {
    QList<Run> out;
    for (const SnippetSegment &segment : parseSnippetSegments(withoutLineBreaks(snippetHTML))) {
        if (segment.isHighlighted)
            out.append({segment.text, theme.primaryTextColor(result, isSelected),
                        isSelected ? theme.snippetHighlightSelected : theme.snippetHighlight});
        else
            out.append({segment.text, theme.secondaryTextColor(result, isSelected), std::nullopt});
    }
    return out;
}

QFont SnippetView::font() {
    QFont font = QApplication::font();
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    return font;
}

qreal SnippetView::heightForWidth(qreal width) const {
    return layOut(runs(), width).height;
}

void SnippetView::paint(QPainter &painter, const QRectF &rect) const {
    const SnippetLayout layout = layOut(runs(), rect.width());
    for (const auto &line : layout.lines)
        line->draw(&painter, rect.topLeft());
}

} // namespace orvex
