#include "panel/FileIconProvider.h"

#include "platform/MainQueue.h"
#include "platform/SafeFile.h"
#include "search/LauncherNotifications.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPointer>
#include <QStandardPaths>

namespace orvex {

namespace {

// Bounds memory when a session walks through thousands of rows.
constexpr qsizetype maxCachedIcons = 2048;
constexpr qint64 maxDesktopEntryBytes = 256 * 1024;
constexpr qint64 maxIconFileBytes = 4 * 1024 * 1024;

qreal devicePixelRatio() {
    return qApp ? qApp->devicePixelRatio() : 1.0;
}

// Loads an icon file the item names, scaled to fit the icon box; null when it is no readable image.
QImage loadIconFile(const QString &path, qreal dpr) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxIconFileBytes)
        return {};
    QImageReader reader(path);
    const QSize pixels = (QSizeF(FileIconProvider::iconSize, FileIconProvider::iconSize) * dpr).toSize();
    QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(size.scaled(pixels, Qt::KeepAspectRatio));
    else
        reader.setScaledSize(pixels);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(dpr);
    return image;
}

QStringList iconNamesOfIconValue(const QString &value) {
    // Icon names carry no extension, but some entries write one anyway.
    QString name = value;
    for (const char *suffix : {".png", ".svg", ".xpm"}) {
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            name.chop(4);
            break;
        }
    }
    return {name};
}

QString findDesktopEntry(const QStringList &ids) {
    for (const QString &id : ids) {
        const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

} // namespace

FileIconProvider::FileIconProvider(NotificationCenter &center, QObject *parent)
    : QObject(parent), center_(center) {
    QPointer<FileIconProvider> self(this);
    refreshObserver_ = center_.addObserver(QString(NotificationName::launcherSearchDataRefreshed),
                                           [self](const Notification &) {
                                               // Posted on any thread; the caches live on the provider's.
                                               if (self)
                                                   QMetaObject::invokeMethod(self.data(), [self] {
                                                       if (self)
                                                           self->retryFailedLookups();
                                                   });
                                           });
    // The desktop's theme changes reach every window as a ThemeChange event.
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

FileIconProvider::~FileIconProvider() {
    center_.removeObserver(refreshObserver_);
    workers_.waitForDone();
}

FileIconProvider &FileIconProvider::shared() {
    static auto *provider = new FileIconProvider(NotificationCenter::defaultCenter(), qApp);
    return *provider;
}

bool FileIconProvider::eventFilter(QObject *watched, QEvent *event) {
    // One theme change reaches every window; one reload serves them all.
    if (event->type() == QEvent::ThemeChange && watched->isWindowType() && !themeChangeQueued_) {
        themeChangeQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                themeChangeQueued_ = false;
                reloadAllIcons();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void FileIconProvider::rescanIconTheme() {
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths());
}

void FileIconProvider::retryFailedLookups() {
    const auto isFailed = [](const QImage &image) { return image.isNull(); };
    const qsizetype before = icons_.size() + themeIcons_.size();
    icons_.removeIf([&](const auto &entry) { return isFailed(entry.value()); });
    themeIcons_.removeIf([&](const auto &entry) { return isFailed(entry.value()); });
    bool changed = icons_.size() + themeIcons_.size() != before;
    for (std::optional<QImage> *shared : {&systemSettingsIcon_, &pdfTypeIcon_})
        if (*shared && shared->value().isNull()) {
            shared->reset();
            changed = true;
        }
    if (notionAppIcon_ && !notionAppIcon_->has_value()) {
        notionAppIcon_.reset();
        changed = true;
    }
    if (!changed)
        return;
    rescanIconTheme();
    Q_EMIT iconsReset();
}

void FileIconProvider::reloadAllIcons() {
    icons_.clear();
    themeIcons_.clear();
    systemSettingsIcon_.reset();
    notionAppIcon_.reset();
    pdfTypeIcon_.reset();
    rescanIconTheme();
    Q_EMIT iconsReset();
}

QString FileIconProvider::desktopEntryIconValue(const QString &desktopFilePath) {
    const auto bytes = SafeFile::readRegularFile(desktopFilePath, maxDesktopEntryBytes);
    if (!bytes)
        return {};
    bool inMainGroup = false;
    for (const QByteArray &rawLine : bytes->split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || !line.startsWith(QLatin1String("Icon")))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed() != QLatin1String("Icon"))
            continue;
        return line.mid(equals + 1).trimmed();
    }
    return {};
}

FileIconSource FileIconProvider::iconSource(const QString &fullPath) {
    FileIconSource source;
    const QFileInfo info(fullPath);
    if (fullPath.endsWith(QLatin1String(".desktop")) && info.isFile()) {
        const QString value = desktopEntryIconValue(fullPath);
        if (QDir::isAbsolutePath(value))
            source.imageFile = value;
        else if (!value.isEmpty())
            source.themeNames = iconNamesOfIconValue(value);
        source.themeNames << QStringLiteral("application-x-executable");
        return source;
    }
    if (info.isDir()) {
        source.themeNames = {QStringLiteral("folder"), QStringLiteral("inode-directory")};
        return source;
    }
    // By name alone when the item is gone, by content as well when it is there.
    static const QMimeDatabase mimeDatabase;
    const QMimeType type = info.exists()
                               ? mimeDatabase.mimeTypeForFile(info)
                               : mimeDatabase.mimeTypeForFile(fullPath, QMimeDatabase::MatchExtension);
    source.themeNames << type.iconName() << type.genericIconName();
    source.themeNames << QStringLiteral("text-x-generic") << QStringLiteral("unknown");
    source.themeNames.removeDuplicates();
    source.themeNames.removeAll(QString());
    return source;
}

QImage FileIconProvider::icon(const QString &fullPath) {
    if (auto found = icons_.constFind(fullPath); found != icons_.constEnd())
        return *found;
    if (loading_.contains(fullPath))
        return {};
    loading_.insert(fullPath);
    const qreal dpr = devicePixelRatio();
    QPointer<FileIconProvider> self(this);
    workers_.start([self, fullPath, dpr] {
        const FileIconSource source = iconSource(fullPath);
        const QImage fileImage = source.imageFile.isEmpty() ? QImage() : loadIconFile(source.imageFile, dpr);
        // Queued to the provider's thread; dropped with the provider when it is gone.
        MainQueue::post(self.data(), [self, fullPath, source, fileImage] {
            self->finishLoad(fullPath, source, fileImage);
        });
    });
    return {};
}

void FileIconProvider::finishLoad(const QString &fullPath, const FileIconSource &source,
                                  const QImage &fileImage) {
    loading_.remove(fullPath);
    const QImage image = fileImage.isNull() ? themeIcon(source.themeNames) : fileImage;
    if (icons_.size() >= maxCachedIcons)
        icons_.clear();
    icons_.insert(fullPath, image);
    Q_EMIT iconLoaded(fullPath);
}

QImage FileIconProvider::themeIcon(const QStringList &names) {
    const QString key = names.join(QLatin1Char('\n'));
    if (auto found = themeIcons_.constFind(key); found != themeIcons_.constEnd())
        return *found;
    QImage image;
    for (const QString &name : names) {
        const QIcon icon = QIcon::fromTheme(name);
        if (icon.isNull())
            continue;
        image = icon.pixmap(QSize(iconSize, iconSize), devicePixelRatio()).toImage();
        if (!image.isNull())
            break;
    }
    themeIcons_.insert(key, image);
    return image;
}

QImage FileIconProvider::systemSettingsIcon() {
    if (!systemSettingsIcon_) {
        // The desktop's settings application, under the names the common desktops give its icon.
        systemSettingsIcon_ =
            themeIcon({QStringLiteral("preferences-system"), QStringLiteral("org.gnome.Settings"),
                       QStringLiteral("preferences-desktop")});
    }
    return *systemSettingsIcon_;
}

std::optional<QImage> FileIconProvider::notionAppIcon() {
    if (!notionAppIcon_) {
        // The desktop entries the Notion desktop app is packaged under on Linux.
        const QString entry =
            findDesktopEntry({QStringLiteral("notion-app.desktop"), QStringLiteral("notion.desktop"),
                              QStringLiteral("notion-app-enhanced.desktop")});
        std::optional<QImage> image;
        if (!entry.isEmpty()) {
            const FileIconSource source = iconSource(entry);
            QImage found =
                source.imageFile.isEmpty() ? QImage() : loadIconFile(source.imageFile, devicePixelRatio());
            if (found.isNull())
                found = themeIcon(source.themeNames);
            if (!found.isNull())
                image = found;
        }
        notionAppIcon_ = image;
    }
    return *notionAppIcon_;
}

QImage FileIconProvider::pdfTypeIcon() {
    if (!pdfTypeIcon_) {
        const QMimeType pdf = QMimeDatabase().mimeTypeForName(QStringLiteral("application/pdf"));
        pdfTypeIcon_ = themeIcon({pdf.iconName(), pdf.genericIconName()});
    }
    return *pdfTypeIcon_;
}

} // namespace orvex
