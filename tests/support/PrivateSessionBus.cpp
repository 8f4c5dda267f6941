#include "PrivateSessionBus.h"

#include "ChildProcess.h"
#include "TestEnvironment.h"

#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

namespace orvex::test {

PrivateSessionBus::PrivateSessionBus() : folder_(homePath() + QStringLiteral("/bus-XXXXXX")) {
    const QString config = folder_.filePath(QStringLiteral("bus.conf"));
    writeFile(config, QStringLiteral(
                          R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <servicedir>%1/services</servicedir>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                          .arg(folder_.path())
                          .toUtf8());
    makeDirectory(folder_.filePath(QStringLiteral("services")));
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty())
        return;
    daemon_.setProgram(program);
    daemon_.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")});
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ChildProcess::dieWithParent(daemon_);
    daemon_.start();
    if (!daemon_.waitForStarted(10000))
        return;
    QByteArray output;
    const QDeadlineTimer deadline(10000);
    while (!output.contains('\n') && !deadline.hasExpired() && daemon_.state() == QProcess::Running) {
        daemon_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        output += daemon_.readAllStandardOutput();
    }
    if (output.contains('\n'))
        address_ = QString::fromUtf8(output.left(output.indexOf('\n'))).trimmed();
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString &name : connectionNames_)
        QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }
}

bool PrivateSessionBus::addActivatableService(const QString &name, const QString &program,
                                              const QStringList &arguments) {
    // The bus splits Exec as a shell would, without running one: each word single-quoted.
    QStringList words;
    for (const QString &word : QStringList{program} + arguments) {
        QString quoted = word;
        quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
        words.append(QLatin1Char('\'') + quoted + QLatin1Char('\''));
    }
    QFile file(folder_.filePath(QStringLiteral("services/") + name + QStringLiteral(".service")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2\n")
                                .arg(name, words.join(QLatin1Char(' ')))
                                .toUtf8();
    if (file.write(text) != text.size() || !file.flush())
        return false;
    file.close();
    // The bus reads its service folders again when asked; a daemon that watches them would too.
    QDBusConnection bus = QDBusConnection::connectToBus(address_, QStringLiteral("service-reload"));
    QDBusMessage reload = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig"));
    const QDBusMessage answer = bus.call(reload, QDBus::Block, 10000);
    QDBusConnection::disconnectFromBus(QStringLiteral("service-reload"));
    return answer.type() == QDBusMessage::ReplyMessage;
}

QDBusConnection PrivateSessionBus::connect(const QString &name) {
    connectionNames_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

} // namespace orvex::test
