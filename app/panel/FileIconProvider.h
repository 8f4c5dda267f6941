#pragma once

#include "platform/NotificationCenter.h"
#include "platform/WorkerPool.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex {

// Where an item's icon comes from: an image file named by the item itself (a desktop entry's absolute
// Icon=), else the first of these names the icon theme has.
struct FileIconSource {
    QString imageFile;
    QStringList themeNames;

    bool operator==(const FileIconSource &) const = default;
};

// Icons of files, folders and applications (desktop entries), 32 × 32, keyed by the row's full path. The
// disk work (the item's content type, its desktop entry, an icon file) runs on a worker thread; the icon
// theme is asked on the GUI thread once per icon name and remembered. Also the three icons every panel
// shares: the settings application's, the Notion desktop app's and the PDF type's. GUI thread only.
//
// What was not found is asked again after the sources were refreshed ("LauncherSearchDataRefreshed":
// an application installed meanwhile brings its icon), and every icon is asked again when the desktop's
// icon theme changes.
class FileIconProvider : public QObject {
    Q_OBJECT

public:
    static constexpr int iconSize = 32;

    explicit FileIconProvider(NotificationCenter &center = NotificationCenter::defaultCenter(),
                              QObject *parent = nullptr);
    ~FileIconProvider() override;

    static FileIconProvider &shared();

    // The icon once loaded; a null image while it loads (then iconLoaded follows) or when neither the item
    // nor the icon theme has one.
    QImage icon(const QString &fullPath);

    QImage systemSettingsIcon();
    // None when the Notion desktop app is not installed.
    std::optional<QImage> notionAppIcon();
    QImage pdfTypeIcon();

    // What an item's icon is made from (runs on the worker; touches the disk).
    static FileIconSource iconSource(const QString &fullPath);
    // A desktop entry's Icon= value in its main group; empty when absent or the file is unreadable.
    static QString desktopEntryIconValue(const QString &desktopFilePath);

    // Forgets what was not found, so that the next request looks again.
    void retryFailedLookups();
    // Forgets every icon: the theme they came from is another now.
    void reloadAllIcons();

Q_SIGNALS:
    void iconLoaded(const QString &fullPath);
    // Icons that were asked for may look different when asked again.
    void iconsReset();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Makes the icon theme look at its folders afresh (it remembers what it found, and what not).
    static void rescanIconTheme();

    void finishLoad(const QString &fullPath, const FileIconSource &source, const QImage &fileImage);
    QImage themeIcon(const QStringList &names);

    QHash<QString, QImage> icons_;
    QSet<QString> loading_;
    QHash<QString, QImage> themeIcons_;
    std::optional<QImage> systemSettingsIcon_;
    std::optional<std::optional<QImage>> notionAppIcon_;
    std::optional<QImage> pdfTypeIcon_;
    NotificationCenter &center_;
    NotificationCenter::ObserverToken refreshObserver_ = 0;
    bool themeChangeQueued_ = false;
    // Last, so that it is destroyed first: its destructor waits for the running loads.
    WorkerPool workers_{2};
};

} // namespace orvex
