#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace orvex::test {

// Plays the desktop's notification service (org.freedesktop.Notifications) on a bus of the test's own
// and records every message it is asked to show.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Message {
        QString applicationName;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    // Registers the service and its object on `connection`; false when either is refused.
    bool registerOn(QDBusConnection connection);
    // Also writes each message to `path`, one line each, for a test in another process to read.
    void recordTo(const QString &path) { recordPath_ = path; }
    // The messages recorded in `path` so far.
    static QList<Message> recorded(const QString &path);

    QList<Message> messages;

public Q_SLOTS:
    uint Notify(const QString &applicationName, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout);
    QStringList GetCapabilities();
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion);

private:
    QString recordPath_;
};

} // namespace orvex::test
