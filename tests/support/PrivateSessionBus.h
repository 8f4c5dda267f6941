#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace orvex::test {

// A D-Bus daemon of the test's own: session-type, listening in a temporary folder, with no service
// folders (so nothing real is ever started on request), stopped when the object goes away and killed
// when the test process dies first.
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

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
    QStringList connectionNames_;
};

} // namespace orvex::test
