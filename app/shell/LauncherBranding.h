#pragma once

#include <QIcon>
#include <QString>

namespace orvex {

// The launcher's own images outside the panel.
namespace LauncherBranding {

// Where the images are bundled.
inline const QString resourceFolder = QStringLiteral(":/branding");

// The status item's image: "MenuBarTemplate.png" at 20 × 16, else the "sparkles" and then the
// "bolt.fill" symbol at 16; each marked as a mask (drawn in the bar's colour where the desktop does
// that). A null icon when `folder` holds none of them.
QIcon statusBarImage(const QString &folder = resourceFolder);

// The launcher's own icon ("io.orvex.launcher.svg", as installed for application menus), which every
// window of the launcher carries. A null icon when `folder` holds none.
QIcon applicationIcon(const QString &folder = resourceFolder);

} // namespace LauncherBranding

} // namespace orvex
