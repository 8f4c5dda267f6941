#include "FakeNotificationService.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

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
    if (!recordPath_.isEmpty()) {
        QFile record(recordPath_);
        if (record.open(QIODevice::WriteOnly | QIODevice::Append))
            record.write(
                QJsonDocument(QJsonObject{{QStringLiteral("applicationName"), applicationName},
                                          {QStringLiteral("icon"), icon},
                                          {QStringLiteral("summary"), summary},
                                          {QStringLiteral("body"), body},
                                          {QStringLiteral("hints"), QJsonObject::fromVariantMap(hints)}})
                    .toJson(QJsonDocument::Compact) +
                '\n');
    }
    return static_cast<uint>(messages.size());
}

QList<FakeNotificationService::Message> FakeNotificationService::recorded(const QString &path) {
    QList<Message> found;
    QFile record(path);
    if (!record.open(QIODevice::ReadOnly))
        return found;
    // A line is complete once its line feed is there.
    const QList<QByteArray> lines = record.readAll().split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QJsonObject fields = QJsonDocument::fromJson(lines[i]).object();
        found.append({fields.value(QStringLiteral("applicationName")).toString(),
                      fields.value(QStringLiteral("icon")).toString(),
                      fields.value(QStringLiteral("summary")).toString(),
                      fields.value(QStringLiteral("body")).toString(),
                      fields.value(QStringLiteral("hints")).toObject().toVariantMap()});
    }
    return found;
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
