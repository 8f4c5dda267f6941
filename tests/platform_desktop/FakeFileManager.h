#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

namespace orvex::test {

// Answers org.freedesktop.FileManager1's ShowItems on a bus and records what it was asked; when
// `answers` is false it takes the call and never replies, like a file manager that hangs.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    // Registers the service and its object on `connection`; false when either is refused.
    bool registerOn(QDBusConnection connection);

    bool answers = true;
    QList<QStringList> shownItems;
    QStringList startupIds;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId);
};

} // namespace orvex::test
