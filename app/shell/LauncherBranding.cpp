#include "shell/LauncherBranding.h"

#include <QFileInfo>
#include <QImage>
#include <QPixmap>

namespace orvex::LauncherBranding {

QIcon statusBarImage(const QString &folder) {
    const QImage bundled(folder + QStringLiteral("/MenuBarTemplate.png"));
    if (!bundled.isNull()) {
        QIcon icon;
        const QSize size(20, 16);
        icon.addPixmap(
            QPixmap::fromImage(bundled.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        // The picture is drawn at twice the size, for screens of double density.
        QPixmap sharp =
            QPixmap::fromImage(bundled.scaled(size * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        sharp.setDevicePixelRatio(2);
        icon.addPixmap(sharp);
        icon.setIsMask(true);
        return icon;
    }
    for (const QString &symbol : {QStringLiteral("sparkles"), QStringLiteral("bolt.fill")}) {
        const QString path = folder + QLatin1Char('/') + symbol + QStringLiteral(".svg");
        if (!QFileInfo::exists(path))
            continue;
        QIcon icon(path);
        if (icon.pixmap(QSize(16, 16)).isNull())
            continue;
        icon.setIsMask(true);
        return icon;
    }
    return QIcon();
}

QIcon applicationIcon(const QString &folder) {
    const QString path = folder + QStringLiteral("/io.orvex.launcher.svg");
    return QFileInfo::exists(path) ? QIcon(path) : QIcon();
}

} // namespace orvex::LauncherBranding
