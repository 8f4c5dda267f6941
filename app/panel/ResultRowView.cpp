#include "panel/ResultRowView.h"

#include "panel/FileIconProvider.h"
#include "panel/RemoteDocumentImages.h"
#include "panel/SnippetView.h"
#include "panel/SymbolImages.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// The colour `amount` of the way from `from` to `to` (a clear end keeps the other end's hue).
QColor blended(QColor from, QColor to, qreal amount) {
    amount = std::clamp(amount, 0.0, 1.0);
    if (amount <= 0)
        return from;
    if (amount >= 1)
        return to;
    if (from.alpha() == 0)
        from = QColor(to.red(), to.green(), to.blue(), 0);
    if (to.alpha() == 0)
        to = QColor(from.red(), from.green(), from.blue(), 0);
    const auto mix = [amount](int a, int b) { return int(std::lround(a + (b - a) * amount)); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()),
                  mix(from.alpha(), to.alpha()));
}

class SharedRowIcons final : public ResultRowIcons {
public:
    QImage fileIcon(const QString &fullPath) override { return FileIconProvider::shared().icon(fullPath); }
    std::optional<QImage> remoteDocumentImage(CustomFileIconKind kind) override {
        switch (kind) {
        case CustomFileIconKind::googleSheets:
            return RemoteDocumentImages::shared().image(RemoteDocumentKind::googleSheets);
        case CustomFileIconKind::googleDocs:
            return RemoteDocumentImages::shared().image(RemoteDocumentKind::googleDocs);
        case CustomFileIconKind::googleSlides:
            return RemoteDocumentImages::shared().image(RemoteDocumentKind::googleSlides);
        case CustomFileIconKind::pdf:
            break;
        }
        return std::nullopt;
    }
    QImage systemSettingsIcon() override { return FileIconProvider::shared().systemSettingsIcon(); }
    std::optional<QImage> notionAppIcon() override { return FileIconProvider::shared().notionAppIcon(); }
    QImage pdfTypeIcon() override { return FileIconProvider::shared().pdfTypeIcon(); }
};

QFont uiFont(int pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

// What the icon frame shows: an image drawn `side` × `side`, centred in the 32-point frame.
struct IconDrawing {
    QImage image;
    int side = 0;
};

IconDrawing symbolDrawing(const QString &name, int side, const QColor &tint, qreal dpr) {
    return {SymbolImages::image(name, QSize(side, side), tint, dpr), side};
}

QString fileKindSymbol(SearchResultKind kind) {
    switch (kind) {
    case SearchResultKind::app:
        return QStringLiteral("app.fill");
    case SearchResultKind::folder:
        return QStringLiteral("folder.fill");
    case SearchResultKind::file:
    case SearchResultKind::action:
        break;
    }
    return QStringLiteral("doc.fill");
}

IconDrawing chooseIcon(const ResultRowView &row, ResultRowIcons *icons, qreal dpr) {
    const SearchResult &result = row.result;
    const QColor tint = row.theme.iconTintColor(result, row.isSelected);
    const int frame = ResultRowView::iconFrame;

    if (result.action() == SearchResultAction::openNotionPage && icons) {
        if (auto notion = icons->notionAppIcon(); notion && !notion->isNull())
            return {*notion, frame};
    }
    if (const auto custom = row.customFileIcon()) {
        switch (*custom) {
        case CustomFileIconKind::googleSheets:
        case CustomFileIconKind::googleDocs:
        case CustomFileIconKind::googleSlides: {
            if (icons) {
                if (auto image = icons->remoteDocumentImage(*custom); image && !image->isNull())
                    return {*image, 24};
            }
            const QString placeholder =
                *custom == CustomFileIconKind::googleSheets ? QStringLiteral("tablecells.fill")
                : *custom == CustomFileIconKind::googleDocs ? QStringLiteral("doc.text.fill")
                                                            : QStringLiteral("rectangle.on.rectangle");
            return symbolDrawing(placeholder, 18, tint, dpr);
        }
        case CustomFileIconKind::pdf:
            if (icons) {
                if (QImage pdf = icons->pdfTypeIcon(); !pdf.isNull())
                    return {pdf, frame};
            }
            // A desktop without an icon theme has no PDF icon: the document symbol stands in.
            return symbolDrawing(QStringLiteral("doc.fill"), frame, tint, dpr);
        }
    }
    if (!row.shouldUseSymbolIcon()) {
        if (result.kind() == SearchResultKind::action) {
            switch (result.action().value_or(SearchResultAction::openSettings)) {
            case SearchResultAction::openSystemSettings:
                if (icons) {
                    if (QImage settings = icons->systemSettingsIcon(); !settings.isNull())
                        return {settings, frame};
                }
                return symbolDrawing(QStringLiteral("gearshape.fill"), 28, tint, dpr);
            case SearchResultAction::focusBrowserTab:
                return symbolDrawing(QStringLiteral("globe"), 24, tint, dpr);
            case SearchResultAction::openBrowserFavorite:
                return symbolDrawing(QStringLiteral("bookmark.fill"), 20, tint, dpr);
            case SearchResultAction::copyToClipboard:
                return symbolDrawing(QStringLiteral("equal.circle"), 22, tint, dpr);
            case SearchResultAction::openSettings:
            case SearchResultAction::openNotionPage:
                break;
            }
            return symbolDrawing(QStringLiteral("gearshape.fill"), 28, tint, dpr);
        }
        if (icons && row.shouldUseNativeIcon()) {
            if (QImage loaded = icons->fileIcon(result.fullPath()); !loaded.isNull())
                return {loaded, frame};
        }
        return symbolDrawing(fileKindSymbol(result.kind()), frame, tint, dpr);
    }
    return symbolDrawing(ResultRowView::symbolName(result), 18, tint, dpr);
}

void drawImageCentred(QPainter &painter, const QRect &frame, const QImage &image, int side) {
    if (image.isNull())
        return;
    // Whole-pixel placement keeps small symbols sharp.
    const QSize fitted =
        QSizeF(image.deviceIndependentSize()).scaled(QSizeF(side, side), Qt::KeepAspectRatio).toSize();
    const QRect target(frame.left() + (frame.width() - fitted.width()) / 2,
                       frame.top() + (frame.height() - fitted.height()) / 2, fitted.width(), fitted.height());
    painter.drawImage(target, image);
}

} // namespace

ResultRowIcons &sharedResultRowIcons() {
    static SharedRowIcons icons;
    return icons;
}

QFont ResultRowView::titleFont() {
    return uiFont(16, QFont::Medium);
}

QFont ResultRowView::subtitleFont(bool revealHint) {
    return uiFont(11, revealHint ? QFont::DemiBold : QFont::Normal);
}

QFont ResultRowView::badgeFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    font.setWeight(QFont::DemiBold);
    font.setStyleHint(QFont::Monospace);
    return font;
}

std::optional<CustomFileIconKind> ResultRowView::customFileIcon() const {
    if (result.kind() != SearchResultKind::file)
        return std::nullopt;
    const QString name = result.filename().toLower();
    if (name.endsWith(QLatin1String(".gsheet")))
        return CustomFileIconKind::googleSheets;
    if (name.endsWith(QLatin1String(".gdoc")))
        return CustomFileIconKind::googleDocs;
    if (name.endsWith(QLatin1String(".gslides")))
        return CustomFileIconKind::googleSlides;
    if (name.endsWith(QLatin1String(".pdf")))
        return CustomFileIconKind::pdf;
    return std::nullopt;
}

bool ResultRowView::shouldUseNativeIcon() const {
    if (result.kind() == SearchResultKind::action)
        return false;
    if (!isVitesseTheme(theme.id))
        return true;
    return result.kind() == SearchResultKind::app && useNativeAppIcons;
}

bool ResultRowView::shouldUseSymbolIcon() const {
    return isVitesseTheme(theme.id) && !shouldUseNativeIcon();
}

QString ResultRowView::symbolName(const SearchResult &result) {
    switch (result.kind()) {
    case SearchResultKind::file:
        return QStringLiteral("doc.fill");
    case SearchResultKind::app:
        return QStringLiteral("app.fill");
    case SearchResultKind::folder:
        return QStringLiteral("folder.fill");
    case SearchResultKind::action:
        break;
    }
    if (!result.action())
        return QStringLiteral("slider.horizontal.3");
    switch (*result.action()) {
    case SearchResultAction::copyToClipboard:
        return QStringLiteral("equal.circle");
    case SearchResultAction::focusBrowserTab:
        return QStringLiteral("globe");
    case SearchResultAction::openBrowserFavorite:
        return QStringLiteral("bookmark.fill");
    case SearchResultAction::openSystemSettings:
        return QStringLiteral("gearshape.fill");
    case SearchResultAction::openNotionPage:
        return QStringLiteral("doc.richtext");
    case SearchResultAction::openSettings:
        break;
    }
    return QStringLiteral("slider.horizontal.3");
}

bool ResultRowView::showsSnippet() const {
    return showSnippets && result.snippet().has_value();
}

bool ResultRowView::showsBadge() const {
    return showScore && result.relevanceScore().has_value();
}

QString ResultRowView::subtitleText() const {
    if (isSelected && activationMode == ResultActivationMode::revealInFileBrowser)
        return QStringLiteral("Reveal in File Browser");
    return result.directory();
}

QString ResultRowView::badgeAccessibleLabel() const {
    if (!showsBadge())
        return {};
    return QStringLiteral("Search score ") + QString::number(*result.relevanceScore());
}

QString ResultRowView::kindAccessibleLabel(const SearchResult &result) {
    switch (result.kind()) {
    case SearchResultKind::app:
        return QStringLiteral("Application");
    case SearchResultKind::folder:
        return QStringLiteral("Folder");
    case SearchResultKind::file:
        return QStringLiteral("Document");
    case SearchResultKind::action:
        break;
    }
    // A translation row carries the text it translates as its snippet; a bookmark's snippet is its own
    // address, and the calculator's row has none.
    const std::optional<QString> &snippet = result.snippet();
    switch (result.action().value_or(SearchResultAction::openSettings)) {
    case SearchResultAction::openSystemSettings:
        return QStringLiteral("Settings pane");
    case SearchResultAction::focusBrowserTab:
        return QStringLiteral("Browser tab");
    case SearchResultAction::openBrowserFavorite:
        return snippet && snippet != result.actionURLString() ? QStringLiteral("Translation")
                                                              : QStringLiteral("Bookmark");
    case SearchResultAction::copyToClipboard:
        return snippet ? QStringLiteral("Translation") : QStringLiteral("Calculation");
    case SearchResultAction::openNotionPage:
        return QStringLiteral("Notion page");
    case SearchResultAction::openSettings:
        break;
    }
    return QStringLiteral("Launcher settings");
}

ResultRowView::Geometry ResultRowView::geometry(const QRect &rect) const {
    Geometry g;
    const int left = rect.left() + horizontalPadding;
    int right = rect.right() + 1 - horizontalPadding;
    if (isSelected) {
        g.hint = QRect(right - hintWidth, 0, hintWidth, 0);
        right -= hintWidth + spacing;
    }
    if (showsBadge()) {
        g.badge = QRect(right - badgeWidth, 0, badgeWidth, 0);
        right -= badgeWidth + spacing;
    }
    const int textLeft = left + iconFrame + spacing;
    const int textWidth = std::max(0, right - textLeft);

    const int titleHeight = QFontMetrics(titleFont()).height();
    const int subtitleHeight = QFontMetrics(subtitleFont(subtitleText() != result.directory())).height();
    int snippetHeight = 0;
    if (showsSnippet()) {
        const SnippetView snippet{*result.snippet(), result, isSelected, theme};
        snippetHeight = int(std::ceil(snippet.heightForWidth(textWidth)));
    }
    int columnHeight = titleHeight + 4 + subtitleHeight;
    if (showsSnippet())
        columnHeight += 4 + 2 + snippetHeight;

    const int contentHeight = std::max(iconFrame, columnHeight);
    const int centreY = rect.top() + std::max(rect.height(), contentHeight + 2 * verticalPadding) / 2;
    g.icon = QRect(left, centreY - iconFrame / 2, iconFrame, iconFrame);
    const int columnTop = centreY - columnHeight / 2;
    g.title = QRect(textLeft, columnTop, textWidth, titleHeight);
    g.subtitle = QRect(textLeft, g.title.bottom() + 1 + 4, textWidth, subtitleHeight);
    if (showsSnippet())
        g.snippet = QRect(textLeft, g.subtitle.bottom() + 1 + 4 + 2, textWidth, snippetHeight);
    if (showsBadge()) {
        const int h = QFontMetrics(badgeFont()).height();
        g.badge = QRect(g.badge.left(), centreY - h / 2, badgeWidth, h);
    }
    if (isSelected)
        g.hint = QRect(g.hint.left(), centreY - hintWidth / 2, hintWidth, hintWidth);
    return g;
}

int ResultRowView::heightForWidth(int width) const {
    const Geometry g = geometry(QRect(0, 0, width, 0));
    const int columnHeight =
        showsSnippet() ? g.snippet.bottom() + 1 - g.title.top() : g.subtitle.bottom() + 1 - g.title.top();
    const int content = std::max(iconFrame, columnHeight) + 2 * verticalPadding;
    return std::max(showsSnippet() ? 0 : minimumHeight, content);
}

void ResultRowView::paint(QPainter &painter, const QRect &rect, ResultRowIcons *icons) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;

    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect), cornerRadius, cornerRadius);
    const qreal hovered = hoverAmount.value_or(isHovered ? 1.0 : 0.0);
    const QColor fill = isSelected ? theme.selectedRowBackground
                                   : blended(theme.rowBaseBackground, theme.hoverRowBackground, hovered);
    painter.fillPath(shape, fill);
    painter.setClipPath(shape, Qt::IntersectClip);

    const Geometry g = geometry(rect);
    const IconDrawing icon = chooseIcon(*this, icons, dpr);
    drawImageCentred(painter, g.icon, icon.image, icon.side);

    painter.setFont(titleFont());
    painter.setPen(theme.primaryTextColor(result, isSelected));
    painter.drawText(g.title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(result.filename(), Qt::ElideRight, g.title.width()));

    const bool revealHint = subtitleText() != result.directory();
    painter.setFont(subtitleFont(revealHint));
    painter.setPen(theme.secondaryTextColor(result, isSelected));
    painter.drawText(g.subtitle, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(
                         subtitleText(), revealHint ? Qt::ElideRight : Qt::ElideMiddle, g.subtitle.width()));

    if (showsSnippet()) {
        const SnippetView snippet{*result.snippet(), result, isSelected, theme};
        painter.save();
        painter.setClipRect(g.snippet, Qt::IntersectClip);
        snippet.paint(painter, g.snippet);
        painter.restore();
    }

    if (showsBadge()) {
        painter.setFont(badgeFont());
        painter.setPen(withOpacity(theme.secondaryTextColor(result, isSelected), 0.78));
        painter.drawText(g.badge, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                         QString::number(*result.relevanceScore()));
    }

    if (isSelected) {
        const QString hint = activationMode == ResultActivationMode::revealInFileBrowser
                                 ? QStringLiteral("folder.fill")
                                 : QStringLiteral("return");
        const QImage image = SymbolImages::image(hint, QSize(14, 14), theme.selectedIndicator, dpr);
        painter.drawImage(QRect(g.hint.right() + 1 - 14, g.hint.top() + (g.hint.height() - 14) / 2, 14, 14),
                          image);
    }

    const QColor stroke = isSelected ? theme.selectedRowStroke
                                     : blended(QColor(Qt::transparent), theme.hoverRowStroke, hovered);
    if (stroke.alpha() > 0) {
        painter.setPen(QPen(stroke, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    }
    painter.restore();
}

} // namespace orvex
