#include "DesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
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
    // Asked of the bus itself, which answers at once. A service that is not running yet but that the
    // bus starts on demand counts: many desktops start their notification daemon that way, at the first
    // message.
    QDBusConnectionInterface *names = bus.interface();
    if (!names)
        return false;
    if (!names->isServiceRegistered(serviceName).value()) {
        const QDBusReply<QStringList> activatable = names->activatableServiceNames();
        if (!activatable.isValid() || !activatable.value().contains(serviceName))
            return false;
    }
    // The bus starts the service and hands the message over once it runs; the call is not waited for.
    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName, QStringLiteral("/org/freedesktop/Notifications"), serviceName, QStringLiteral("Notify"));
    call.setAutoStartService(true);
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry_}};
    // Name, no message to replace, icon, summary, body, no actions, hints, the server's own time-out.
    call << applicationName_ << quint32(0) << iconName_ << summary << body << QStringList() << hints
         << qint32(-1);
    return bus.send(call);
}

} // namespace orvex
