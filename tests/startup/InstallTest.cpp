// `cmake --install` of this build into a temporary prefix gives a tree that works on its own.
#include "LauncherProcess.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvex {
namespace {

// Runs a program to its end within the time-out; answers its exit code (-1 on a crash or time-out)
// and its output.
std::pair<int, QByteArray> runToEnd(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(
            static_cast<int>(std::chrono::milliseconds(test::launcherTimeout * 3).count()))) {
        process.kill();
        process.waitForFinished(5000);
        return {-1, process.readAll()};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAll()};
}

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new QTemporaryDir;
        const auto [code, output] = runToEnd(QStringLiteral(ORVEX_CMAKE_COMMAND),
                                             {QStringLiteral("--install"), QStringLiteral(ORVEX_BINARY_DIR),
                                              QStringLiteral("--prefix"), prefix_->path()});
        installed_ = code == 0;
        installOutput_ = new QByteArray(output);
    }
    static void TearDownTestSuite() {
        delete prefix_;
        delete installOutput_;
    }
    void SetUp() override {
        ASSERT_TRUE(installed_) << installOutput_->toStdString();
        // Without the files of the launchers that ran before.
        test::removeLauncherFiles();
    }

    static QString at(const char *relative) {
        return prefix_->path() + QLatin1Char('/') + QLatin1String(relative);
    }

    static inline QTemporaryDir *prefix_ = nullptr;
    static inline bool installed_ = false;
    static inline QByteArray *installOutput_ = nullptr;
};

TEST_F(InstallTest, ProgramsEntryAndIconLandInTheUsualPlaces) {
    for (const char *program : {"bin/orvex-launcher", "bin/orvex-search"}) {
        const QFileInfo info(at(program));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << program;
    }

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate (desktop-file-utils) is needed";
    const QString entry = at("share/applications/io.orvex.launcher.desktop");
    const auto [code, report] = runToEnd(validator, {entry});
    EXPECT_EQ(code, 0) << report.toStdString();
    EXPECT_TRUE(report.isEmpty()) << report.toStdString();
    QFile entryFile(entry);
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
    const QByteArray text = entryFile.readAll();
    EXPECT_TRUE(text.contains("\nExec=orvex-launcher\n"));
    EXPECT_TRUE(text.contains("\nIcon=io.orvex.launcher\n"));

    // The icon the entry names, drawn as a file browser would show it.
    QSvgRenderer icon(at("share/icons/hicolor/scalable/apps/io.orvex.launcher.svg"));
    ASSERT_TRUE(icon.isValid());
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        icon.render(&painter);
    }
    const QString screenshots = QStringLiteral(ORVEX_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(screenshots);
    EXPECT_TRUE(image.save(screenshots + QStringLiteral("/orvex-launcher-icon.png")));
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0) << "rounded corners";
    EXPECT_EQ(qAlpha(image.pixel(128, 200)), 255);
}

TEST_F(InstallTest, TheInstalledLauncherStartsAndHandsOverASecondStart) {
    test::LauncherProcess first(at("bin/orvex-launcher"));
    ASSERT_TRUE(test::waitUntilInstance(first)) << first.standardError().toStdString();
    test::LauncherProcess second(at("bin/orvex-launcher"));
    ASSERT_TRUE(second.waitForExit());
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(first.isRunning());
}

TEST_F(InstallTest, TheInstalledCommandLineFrontEndAnswers) {
    const auto [code, output] =
        runToEnd(at("bin/orvex-search"), {QStringLiteral("--json"), QStringLiteral("6*7")});
    EXPECT_EQ(code, 0) << output.toStdString();
    EXPECT_TRUE(output.contains("42")) << output.toStdString();
}

} // namespace
} // namespace orvex
