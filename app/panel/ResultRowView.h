#pragma once

#include "panel/LauncherTheme.h"
#include "panel/ResultActivationMode.h"
#include "search/DatabaseTypes.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

class QPainter;

namespace orvex {

// Link files whose icon is fixed by their kind rather than taken from the desktop.
enum class CustomFileIconKind { googleSheets, googleDocs, googleSlides, pdf };

// Where a row's loaded images come from. Each call answers at once: an image still loading is null or
// none, and the owner repaints when it arrives.
class ResultRowIcons {
public:
    virtual ~ResultRowIcons() = default;
    virtual QImage fileIcon(const QString &fullPath) = 0;
    virtual std::optional<QImage> remoteDocumentImage(CustomFileIconKind kind) = 0;
    virtual QImage systemSettingsIcon() = 0;
    virtual std::optional<QImage> notionAppIcon() = 0;
    virtual QImage pdfTypeIcon() = 0;
};

// The launcher's own icon sources: FileIconProvider::shared() and RemoteDocumentImages::shared().
ResultRowIcons &sharedResultRowIcons();

// One row of the result list, painted: icon, title, location (or "Reveal in File Browser"), snippet,
// score badge and the selection hint, in the colours of `theme`. A plain value: the panel's list and the
// settings window's theme previews paint rows with it.
struct ResultRowView {
    SearchResult result{SearchResultFields{}};
    bool isSelected = false;
    bool isHovered = false;
    bool showSnippets = false;
    ResultActivationMode activationMode = ResultActivationMode::open;
    LauncherTheme theme;
    bool useNativeAppIcons = false;
    bool showScore = false;
    // How far the hover look has come, 0 to 1, while it fades in or out; none: all or nothing by
    // isHovered.
    std::optional<qreal> hoverAmount;

    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 8;
    static constexpr int spacing = 12;
    static constexpr int iconFrame = 32;
    static constexpr int minimumHeight = 56;
    static constexpr int badgeWidth = 52;
    static constexpr int hintWidth = 18;
    static constexpr qreal cornerRadius = 8;

    static QFont titleFont();
    static QFont subtitleFont(bool revealHint);
    static QFont badgeFont();

    std::optional<CustomFileIconKind> customFileIcon() const;
    bool shouldUseNativeIcon() const;
    bool shouldUseSymbolIcon() const;
    static QString symbolName(const SearchResult &result);
    bool showsSnippet() const;
    bool showsBadge() const;

    // The subtitle line as shown (before eliding).
    QString subtitleText() const;
    // "Search score N" when the badge is shown.
    QString badgeAccessibleLabel() const;
    // What kind of thing the row is, in words ("Application", "Folder", "Document", "Bookmark",
    // "Browser tab", "Settings pane", "Calculation", "Translation", ...): on screen only its icon says it.
    static QString kindAccessibleLabel(const SearchResult &result);

    // The row's height when it is `width` wide.
    int heightForWidth(int width) const;
    // Paints the row into `rect`. With no icon source only symbols are drawn.
    void paint(QPainter &painter, const QRect &rect, ResultRowIcons *icons) const;

    // Where each part goes inside a row rectangle (also what the pixel tests look at).
    struct Geometry {
        QRect icon;
        QRect title;
        QRect subtitle;
        QRect snippet;
        QRect badge;
        QRect hint;
    };
    Geometry geometry(const QRect &rect) const;
};

} // namespace orvex
