#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace orvex::test {

// A D-Bus activatable application on a bus (org.freedesktop.Application under its desktop-entry name),
// recording what it was asked: "activate", or "open:" and the addresses.
class FakeApplication : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    // Registers the application named `busName` (its object at the path the name makes) on `connection`;
    // false when either is refused.
    bool registerOn(QDBusConnection connection, const QString &busName);

    QStringList calls;

public Q_SLOTS:
    void Activate(const QVariantMap &platformData);
    void Open(const QStringList &uris, const QVariantMap &platformData);
};

} // namespace orvex::test
