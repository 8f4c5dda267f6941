#include "panel/PanelHost.h"

#include "panel/PanelNotifications.h"

#include <QGuiApplication>
#include <QWindow>

#include <atomic>

namespace orvex {

namespace {

std::atomic<PanelHost *> installedHost{nullptr};

} // namespace

PanelHost *PanelHost::current() {
    return installedHost.load();
}

void PanelHost::activationFailed(const SearchResult &, const QString &) {}

void PanelHost::setCurrent(PanelHost *host) {
    installedHost.store(host);
}

void hideLauncherPanel(NotificationCenter &center) {
    if (PanelHost *host = PanelHost::current()) {
        host->hideWindow();
        return;
    }
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const QWindowList windows = QGuiApplication::topLevelWindows();
        for (QWindow *window : windows)
            window->hide();
    }
    center.post(NotificationName::launcherWindowHidden);
}

} // namespace orvex
