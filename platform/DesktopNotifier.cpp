#include "DesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace orvex {

DesktopNotifier::DesktopNotifier(QString applicationName, QString iconName, QString desktopEntry,
                                 std::optional<QDBusConnection> bus)
    : applicationName_(std::move(applicationName)), iconName_(std::move(iconName)),
      desktopEntry_(std::move(desktopEntry)), bus_(std::move(bus)) {}

bool DesktopNotifier::notify(const QString &summary, const QString &body) const {
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // Asked of the bus itself, which answers at once: a call to a name nobody owns could wait for a
    // service to be started instead.
    QDBusConnectionInterface *names = bus.interface();
    if (!names || !names->isServiceRegistered(serviceName).value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName, QStringLiteral("/org/freedesktop/Notifications"), serviceName, QStringLiteral("Notify"));
    call.setAutoStartService(false);
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry_}};
    // Name, no message to replace, icon, summary, body, no actions, hints, the server's own time-out.
    call << applicationName_ << quint32(0) << iconName_ << summary << body << QStringList() << hints
         << qint32(-1);
    return bus.send(call);
}

} // namespace orvex
