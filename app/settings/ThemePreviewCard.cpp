#include "settings/ThemePreviewCard.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"

#include "panel/SymbolImages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace orvex {

namespace {

constexpr int padding = 10;
constexpr int spacing = 8;
constexpr int blurbMaximumLines = 2;
// Mini-panel metrics, in the miniature's own pixels.
constexpr int barInset = 8;
constexpr int barHeight = 24;
constexpr int rowsTop = barInset + barHeight + 6 + 1 + 7;
constexpr int rowsBottomPadding = 8;
constexpr int rowSpacing = 6;
// The rows are drawn at half the panel's size at most: its 16 px titles become 8 px ones.
constexpr qreal largestRowScale = 0.5;

QFont uiFont(int pixelSize, QFont::Weight weight) {
    return SettingsStyle::font(QApplication::font(), pixelSize, weight);
}

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

SearchResult sample(qint64 id, const QString &filename, const QString &directory, SearchResultKind kind,
                    std::optional<SearchResultAction> action = std::nullopt,
                    std::optional<QString> snippet = std::nullopt) {
    SearchResultFields fields;
    fields.id = id;
    fields.filename = filename;
    fields.directory = directory;
    fields.kind = kind;
    fields.action = action;
    fields.snippet = std::move(snippet);
    return SearchResult(std::move(fields));
}

// The lines of `text` laid out in `width`, the last one cut with an ellipsis when more would follow.
QStringList wrappedLines(const QString &text, const QFont &font, int width, int maximumLines) {
    QStringList lines;
    QTextLayout layout(text, font);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        if (lines.size() == maximumLines - 1) {
            const QString rest = text.mid(line.textStart()).trimmed();
            lines.append(QFontMetrics(font).elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

} // namespace

ThemeMiniLauncherPreview::ThemeMiniLauncherPreview(LauncherTheme theme)
    : theme(std::move(theme)),
      selectedPreviewResult(sample(-101, QStringLiteral("Appearance"),
                                   QStringLiteral("/usr/share/applications"), SearchResultKind::app,
                                   std::nullopt, QStringLiteral("...quick <mark>app</mark> launcher..."))),
      hoveredPreviewResult(
          sample(-102, QStringLiteral("projects"), QStringLiteral("/home/alex"), SearchResultKind::folder)),
      plainPreviewResult(sample(-103, QStringLiteral("Sound"), QStringLiteral("System Settings"),
                                SearchResultKind::action, SearchResultAction::openSystemSettings)) {}

std::array<ResultRowView, 3> ThemeMiniLauncherPreview::previewRows() const {
    const auto row = [&](const SearchResult &result, bool selected, bool hovered, bool snippet) {
        ResultRowView view;
        view.result = result;
        view.isSelected = selected;
        view.isHovered = hovered;
        view.showSnippets = snippet;
        view.theme = theme;
        return view;
    };
    return {row(selectedPreviewResult, true, false, true), row(hoveredPreviewResult, false, true, false),
            row(plainPreviewResult, false, false, false)};
}

void ThemeMiniLauncherPreview::paint(QPainter &painter, const QRect &rect) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect, theme.backgroundGradient.linearGradient(QRectF(rect)));
    painter.fillRect(rect, withOpacity(theme.listBackground, 0.64));

    // Search bar with the sample query.
    const QRect bar(rect.left() + barInset, rect.top() + barInset, rect.width() - 2 * barInset, barHeight);
    QPainterPath barShape;
    barShape.addRoundedRect(QRectF(bar), 6, 6);
    painter.fillPath(barShape, theme.searchBarBackground);
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage glass = SymbolImages::image(QStringLiteral("magnifyingglass"), QSize(8, 8),
                                             withOpacity(theme.uiAccent, 0.9), dpr);
    const QRect glassRect(bar.left() + 8, bar.center().y() - 3, 8, 8);
    painter.drawImage(glassRect, glass);
    painter.setFont(uiFont(8, QFont::Medium));
    painter.setPen(theme.unselectedPrimaryText);
    painter.drawText(QRect(glassRect.right() + 1 + 4, bar.top(), bar.width() - 24, bar.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("app"));

    // Divider.
    painter.fillRect(QRect(rect.left() + 8, bar.bottom() + 1 + 6, rect.width() - 16, 1), theme.divider);

    // The rows, scaled so that all three fit under the bar.
    const std::array<ResultRowView, 3> rows = previewRows();
    const int rowsWidth = rect.width() - 16;
    const int available = rect.height() - rowsTop - rowsBottomPadding - 2 * rowSpacing;
    qreal scale = largestRowScale;
    for (int pass = 0; pass < 2; ++pass) {
        const int logicalWidth = static_cast<int>(rowsWidth / scale);
        int total = 0;
        for (const ResultRowView &row : rows)
            total += row.heightForWidth(logicalWidth);
        if (total * scale <= available || total == 0)
            break;
        scale = std::max(0.2, qreal(available) / total);
    }
    const int logicalWidth = static_cast<int>(rowsWidth / scale);
    qreal y = rect.top() + rowsTop;
    for (const ResultRowView &row : rows) {
        const int height = row.heightForWidth(logicalWidth);
        painter.save();
        painter.translate(rect.left() + 8, y);
        painter.scale(scale, scale);
        row.paint(painter, QRect(0, 0, logicalWidth, height), nullptr);
        painter.restore();
        y += height * scale + rowSpacing;
    }
    painter.restore();
}

ThemePreviewCard::ThemePreviewCard(LauncherTheme theme, bool isSelected, QWidget *parent)
    : QAbstractButton(parent), theme_(std::move(theme)) {
    setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred));
    // The cards are one choice among twelve: radio buttons to assistive technology, the arrow keys
    // moving the choice between them; a press on the chosen card keeps it.
    setCheckable(true);
    setAutoExclusive(true);
    setChecked(isSelected);
    connect(this, &QAbstractButton::toggled, this, [this] { update(); });
    setAccessibleName(theme_.name);
    setToolTip(theme_.blurb);
    setCursor(Qt::PointingHandCursor);
}

QFont ThemePreviewCard::nameFont() {
    return uiFont(13, QFont::DemiBold);
}
QFont ThemePreviewCard::badgeFont() {
    return uiFont(10, QFont::DemiBold);
}
QFont ThemePreviewCard::blurbFont() {
    return uiFont(11, QFont::Normal);
}

void ThemePreviewCard::setSelected(bool selected) {
    if (selected == isChecked())
        return;
    if (selected) {
        setChecked(true);
    } else {
        // The chosen card of an exclusive set refuses to be unchecked on its own.
        setAutoExclusive(false);
        setChecked(false);
        setAutoExclusive(true);
    }
    update();
}

int ThemePreviewCard::blurbHeight(int width) const {
    const QStringList lines = wrappedLines(theme_.blurb, blurbFont(), width, blurbMaximumLines);
    return static_cast<int>(lines.size()) * QFontMetrics(blurbFont()).lineSpacing();
}

int ThemePreviewCard::heightForWidth(int width) const {
    const int inner = width - 2 * padding;
    const int header = std::max(QFontMetrics(nameFont()).height(), QFontMetrics(badgeFont()).height() + 6);
    return padding + header + spacing + blurbHeight(inner) + spacing + miniatureHeight + padding;
}

QSize ThemePreviewCard::sizeHint() const {
    return QSize(220, heightForWidth(220));
}

ThemePreviewCard::Geometry ThemePreviewCard::geometry() const {
    Geometry g;
    const int inner = width() - 2 * padding;
    const int header = std::max(QFontMetrics(nameFont()).height(), QFontMetrics(badgeFont()).height() + 6);
    int nameRight = padding + inner;
    if (isChecked()) {
        const QFontMetrics badge(badgeFont());
        const QSize size(badge.horizontalAdvance(QStringLiteral("Active")) + 12, badge.height() + 6);
        g.badge = QRect(QPoint(padding + inner - size.width(), padding + (header - size.height()) / 2), size);
        nameRight = g.badge.left() - spacing;
    }
    g.name = QRect(padding, padding, std::max(0, nameRight - padding), header);
    g.blurb = QRect(padding, padding + header + spacing, inner, blurbHeight(inner));
    g.miniature = QRect(padding, g.blurb.bottom() + 1 + spacing, inner, miniatureHeight);
    return g;
}

void ThemePreviewCard::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Geometry g = geometry();

    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
    painter.fillPath(card, palette().color(QPalette::Base));

    const QColor primary = palette().color(QPalette::Text);
    painter.setFont(nameFont());
    painter.setPen(primary);
    painter.drawText(g.name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QFontMetrics(nameFont()).elidedText(theme_.name, Qt::ElideRight, g.name.width()));
    if (isChecked()) {
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(g.badge), g.badge.height() / 2.0, g.badge.height() / 2.0);
        painter.fillPath(capsule, withOpacity(theme_.selectedRowBackground, 0.22));
        painter.setFont(badgeFont());
        painter.setPen(primary);
        painter.drawText(g.badge, Qt::AlignCenter, QStringLiteral("Active"));
    }

    painter.setFont(blurbFont());
    painter.setPen(SettingsStyle::secondaryColor(palette()));
    const int lineSpacing = QFontMetrics(blurbFont()).lineSpacing();
    int y = g.blurb.top();
    for (const QString &line : wrappedLines(theme_.blurb, blurbFont(), g.blurb.width(), blurbMaximumLines)) {
        painter.drawText(QRect(g.blurb.left(), y, g.blurb.width(), lineSpacing),
                         Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineSpacing;
    }

    QPainterPath miniature;
    miniature.addRoundedRect(QRectF(g.miniature), 9, 9);
    painter.save();
    painter.setClipPath(miniature);
    ThemeMiniLauncherPreview(theme_).paint(painter, g.miniature);
    painter.restore();
    painter.setPen(QPen(theme_.border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(miniature);

    QColor outline;
    qreal outlineWidth = 1;
    if (isChecked()) {
        outline = theme_.selectedRowBackground;
        outlineWidth = 2;
    } else {
        outline = SettingsStyle::secondaryColor(palette());
        outline.setAlphaF(0.18f);
    }
    painter.setPen(QPen(outline, outlineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(card);
    if (hasFocus())
        KeyboardAccess::paintFocusRing(painter, QRectF(rect()).adjusted(4, 4, -4, -4), 7, palette());
}

} // namespace orvex
