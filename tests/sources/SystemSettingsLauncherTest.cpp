#include "sources/SystemSettingsLauncher.h"
#include "fixtures/DesktopEntryFixture.h"
#include "fixtures/ManagerFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace orvex {
namespace {

const QString soundLink = QStringLiteral("x-apple.systempreferences:com.apple.Sound-Settings.extension");
const QString soundFallback = QStringLiteral("x-apple.systempreferences:com.apple.preference.sound");
const QString displaysLink =
    QStringLiteral("x-apple.systempreferences:com.apple.Displays-Settings.extension");
const QString notificationsLink =
    QStringLiteral("x-apple.systempreferences:com.apple.Notifications-Settings.extension");
const QString wallpaperFallback =
    QStringLiteral("x-apple.systempreferences:com.apple.preference.desktopscreeneffect");
const QString screenTimeLink =
    QStringLiteral("x-apple.systempreferences:com.apple.Screen-Time-Settings.extension");
const QString timeMachineFallback =
    QStringLiteral("x-apple.systempreferences:com.apple.preferences.TimeMachine");

class SystemSettingsLauncher : public ::testing::Test {
protected:
    void SetUp() override { installPrograms(); }
    // A fresh desktop, for tests that try several.
    void startOver() {
        owned = std::make_unique<test::DesktopEntryFixture>();
        installPrograms();
    }
    // The two settings programs, doing nothing, on the fixture's search path.
    void installPrograms() {
        for (const char *name : {"gnome-control-center", "systemsettings"})
            desktop().recorderProgram(QString::fromUtf8(name),
                                      desktop().root + QStringLiteral("/ran-") + QString::fromUtf8(name));
    }
    // GNOME's settings application, shown only on GNOME as it ships.
    QString installGnome(const QByteArray &extra = "OnlyShowIn=GNOME;Unity;\n") {
        return desktop().writeEntry(desktop().systemData, QStringLiteral("org.gnome.Settings.desktop"),
                                    "Type=Application\nName=Settings\nExec=gnome-control-center --verbose\n" +
                                        extra);
    }
    QString installKde() {
        return desktop().writeEntry(desktop().systemData, QStringLiteral("systemsettings.desktop"),
                                    "Type=Application\nName=System Settings\nExec=systemsettings %U\n");
    }
    // The argument the link would be opened with, or "-" when it opens nothing.
    std::string argumentFor(const QString &link, const QStringList &desktopNames) const {
        const auto target = systemSettingsTarget(link, desktop().environment(desktopNames));
        if (!target)
            return "-";
        QStringList command = target->commandLine;
        EXPECT_TRUE(command.first().startsWith(desktop().bin + QLatin1Char('/')))
            << command.first().toStdString();
        command.first() = command.first().mid(command.first().lastIndexOf(QLatin1Char('/')) + 1);
        return command.join(QLatin1Char(' ')).toStdString();
    }

    std::unique_ptr<test::DesktopEntryFixture> owned = std::make_unique<test::DesktopEntryFixture>();
    test::DesktopEntryFixture &desktop() const { return *owned; }
};

TEST_F(SystemSettingsLauncher, NoSettingsApplicationOpensNothing) {
    for (const QString &link : {soundLink, soundFallback, displaysLink, timeMachineFallback})
        EXPECT_EQ(argumentFor(link, {QStringLiteral("GNOME")}), "-") << link.toStdString();
    EXPECT_FALSE(openSystemSettingsLink(soundLink, desktop().environment({QStringLiteral("GNOME")})));
}

TEST_F(SystemSettingsLauncher, GnomePanelsByLink) {
    installGnome();
    const struct {
        QString link;
        std::string command;
    } cases[] = {
        {soundLink, "gnome-control-center --verbose sound"},
        {soundFallback, "gnome-control-center --verbose sound"},
        {soundLink.toUpper(), "gnome-control-center --verbose sound"},
        {displaysLink, "gnome-control-center --verbose display"},
        {notificationsLink, "gnome-control-center --verbose notifications"},
        {wallpaperFallback, "gnome-control-center --verbose background"},
        // Panels that only newer versions have, or that the desktop has nowhere in its settings.
        {screenTimeLink, "-"},
        {timeMachineFallback, "-"},
        {QStringLiteral("x-apple.systempreferences:com.apple.wifi-settings-extension"), "-"},
        {QStringLiteral("https://example.org/"), "-"},
        {QString(), "-"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(argumentFor(c.link, {QStringLiteral("GNOME")}), c.command) << c.link.toStdString();

    desktop().writeEntry(
        desktop().systemData, QStringLiteral("gnome-wellbeing-panel.desktop"),
        "Type=Application\nName=Wellbeing\nNoDisplay=true\nExec=gnome-control-center wellbeing\n");
    EXPECT_EQ(argumentFor(screenTimeLink, {QStringLiteral("GNOME")}),
              "gnome-control-center --verbose wellbeing");
}

TEST_F(SystemSettingsLauncher, TheDesktopsOwnSettingsApplicationAnswers) {
    const struct {
        const char *name;
        bool gnome;
        bool kde;
        QByteArray gnomeKeys;
        QStringList desktopNames;
        std::string command;
    } cases[] = {
        {"KDE alone", false, true, {}, {QStringLiteral("KDE")}, "systemsettings kcm_pulseaudio"},
        {"KDE on another desktop",
         false,
         true,
         {},
         {QStringLiteral("XFCE")},
         "systemsettings kcm_pulseaudio"},
        {"GNOME's is not shown on KDE",
         true,
         true,
         "OnlyShowIn=GNOME;\n",
         {QStringLiteral("KDE")},
         "systemsettings kcm_pulseaudio"},
        {"GNOME's alone, not shown here", true, false, "OnlyShowIn=GNOME;\n", {QStringLiteral("KDE")}, "-"},
        {"both shown, on KDE", true, true, {}, {QStringLiteral("KDE")}, "systemsettings kcm_pulseaudio"},
        {"both shown, on GNOME",
         true,
         true,
         {},
         {QStringLiteral("ubuntu"), QStringLiteral("GNOME")},
         "gnome-control-center --verbose sound"},
        {"both shown, elsewhere", true, true, {}, {}, "gnome-control-center --verbose sound"},
        {"GNOME's needs a missing program",
         true,
         false,
         "TryExec=orvex-no-such-settings\n",
         {QStringLiteral("GNOME")},
         "-"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        if (c.gnome)
            installGnome(c.gnomeKeys);
        if (c.kde)
            installKde();
        EXPECT_EQ(argumentFor(soundLink, c.desktopNames), c.command);
    }
}

TEST_F(SystemSettingsLauncher, AUsersHiddenEntryRemovesTheApplication) {
    installGnome({});
    EXPECT_EQ(argumentFor(soundLink, {}), "gnome-control-center --verbose sound");
    desktop().writeEntry(desktop().userData, QStringLiteral("org.gnome.Settings.desktop"),
                         "Type=Application\nHidden=true\n");
    EXPECT_EQ(argumentFor(soundLink, {}), "-");
    // The older id of the same application still counts.
    desktop().writeEntry(desktop().systemData, QStringLiteral("gnome-control-center.desktop"),
                         "Type=Application\nName=Settings\nExec=gnome-control-center\n");
    EXPECT_EQ(argumentFor(soundLink, {}), "gnome-control-center sound");
}

// The settings application really starts, with the pane's argument and without a shell.
TEST_F(SystemSettingsLauncher, OpensTheApplicationWithThePanesArgument) {
    const QString output = desktop().root + QStringLiteral("/started.txt");
    const QString recorder = desktop().recorderProgram(QStringLiteral("fake settings"), output);
    desktop().writeEntry(desktop().systemData, QStringLiteral("systemsettings.desktop"),
                         "Type=Application\nName=System Settings\nExec=\"" + recorder.toUtf8() +
                             "\" --from-entry %U \"$HOME;x\"\n");
    ASSERT_TRUE(openSystemSettingsLink(displaysLink, desktop().environment({QStringLiteral("KDE")})));
    EXPECT_EQ(test::DesktopEntryFixture::recordedArguments(output),
              (QStringList{QStringLiteral("--from-entry"), QStringLiteral("$HOME;x"),
                           QStringLiteral("kcm_kscreen")}));
}

// As from the desktop's menu: in the home folder, with the desktop's environment and not the launcher's
// own settings.
TEST_F(SystemSettingsLauncher, TheApplicationStartsInTheHomeFolderWithTheDesktopsEnvironment) {
    ASSERT_NE(QDir::currentPath(), test::homePath());
    const QString output = desktop().root + QStringLiteral("/started.txt");
    const QString program = desktop().bin + QStringLiteral("/systemsettings");
    test::writeFile(
        program,
        "#!/bin/sh\n{ pwd; printf '%s\\n' \"$ORVEX_STARTED_FROM\" \"${QT_QPA_PLATFORM-unset}\"; } > '" +
            QFile::encodeName(output) + ".part' && mv '" + QFile::encodeName(output) + ".part' '" +
            QFile::encodeName(output) + "'\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    installKde();
    DesktopEntryEnvironment environment = desktop().environment({QStringLiteral("KDE")});
    environment.launchEnvironment = QByteArrayList{"PATH=/usr/bin:/bin", "ORVEX_STARTED_FROM=the desktop"};
    ASSERT_TRUE(openSystemSettingsLink(displaysLink, environment));
    EXPECT_EQ(test::DesktopEntryFixture::recordedArguments(output),
              (QStringList{test::homePath(), QStringLiteral("the desktop"), QStringLiteral("unset")}));
}

TEST_F(SystemSettingsLauncher, AFailedLaunchIsReported) {
    // Installed as far as the file system tells, but it cannot be run.
    const QString broken = desktop().bin + QStringLiteral("/broken-settings");
    test::writeFile(broken, "#!/orvex/no-such-interpreter\n");
    QFile::setPermissions(broken, QFile::ReadOwner | QFile::ExeOwner);
    desktop().writeEntry(desktop().systemData, QStringLiteral("systemsettings.desktop"),
                         "Type=Application\nName=System Settings\nExec=broken-settings\n");
    EXPECT_TRUE(systemSettingsTarget(soundLink, desktop().environment()));
    EXPECT_FALSE(openSystemSettingsLink(soundLink, desktop().environment()));

    // A program that is gone leaves nothing to open.
    desktop().writeEntry(desktop().systemData, QStringLiteral("systemsettings.desktop"),
                         "Type=Application\nName=System Settings\nExec=" + desktop().bin.toUtf8() +
                             "/gone\n");
    EXPECT_FALSE(systemSettingsTarget(soundLink, desktop().environment()));
}

// The search core offers only the panes the installed settings application can open, with the
// built-in table's titles, keywords and tiers.
TEST_F(SystemSettingsLauncher, PaneRowsOnlyWhereTheyCanOpen) {
    const auto titles = [](const SearchResults &rows) {
        QStringList list;
        for (const SearchResult &row : rows) {
            if (row.action() == SearchResultAction::openSystemSettings)
                list.append(row.filename());
        }
        return list;
    };
    test::ManagerFixture fixture;
    auto configuration = fixture.configuration();
    configuration.desktopEntries = desktop().environment({QStringLiteral("GNOME")});
    {
        auto none = fixture.makeManager(configuration);
        EXPECT_TRUE(titles(none->search(QStringLiteral("sound"), false)).isEmpty());
        none->refreshSourceCachesNow();
        EXPECT_TRUE(titles(none->search(QStringLiteral("lautsprecher"), false)).isEmpty());
    }
    installGnome();
    auto manager = fixture.makeManager(configuration);
    const struct {
        const char *query;
        QStringList expected;
    } cases[] = {
        {"sound", {"Sound"}},
        {"lautsprecher", {"Sound"}},
        {"bildschirm", {"Displays"}},
        {"screen", {"Displays"}},
        {"backup", {}},
        {"notif", {"Notifications"}},
    };
    for (bool refreshed : {false, true}) {
        if (refreshed)
            manager->refreshSourceCachesNow();
        for (const auto &c : cases)
            EXPECT_EQ(titles(manager->search(QString::fromUtf8(c.query), false)), c.expected)
                << c.query << (refreshed ? " after a refresh" : "");
    }
    const SearchResults sound = manager->search(QStringLiteral("sound"), false);
    ASSERT_FALSE(sound.isEmpty());
    EXPECT_EQ(sound[0].actionURLString(), soundLink);
    EXPECT_EQ(sound[0].fallbackActionURLString(), soundFallback);
}

} // namespace
} // namespace orvex
