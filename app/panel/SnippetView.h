#pragma once

#include "panel/LauncherTheme.h"
#include "search/DatabaseTypes.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace orvex {

// The search snippet under a row's location line: the index's excerpt with its "<mark>" words on the
// theme's highlight background, at most two lines, cut at the tail. Always plain text: markup other than
// the two tags is shown as written.
struct SnippetView {
    // One styled piece of the excerpt.
    struct Run {
        QString text;
        QColor foreground;
        std::optional<QColor> background;

        bool operator==(const Run &) const = default;
    };

    QString snippetHTML;
    SearchResult result{SearchResultFields{}};
    bool isSelected = false;
    LauncherTheme theme;

    static constexpr int maximumLines = 2;

    // The excerpt as coloured runs, in text order; every line break is a space.
    QList<Run> runs() const;

    static QFont font();
    // Height of the laid-out excerpt at `width` (one or two lines; none for an empty excerpt).
    qreal heightForWidth(qreal width) const;
    // Draws the excerpt from the top-left of `rect`, within its width.
    void paint(QPainter &painter, const QRectF &rect) const;
};

} // namespace orvex
