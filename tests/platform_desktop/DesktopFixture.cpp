#include "DesktopFixture.h"

#include "support/TestEnvironment.h"
#include "support/TestIsolation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

namespace orvex::test {
namespace {

// Whether a test of this process used the desktop before (GIO may have read and kept its folders).
bool earlierTestRan = false;

QString fixtureRoot() {
    return QDir::cleanPath(homePath() + QStringLiteral("/../desktop"));
}

// Runs before the first test: the folders GIO reads are fixed on its first use in the process. The test
// support lists the system data folder in XDG_DATA_DIRS beside the machine's MIME database alone, so a
// text file is text and no application of the machine is visible.
class DesktopEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        makeDirectory(DesktopFixture::systemDataFolder() + QStringLiteral("/applications"));
    }
};

[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

} // namespace

// Every test starts from a desktop with no application, no default, no bus service and no recording
// program, as in a process of its own: earlier tests of the process leave none behind. The folders stay
// (GIO watches them), only their contents go.
DesktopFixture::DesktopFixture() : root_(fixtureRoot()) {
    for (const QString &folder :
         {systemDataFolder() + QStringLiteral("/applications"),
          userDataFolder() + QStringLiteral("/applications"), userDataFolder() + QStringLiteral("/dbus-1"),
          userConfigFolder(), root_ + QStringLiteral("/bin"), root_ + QStringLiteral("/records")}) {
        makeDirectory(folder);
        QDir dir(folder);
        for (const QFileInfo &entry :
             dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            EXPECT_TRUE(entry.isDir() ? QDir(entry.filePath()).removeRecursively()
                                      : QFile::remove(entry.filePath()))
                << entry.filePath().toStdString();
    }
    if (!earlierTestRan)
        return;
    settle();
    GList *all = g_app_info_get_all();
    EXPECT_EQ(all, nullptr) << "GIO still knows applications of an earlier test";
    g_list_free_full(all, g_object_unref);
}

DesktopFixture::~DesktopFixture() {
    earlierTestRan = true;
}

// GIO learns of changed folders through one queue of file events, in order: once it has seen an entry
// written after the others appear and go, it has seen every earlier change too. In the first test of the
// process GIO has read nothing yet, and its first look reads the folders as they are.
void DesktopFixture::settle() {
    if (!earlierTestRan)
        return;
    static int round = 0;
    const QString id = QStringLiteral("orvex-settle-%1.desktop").arg(++round);
    const QString path = userDataFolder() + QStringLiteral("/applications/") + id;
    const auto known = [&] {
        GDesktopAppInfo *info = g_desktop_app_info_new(id.toUtf8().constData());
        if (!info)
            return false;
        g_object_unref(info);
        return true;
    };
    writeFile(path, "[Desktop Entry]\nType=Application\nName=Settle\nExec=true\nNoDisplay=true\n");
    EXPECT_TRUE(waitUntil(known)) << "GIO did not see " << path.toStdString();
    QFile::remove(path);
    EXPECT_TRUE(waitUntil([&] { return !known(); })) << "GIO did not see " << path.toStdString() << " go";
}

QString DesktopFixture::systemDataFolder() {
    return test::systemDataFolder();
}

QString DesktopFixture::userDataFolder() {
    return qEnvironmentVariable("XDG_DATA_HOME");
}

QString DesktopFixture::userConfigFolder() {
    return qEnvironmentVariable("XDG_CONFIG_HOME");
}

QString DesktopFixture::recordingProgram(const QString &name) {
    const QString path = root_ + QStringLiteral("/bin/") + name;
    const QString record = recordPath(name);
    makeDirectory(QFileInfo(record).absolutePath());
    writeFile(path,
              QStringLiteral("#!/bin/sh\n"
                             "for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done > '%1.part'\n"
                             "mv '%1.part' '%1'\n")
                  .arg(record)
                  .toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString DesktopFixture::startRecordingProgram(const QString &name) {
    const QString path = root_ + QStringLiteral("/bin/") + name;
    const QString record = recordPath(name);
    makeDirectory(QFileInfo(record).absolutePath());
    writeFile(path, QStringLiteral("#!/bin/sh\n"
                                   "{ printf 'cwd=%s\\n' \"$(pwd)\"\n"
                                   "  env | sed 's/^/env:/'\n"
                                   "  for argument in \"$@\"; do printf 'arg=%s\\n' \"$argument\"; done\n"
                                   "} > '%1.part'\n"
                                   "mv '%1.part' '%1'\n")
                        .arg(record)
                        .toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString DesktopFixture::recordPath(const QString &name) const {
    return root_ + QStringLiteral("/records/") + name;
}

std::optional<QStringList> DesktopFixture::recorded(const QString &name,
                                                    std::chrono::milliseconds timeout) const {
    const QString path = recordPath(name);
    if (!waitUntil([&] { return QFileInfo::exists(path); }, timeout))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString DesktopFixture::writeEntry(const QString &folder, const QString &fileName, const QString &exec,
                                   const QString &extraLines) {
    const QString path = folder + QLatin1Char('/') + fileName;
    writeFile(path, QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n%3")
                        .arg(QFileInfo(fileName).completeBaseName(), exec, extraLines)
                        .toUtf8());
    settle();
    return path;
}

void DesktopFixture::updateMimeCache(const QString &applicationsFolder) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QStringLiteral("update-desktop-database"), {applicationsFolder});
    ASSERT_TRUE(tool.waitForFinished(10000)) << "update-desktop-database did not finish";
    ASSERT_EQ(tool.exitCode(), 0);
    settle();
}

void DesktopFixture::writeDefaults(const QStringList &defaults) {
    writeFile(
        userConfigFolder() + QStringLiteral("/mimeapps.list"),
        (QStringLiteral("[Default Applications]\n") + defaults.join(QLatin1Char('\n')) + QLatin1Char('\n'))
            .toUtf8());
    settle();
    if (!earlierTestRan)
        return;
    // GIO reads the list again only after it noticed the change; an installed default names its entry.
    for (const QString &line : defaults) {
        const QByteArray type = line.section(QLatin1Char('='), 0, 0).toUtf8();
        const QByteArray id = line.section(QLatin1Char('='), 1).toUtf8();
        GDesktopAppInfo *entry = g_desktop_app_info_new(id.constData());
        if (!entry)
            continue;
        g_object_unref(entry);
        EXPECT_TRUE(waitUntil([&] {
            GAppInfo *chosen = g_app_info_get_default_for_type(type.constData(), FALSE);
            const bool taken = chosen && qstrcmp(g_app_info_get_id(chosen), id.constData()) == 0;
            if (chosen)
                g_object_unref(chosen);
            return taken;
        })) << "GIO did not take "
            << line.toStdString();
    }
}

} // namespace orvex::test
