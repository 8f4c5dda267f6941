#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace orvex::test {

// A D-Bus daemon of the test's own: session-type, listening in a temporary folder, stopped when the
// object goes away and killed when the test process dies first. Its only service folder is its own and
// empty (so nothing real is ever started on request) until a test adds a service there.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    // Empty when the daemon did not start within its time-out.
    QString address() const { return address_; }
    // A connection of its own, named `name` within this process.
    QDBusConnection connect(const QString &name);
    // Makes `name` a service the bus starts on demand: the first message for it runs `program` with
    // `arguments`, as the desktop's own daemons are started.
    bool addActivatableService(const QString &name, const QString &program, const QStringList &arguments);

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
    QStringList connectionNames_;
};

} // namespace orvex::test
