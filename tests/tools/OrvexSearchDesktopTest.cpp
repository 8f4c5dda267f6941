#include "fixtures/ArgosFakeInterpreter.h"
#include "fixtures/DesktopEntryFixture.h"
#include "support/TestEnvironment.h"
#include "tools/ToolRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

namespace orvex {
namespace {

using test::jsonRows;
using test::runTool;

// "title | kind | action" of every row.
QStringList describe(const QJsonArray &rows) {
    QStringList lines;
    for (const QJsonValue &value : rows) {
        const QJsonObject row = value.toObject();
        lines.append(row.value(QStringLiteral("filename")).toString() + QStringLiteral(" | ") +
                     row.value(QStringLiteral("kind")).toString() + QStringLiteral(" | ") +
                     row.value(QStringLiteral("action")).toString());
    }
    return lines;
}

QProcessEnvironment variables(std::initializer_list<std::pair<const char *, QString>> pairs) {
    QProcessEnvironment environment;
    for (const auto &[name, value] : pairs)
        environment.insert(QString::fromLatin1(name), value);
    return environment;
}

// With --wait the tool asks again as late rows arrive and prints the last answer; without it nothing
// is started whose rows could never be printed.
TEST(OrvexSearchLateRows, WaitPrintsTheTranslatedRowAndWithoutItNothingIsStarted) {
    const QString reply = QStringLiteral(R"(reply {"ok": true, "text": "house", "id": @ID@})");
    const test::ArgosFakeInterpreter interpreter(test::homePath() + QStringLiteral("/fake-argos"),
                                                 {reply, reply, reply, reply});
    QProcessEnvironment environment = interpreter.environment();
    environment.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), interpreter.path());

    const auto quick = runTool({QStringLiteral("--json"), QStringLiteral("cc Haus")}, QString(), environment);
    ASSERT_EQ(quick.exitCode, 0) << quick.err.toStdString();
    EXPECT_EQ(describe(jsonRows(quick)),
              QStringList{QStringLiteral("Search dict.cc | action | openBrowserFavorite")});
    EXPECT_TRUE(interpreter.log().isEmpty()) << interpreter.log().join('\n').toStdString();

    const auto waited = runTool(
        {QStringLiteral("--json"), QStringLiteral("--wait"), QStringLiteral("5"), QStringLiteral("cc Haus")},
        QString(), environment);
    ASSERT_EQ(waited.exitCode, 0) << waited.err.toStdString();
    const QJsonArray rows = jsonRows(waited);
    ASSERT_FALSE(rows.isEmpty());
    const QJsonObject first = rows.at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("filename")).toString(), QStringLiteral("house"));
    EXPECT_EQ(first.value(QStringLiteral("action")).toString(), QStringLiteral("copyToClipboard"));
    // "Haus" is read as German: a real engine asked for English to German would answer "Haus".
    EXPECT_TRUE(first.value(QStringLiteral("directory"))
                    .toString()
                    .startsWith(QStringLiteral("DE -> EN via Argos (local)")))
        << first.value(QStringLiteral("directory")).toString().toStdString();
    for (const QString &line : describe(rows))
        EXPECT_FALSE(line.contains(QStringLiteral("Translating locally"))) << line.toStdString();
    EXPECT_EQ(interpreter.log().filter(QStringLiteral("request ")).size(), 2) << "one lookup per pair";

    // The table form shows the same row (the fake answers two more requests).
    const auto table = runTool({QStringLiteral("--wait"), QStringLiteral("5"), QStringLiteral("cc Haus")},
                               QString(), environment);
    ASSERT_EQ(table.exitCode, 0) << table.err.toStdString();
    EXPECT_TRUE(table.out.contains("house")) << table.out.toStdString();
}

// An interpreter that hangs on the first request (it ignores SIGTERM and the end of its input, and waits
// on a process of its own) is no reason to stay: the tool ends when its wait is over, and neither the
// interpreter nor what it started is left behind. Killed while it waits, the tool takes the interpreter
// with it all the same.
TEST(OrvexSearchLateRows, AHungTranslationInterpreterDoesNotOutliveTheTool) {
    // The first request of each run of the tool hangs (the steps are counted across runs).
    const test::ArgosFakeInterpreter interpreter(test::homePath() + QStringLiteral("/fake-argos"),
                                                 {QStringLiteral("hang"), QStringLiteral("hang")});
    QProcessEnvironment environment = interpreter.environment();
    environment.insert(QStringLiteral("ORVEX_TRANSLATION_PYTHON"), interpreter.path());

    const auto waited =
        runTool({QStringLiteral("--wait"), QStringLiteral("1"), QStringLiteral("cc hello world")}, QString(),
                environment);
    ASSERT_EQ(waited.exitCode, 0) << waited.err.toStdString();
    EXPECT_TRUE(waited.out.contains("Search dict.cc")) << waited.out.toStdString();
    const QList<qint64> children = interpreter.loggedProcesses(QStringLiteral("start"));
    const QList<qint64> grandchildren = interpreter.loggedProcesses(QStringLiteral("hang"));
    ASSERT_EQ(children.size(), 1) << interpreter.log().join(u'\n').toStdString();
    ASSERT_EQ(grandchildren.size(), 1) << interpreter.log().join(u'\n').toStdString();
    EXPECT_TRUE(test::waitUntil(
        [&] { return test::isProcessGone(children[0]) && test::isProcessGone(grandchildren[0]); },
        std::chrono::seconds(5)))
        << "the interpreter outlives the tool";

    QProcess tool;
    tool.setProgram(QStringLiteral(ORVEX_SEARCH_TOOL));
    tool.setArguments({QStringLiteral("--wait"), QStringLiteral("60"), QStringLiteral("cc hello world")});
    tool.setProcessEnvironment(test::toolEnvironment(environment));
    tool.start();
    ASSERT_TRUE(tool.waitForStarted(10000));
    ASSERT_TRUE(
        test::waitUntil([&] { return interpreter.loggedProcesses(QStringLiteral("hang")).size() == 2; },
                        std::chrono::seconds(20)))
        << interpreter.log().join(u'\n').toStdString();
    const auto orphaned = interpreter.loggedProcesses(QStringLiteral("start")).value(1);
    ASSERT_GT(orphaned, 0);
    ::kill(static_cast<pid_t>(tool.processId()), SIGKILL);
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_TRUE(test::waitUntil([&] { return test::isProcessGone(orphaned); }, std::chrono::seconds(5)))
        << "the interpreter outlives the killed tool";
    // What the interpreter itself started is its own affair once it is gone; the test ends it.
    for (const qint64 sleeper : interpreter.loggedProcesses(QStringLiteral("hang")))
        if (!test::isProcessGone(sleeper))
            ::kill(sleeper, SIGKILL);
}

class OrvexSearchDesktop : public ::testing::Test {
protected:
    QProcessEnvironment desktopEnvironment(const QString &desktopName) const {
        return variables({{"XDG_DATA_HOME", desktop.userData},
                          {"XDG_DATA_DIRS", desktop.systemData + QLatin1Char(':') + desktop.vendorData},
                          {"XDG_CURRENT_DESKTOP", desktopName},
                          {"PATH", desktop.bin + QStringLiteral(":/usr/bin:/bin")},
                          {"LANGUAGE", QString()},
                          {"LC_ALL", QString()},
                          {"LC_MESSAGES", QString()},
                          {"LANG", QStringLiteral("de_DE.UTF-8")}});
    }

    test::DesktopEntryFixture desktop;
};

TEST_F(OrvexSearchDesktop, ApplicationsAreFoundAndStartedWithTheirFieldCodes) {
    const QString output = desktop.root + QStringLiteral("/started.txt");
    const QString recorder = desktop.recorderProgram(QStringLiteral("zebra-notes"), output);
    const QByteArray exec = "Exec=zebra-notes --file %k --name %c %U\n";
    const QString entry =
        desktop.writeEntry(desktop.userData, QStringLiteral("zebra.desktop"),
                           "Type=Application\nName=Zebra Notes\nName[de]=Zebra Notizen\n" + exec);
    desktop.writeEntry(desktop.systemData, QStringLiteral("zebra.desktop"),
                       "Type=Application\nName=Zebra (system)\n" + exec);
    desktop.writeEntry(desktop.systemData, QStringLiteral("zebra-hidden.desktop"),
                       "Type=Application\nName=Zebra Hidden\nHidden=true\n" + exec);
    desktop.writeEntry(desktop.systemData, QStringLiteral("zebra-helper.desktop"),
                       "Type=Application\nName=Zebra Helper\nNoDisplay=true\n" + exec);
    desktop.writeEntry(desktop.systemData, QStringLiteral("zebra-kde.desktop"),
                       "Type=Application\nName=Zebra KDE\nOnlyShowIn=KDE;\n" + exec);
    desktop.writeEntry(desktop.systemData, QStringLiteral("zebra-gnome.desktop"),
                       "Type=Application\nName=Zebra GNOME\nOnlyShowIn=GNOME;\n" + exec);
    desktop.writeEntry(desktop.vendorData, QStringLiteral("zebra-missing.desktop"),
                       "Type=Application\nName=Zebra Missing\nTryExec=orvex-no-such-zebra\n" + exec);

    const auto found = runTool({QStringLiteral("--json"), QStringLiteral("zebra")}, QString(),
                               desktopEnvironment(QStringLiteral("GNOME")));
    ASSERT_EQ(found.exitCode, 0) << found.err.toStdString();
    QStringList titles = describe(jsonRows(found));
    titles.sort();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Zebra GNOME | app | "),
                                   QStringLiteral("Zebra Notizen | app | ")}));

    // "zebra n" is a prefix of the user's entry only: it comes first and is the one started.
    const auto started = runTool({QStringLiteral("--json"), QStringLiteral("--activate"), QStringLiteral("1"),
                                  QStringLiteral("zebra n")},
                                 QString(), desktopEnvironment(QStringLiteral("GNOME")));
    ASSERT_EQ(started.exitCode, 0) << started.err.toStdString();
    const QJsonObject row = jsonRows(started).at(0).toObject();
    EXPECT_EQ(row.value(QStringLiteral("filename")).toString(), QStringLiteral("Zebra Notizen"));
    EXPECT_EQ(row.value(QStringLiteral("usageKey")).toString(), entry);
    EXPECT_EQ(test::DesktopEntryFixture::recordedArguments(output),
              (QStringList{QStringLiteral("--file"), entry, QStringLiteral("--name"),
                           QStringLiteral("Zebra Notizen")}));
    Q_UNUSED(recorder);

    // The activation was recorded: the next run offers it as a recent row.
    const auto again = runTool({QStringLiteral("--json"), QStringLiteral("zebra")}, QString(),
                               desktopEnvironment(QStringLiteral("GNOME")));
    const QJsonObject recent = jsonRows(again).at(0).toObject();
    EXPECT_EQ(recent.value(QStringLiteral("filename")).toString(), QStringLiteral("Zebra Notizen"));
    EXPECT_TRUE(recent.value(QStringLiteral("isRecentActivation")).toBool());
}

TEST_F(OrvexSearchDesktop, SettingsPanesOpenTheDesktopsSettingsApplication) {
    const auto none = runTool({QStringLiteral("--json"), QStringLiteral("sound")}, QString(),
                              desktopEnvironment(QStringLiteral("KDE")));
    ASSERT_EQ(none.exitCode, 0) << none.err.toStdString();
    EXPECT_TRUE(describe(jsonRows(none)).isEmpty());

    const QString output = desktop.root + QStringLiteral("/settings.txt");
    desktop.recorderProgram(QStringLiteral("systemsettings"), output);
    desktop.writeEntry(desktop.systemData, QStringLiteral("systemsettings.desktop"),
                       "Type=Application\nName=System Settings\nExec=systemsettings %U\n");
    const auto opened = runTool({QStringLiteral("--json"), QStringLiteral("--activate"), QStringLiteral("1"),
                                 QStringLiteral("lautsprecher")},
                                QString(), desktopEnvironment(QStringLiteral("KDE")));
    ASSERT_EQ(opened.exitCode, 0) << opened.err.toStdString();
    EXPECT_EQ(describe(jsonRows(opened)), QStringList{QStringLiteral("Sound | action | openSystemSettings")});
    EXPECT_EQ(test::DesktopEntryFixture::recordedArguments(output),
              QStringList{QStringLiteral("kcm_pulseaudio")});
}

} // namespace
} // namespace orvex
