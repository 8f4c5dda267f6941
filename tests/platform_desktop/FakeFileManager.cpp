#include "FakeFileManager.h"

namespace orvex::test {

bool FakeFileManager::registerOn(QDBusConnection connection) {
    return connection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this,
                                     QDBusConnection::ExportAllSlots) &&
           connection.registerService(QStringLiteral("org.freedesktop.FileManager1"));
}

void FakeFileManager::ShowItems(const QStringList &uris, const QString &startupId) {
    shownItems.append(uris);
    startupIds.append(startupId);
    if (!answers)
        setDelayedReply(true);
}

} // namespace orvex::test
