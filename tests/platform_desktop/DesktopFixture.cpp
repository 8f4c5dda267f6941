#include "DesktopFixture.h"

#include "support/TestEnvironment.h"
#include "support/TestIsolation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

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

DesktopFixture::DesktopFixture() : root_(fixtureRoot()) {}

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
    return path;
}

void DesktopFixture::updateMimeCache(const QString &applicationsFolder) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QStringLiteral("update-desktop-database"), {applicationsFolder});
    ASSERT_TRUE(tool.waitForFinished(10000)) << "update-desktop-database did not finish";
    ASSERT_EQ(tool.exitCode(), 0);
}

void DesktopFixture::writeDefaults(const QStringList &defaults) {
    writeFile(
        userConfigFolder() + QStringLiteral("/mimeapps.list"),
        (QStringLiteral("[Default Applications]\n") + defaults.join(QLatin1Char('\n')) + QLatin1Char('\n'))
            .toUtf8());
}

} // namespace orvex::test
