#include "platform/DesktopEntry.h"
#include "platform/DesktopEntryEnvironment.h"

#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace orvex {
namespace {

DesktopEntry entryOf(const char *text) {
    auto entry = DesktopEntry::parse(QByteArray(text));
    EXPECT_TRUE(entry) << text;
    return entry.value_or(*DesktopEntry::parse("[Desktop Entry]\n"));
}

QString executable(const QString &path) {
    test::writeFile(path, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

TEST(DesktopEntry, ReadsOnlyTheFirstDesktopEntryGroup) {
    const DesktopEntry entry = entryOf("# comment\r\n"
                                       "Name=outside any group\n"
                                       "[Desktop Entry]\r\n"
                                       "  Type = Application  \r\n"
                                       "Name=Files\n"
                                       "Name=second value ignored\n"
                                       "not a key line\n"
                                       "Bad Key=spaces are not allowed in keys\n"
                                       "Comment=  blanks around go,\\sescaped stay\\s  \n"
                                       "Empty=\n"
                                       "[Desktop Action new-window]\n"
                                       "Exec=files --new\n"
                                       "[Desktop Entry]\n"
                                       "Exec=files --from-a-second-group\n");
    EXPECT_EQ(entry.string(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry.string(QStringLiteral("Name")), QStringLiteral("Files"));
    EXPECT_EQ(entry.string(QStringLiteral("Comment")), QStringLiteral("blanks around go, escaped stay "));
    EXPECT_EQ(entry.string(QStringLiteral("Empty")), QString());
    EXPECT_FALSE(entry.string(QStringLiteral("Exec")));
    EXPECT_FALSE(entry.string(QStringLiteral("Bad Key")));
    EXPECT_TRUE(entry.isApplication());

    const struct {
        const char *name;
        QByteArray bytes;
    } refused[] = {
        {"no group", "Name=x\n"},
        {"another group only", "[Desktop Action x]\nName=x\n"},
        {"group header not UTF-8", "[Desktop Entry\xe9]\nName=x\n"},
        {"empty", ""},
    };
    for (const auto &c : refused)
        EXPECT_FALSE(DesktopEntry::parse(c.bytes)) << c.name;
}

// A value in another encoding (a Latin-1 comment) is left out, as GIO leaves it out; the rest of the
// entry is read as usual.
TEST(DesktopEntry, LeavesOutOnlyTheKeysThatAreNotUtf8) {
    const DesktopEntry entry = entryOf("\xEF\xBB\xBF[Desktop Entry]\n"
                                       "# Kommentar \xe9\n"
                                       "Type=Application\n"
                                       "Name=Caf\xc3\xa9\n"
                                       "Name[de]=Caf\xe9\n"
                                       "Name[fr]=Bistrot\n"
                                       "Comment=caf\xe9\r\n"
                                       "Comment=a later line does not replace it\n"
                                       "Keywords=caf\xe9;tea;\n"
                                       "Bad\xe9Key=x\n"
                                       "Exec=cafe %U\n"
                                       "[Desktop Action caf\xe9]\n"
                                       "Icon=from-the-action\n");
    EXPECT_TRUE(entry.isApplication());
    EXPECT_EQ(entry.string(QStringLiteral("Name")), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(entry.localeString(QStringLiteral("Name"), {QStringLiteral("de_DE.UTF-8")}),
              QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(entry.localeString(QStringLiteral("Name"), {QStringLiteral("fr_FR.UTF-8")}),
              QStringLiteral("Bistrot"));
    EXPECT_EQ(entry.commandLine(QString(), {}), QStringList{QStringLiteral("cafe")});
    for (const char *key : {"Comment", "Keywords", "Name[de]"}) {
        EXPECT_FALSE(entry.string(QString::fromLatin1(key))) << key;
        EXPECT_TRUE(entry.strings(QString::fromLatin1(key)).isEmpty()) << key;
        EXPECT_TRUE(entry.isUnreadable(QString::fromLatin1(key))) << key;
    }
    EXPECT_FALSE(entry.isUnreadable(QStringLiteral("Name")));
    // A group header that is not UTF-8 is another group all the same.
    EXPECT_FALSE(entry.string(QStringLiteral("Icon")));
}

TEST(DesktopEntry, ResolvesEscapesBooleansAndLists) {
    const DesktopEntry entry = entryOf("[Desktop Entry]\n"
                                       "Text=a\\sb\\tc\\nd\\re\\\\f\\qg\n"
                                       "List=GNOME;KDE\\;Plasma;;XFCE;\n"
                                       "Yes=true\nOne=1\nNo=false\nOdd=True\n");
    EXPECT_EQ(entry.string(QStringLiteral("Text")), QStringLiteral("a b\tc\nd\re\\f\\qg"));
    EXPECT_EQ(entry.strings(QStringLiteral("List")),
              (QStringList{QStringLiteral("GNOME"), QStringLiteral("KDE;Plasma"), QStringLiteral("XFCE")}));
    EXPECT_TRUE(entry.strings(QStringLiteral("Missing")).isEmpty());
    EXPECT_TRUE(entry.boolean(QStringLiteral("Yes")));
    EXPECT_TRUE(entry.boolean(QStringLiteral("One")));
    EXPECT_FALSE(entry.boolean(QStringLiteral("No")));
    EXPECT_FALSE(entry.boolean(QStringLiteral("Odd")));
    EXPECT_FALSE(entry.boolean(QStringLiteral("Missing")));
}

TEST(DesktopEntry, NamesFollowTheMessageLocales) {
    const DesktopEntry entry = entryOf("[Desktop Entry]\n"
                                       "Name=Files\n"
                                       "Name[de]=Dateien\n"
                                       "Name[de_AT]=Dateien (AT)\n"
                                       "Name[sr@latin]=Datoteke\n"
                                       "Name[sr_RS@latin]=Datoteke (RS)\n"
                                       "Name[fr]=\n");
    const struct {
        QStringList locales;
        QString expected;
    } cases[] = {
        {{}, QStringLiteral("Files")},
        {{QStringLiteral("C")}, QStringLiteral("Files")},
        {{QStringLiteral("de_DE.UTF-8")}, QStringLiteral("Dateien")},
        {{QStringLiteral("de_AT.UTF-8")}, QStringLiteral("Dateien (AT)")},
        {{QStringLiteral("de")}, QStringLiteral("Dateien")},
        {{QStringLiteral("sr_RS.UTF-8@latin")}, QStringLiteral("Datoteke (RS)")},
        {{QStringLiteral("sr_BA@latin")}, QStringLiteral("Datoteke")},
        {{QStringLiteral("it_IT.UTF-8"), QStringLiteral("de_CH.UTF-8")}, QStringLiteral("Dateien")},
        {{QStringLiteral("fr_FR")}, QString()},
        {{QStringLiteral("pt_BR")}, QStringLiteral("Files")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(entry.localeString(QStringLiteral("Name"), c.locales), c.expected)
            << c.locales.join(',').toStdString();
}

TEST(DesktopEntry, DesktopNamesDecideWhereAnEntryShows) {
    const struct {
        const char *keys;
        QStringList desktop;
        bool shown;
    } cases[] = {
        {"", {}, true},
        {"OnlyShowIn=GNOME;\n", {}, false},
        {"OnlyShowIn=GNOME;\n", {QStringLiteral("GNOME")}, true},
        {"OnlyShowIn=GNOME;\n", {QStringLiteral("KDE")}, false},
        {"OnlyShowIn=GNOME;\n", {QStringLiteral("ubuntu"), QStringLiteral("GNOME")}, true},
        {"OnlyShowIn=gnome;\n", {QStringLiteral("GNOME")}, false},
        {"NotShowIn=KDE;\n", {QStringLiteral("KDE")}, false},
        {"NotShowIn=KDE;\n", {QStringLiteral("GNOME")}, true},
        {"NotShowIn=KDE;\n", {}, true},
        // The first desktop name listed in either key decides.
        {"OnlyShowIn=GNOME;\nNotShowIn=ubuntu;\n",
         {QStringLiteral("ubuntu"), QStringLiteral("GNOME")},
         false},
        {"OnlyShowIn=GNOME;\nNotShowIn=ubuntu;\n", {QStringLiteral("GNOME"), QStringLiteral("ubuntu")}, true},
    };
    for (const auto &c : cases) {
        const DesktopEntry entry = entryOf((QByteArray("[Desktop Entry]\n") + c.keys).constData());
        EXPECT_EQ(entry.isShownIn(c.desktop), c.shown)
            << c.keys << " in " << c.desktop.join(':').toStdString();
    }
}

TEST(DesktopEntry, TryExecMustNameAnInstalledProgram) {
    const QString bin = test::homePath() + QStringLiteral("/bin");
    const QString tool = executable(bin + QStringLiteral("/tool"));
    test::writeFile(bin + QStringLiteral("/plain"), "not executable");
    test::makeDirectory(bin + QStringLiteral("/folder"));
    const QStringList path = {QString(), test::homePath() + QStringLiteral("/nowhere"), bin};
    const struct {
        QString tryExec;
        bool installed;
    } cases[] = {
        {QString(), true},
        {QStringLiteral("tool"), true},
        {tool, true},
        {QStringLiteral("missing-program"), false},
        {bin + QStringLiteral("/missing"), false},
        {QStringLiteral("plain"), false},
        {QStringLiteral("folder"), false},
        {bin + QStringLiteral("/folder"), false},
    };
    for (const auto &c : cases) {
        const QByteArray text = "[Desktop Entry]\nTryExec=" + c.tryExec.toUtf8() + "\n";
        EXPECT_EQ(entryOf(text.constData()).hasInstalledTryExec(path), c.installed)
            << c.tryExec.toStdString();
    }
    EXPECT_TRUE(entryOf("[Desktop Entry]\n").hasInstalledTryExec({}));
}

TEST(DesktopEntry, ExecBecomesAnArgumentListWithFieldCodesExpanded) {
    const QString path = QStringLiteral("/usr/share/applications/files.desktop");
    const struct {
        const char *exec;
        std::optional<QStringList> expected;
    } cases[] = {
        {"files", QStringList{"files"}},
        {"files %U", QStringList{"files"}},
        {"files %f --flag %F %u", QStringList{"files", "--flag"}},
        {"files --open=%u x", QStringList{"files", "--open=", "x"}},
        {"files 100%% %c %k", QStringList{"files", "100%", "Dateien", path}},
        {"files %i %U", QStringList{"files", "--icon", "system-file-manager"}},
        {"files %d %D %n %N %v %m %z", QStringList{"files"}},
        {"  files\t\ta  b  ", QStringList{"files", "a", "b"}},
        {"\"/opt/My Files/bin/files\" \"\" \"a\\\\\\\\b\" \"say \\\\\"hi\\\\\" \\\\$HOME\"",
         QStringList{"/opt/My Files/bin/files", "", "a\\b", "say \"hi\" $HOME"}},
        {"files \"%U\"", QStringList{"files", "%U"}},
        {"files;rm -rf ~", QStringList{"files;rm", "-rf", "~"}},
        {"files \"unterminated", std::nullopt},
        {"", std::nullopt},
        {"%U", std::nullopt},
        {"files %", QStringList{"files"}},
    };
    for (const auto &c : cases) {
        const QByteArray text = QByteArray("[Desktop Entry]\nName=Files\nName[de]=Dateien\n"
                                           "Icon=system-file-manager\nExec=") +
                                c.exec + "\n";
        EXPECT_EQ(entryOf(text.constData()).commandLine(path, {QStringLiteral("de_DE.UTF-8")}), c.expected)
            << c.exec;
    }
    EXPECT_FALSE(entryOf("[Desktop Entry]\nName=x\n").commandLine(path, {}));
    EXPECT_EQ(entryOf("[Desktop Entry]\nExec=files %i\n").commandLine(path, {}), QStringList{"files"});
}

TEST(DesktopEntryEnvironment, ReadsTheXdgVariablesOfTheProcess) {
    const struct {
        const char *name;
        const char *value;
    } variables[] = {
        {"XDG_DATA_HOME", "/home/u/.local/share"},
        {"XDG_DATA_DIRS", "/usr/local/share/:relative/share::/usr/share:/usr/share"},
        {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"},
        {"LANGUAGE", "de_AT:de"},
        {"LC_ALL", ""},
        {"LC_MESSAGES", "de_DE.UTF-8"},
        {"PATH", "/usr/bin::/bin"},
    };
    QList<std::pair<QByteArray, std::optional<QByteArray>>> saved;
    for (const auto &v : variables) {
        saved.append(
            {v.name, qEnvironmentVariableIsSet(v.name) ? std::optional(qgetenv(v.name)) : std::nullopt});
        qputenv(v.name, v.value);
    }
    const DesktopEntryEnvironment environment = DesktopEntryEnvironment::current();
    EXPECT_EQ(environment.dataFolders,
              (QStringList{"/home/u/.local/share", "/usr/local/share", "/usr/share"}));
    EXPECT_EQ(environment.desktopNames, (QStringList{"ubuntu", "GNOME"}));
    EXPECT_EQ(environment.locales, (QStringList{"de_AT", "de", "de_DE.UTF-8"}));
    EXPECT_EQ(environment.executableSearchPath, (QStringList{"/usr/bin", "/bin"}));

    // Under the C locale LANGUAGE is not consulted, as gettext does it; unset folders take their defaults.
    qputenv("LC_MESSAGES", "C");
    qunsetenv("XDG_DATA_DIRS");
    qunsetenv("XDG_DATA_HOME");
    const DesktopEntryEnvironment plain = DesktopEntryEnvironment::current();
    EXPECT_TRUE(plain.locales.isEmpty());
    EXPECT_EQ(plain.dataFolders,
              (QStringList{test::homePath() + "/.local/share", "/usr/local/share", "/usr/share"}));

    for (const auto &[name, value] : saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

TEST(DesktopEntryEnvironment, FindsTheEntryThatTakesPrecedence) {
    const QString user = test::homePath() + QStringLiteral("/data-user");
    const QString system = test::homePath() + QStringLiteral("/data-system");
    test::writeFile(system + QStringLiteral("/applications/tool.desktop"), "[Desktop Entry]\n");
    test::writeFile(system + QStringLiteral("/applications/shared.desktop"), "[Desktop Entry]\n");
    test::writeFile(user + QStringLiteral("/applications/shared.desktop"), "[Desktop Entry]\nHidden=true\n");
    test::makeDirectory(user + QStringLiteral("/applications/folder.desktop"));
    DesktopEntryEnvironment environment;
    environment.dataFolders = {user, system};
    EXPECT_EQ(environment.desktopEntryPath(QStringLiteral("tool.desktop")),
              system + QStringLiteral("/applications/tool.desktop"));
    EXPECT_EQ(environment.desktopEntryPath(QStringLiteral("shared.desktop")),
              user + QStringLiteral("/applications/shared.desktop"));
    EXPECT_FALSE(environment.desktopEntryPath(QStringLiteral("folder.desktop")));
    EXPECT_FALSE(environment.desktopEntryPath(QStringLiteral("missing.desktop")));
    EXPECT_FALSE(environment.desktopEntryPath(QStringLiteral("../applications/tool.desktop")));
}

} // namespace
} // namespace orvex
