#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>

namespace orvex {

// Tells the user something where they look, through the desktop's notification service
// (org.freedesktop.Notifications on the session bus): a message that shows and goes by itself. A service
// the bus starts on demand is started by the message. Where there is no such service, nothing is shown
// and nothing waits. Knows nothing of the launcher. GUI thread.
class DesktopNotifier {
public:
    // `applicationName` and `iconName` (an icon theme name) mark the message as the program's; the
    // desktop entry name lets the desktop group it with the program. None: the session bus.
    DesktopNotifier(QString applicationName, QString iconName, QString desktopEntry,
                    std::optional<QDBusConnection> bus = std::nullopt);

    // Sends the message when a notification service runs on the bus or can be started by it; false when
    // there is none or the bus cannot be reached. Does not wait for the service to start or answer.
    bool notify(const QString &summary, const QString &body) const;

    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");

private:
    QString applicationName_;
    QString iconName_;
    QString desktopEntry_;
    std::optional<QDBusConnection> bus_;
};

} // namespace orvex
