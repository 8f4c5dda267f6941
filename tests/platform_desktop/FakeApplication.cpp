#include "FakeApplication.h"

namespace orvex::test {

bool FakeApplication::registerOn(QDBusConnection connection, const QString &busName) {
    QString path = QLatin1Char('/') + busName;
    path.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
    return connection.registerObject(path, this, QDBusConnection::ExportAllSlots) &&
           connection.registerService(busName);
}

void FakeApplication::Activate(const QVariantMap &) {
    calls.append(QStringLiteral("activate"));
}

void FakeApplication::Open(const QStringList &uris, const QVariantMap &) {
    calls.append(QStringLiteral("open:") + uris.join(QLatin1Char(' ')));
}

} // namespace orvex::test
