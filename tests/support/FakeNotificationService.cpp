#include "FakeNotificationService.h"

namespace orvex::test {

bool FakeNotificationService::registerOn(QDBusConnection connection) {
    return connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                     QDBusConnection::ExportAllSlots) &&
           connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotificationService::Notify(const QString &applicationName, uint, const QString &icon,
                                     const QString &summary, const QString &body, const QStringList &,
                                     const QVariantMap &hints, int) {
    messages.append({applicationName, icon, summary, body, hints});
    return static_cast<uint>(messages.size());
}

QStringList FakeNotificationService::GetCapabilities() {
    return {QStringLiteral("body")};
}

QString FakeNotificationService::GetServerInformation(QString &vendor, QString &version,
                                                      QString &specVersion) {
    vendor = QStringLiteral("test");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake notifications");
}

} // namespace orvex::test
