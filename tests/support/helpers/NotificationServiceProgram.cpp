// Test helper: the desktop's notification service as a D-Bus activated daemon, started by a test's own
// bus on the first message for it. Records every message in a file for the test to read, and ends with
// its bus.
// Usage: orvex_notification_service <record file>
#include "support/FakeNotificationService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2)
        return 2;
    // The bus names itself to the services it starts.
    const QString address = qEnvironmentVariable("DBUS_STARTER_ADDRESS");
    if (address.isEmpty())
        return 3;
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("bus"));
    orvex::test::FakeNotificationService service;
    service.recordTo(QString::fromLocal8Bit(argv[1]));
    if (!service.registerOn(bus))
        return 4;
    // The bus runs it through a process of its own that does not wait for it, so no parent's death
    // says when to go: the bus's end does.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&bus] {
        if (!bus.isConnected())
            QCoreApplication::quit();
    });
    watch.start(100);
    return application.exec();
}
