#include "panel/FileIconProvider.h"

#include "PanelPaintTestSupport.h"
#include "platform/NotificationCenter.h"
#include "search/LauncherNotifications.h"
#include "support/TestEnvironment.h"

#include <QIcon>
#include <QSignalSpy>
#include <QWindow>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::homePath;
using test::makeDirectory;
using test::pngOf;
using test::writeFile;

// An icon theme of our own in the test home, with one icon per given name in a distinct colour.
void installIconTheme(const QList<std::pair<QString, QColor>> &icons) {
    const QString root = homePath() + "/icons/orvex-test";
    writeFile(root + "/index.theme", "[Icon Theme]\nName=orvex-test\nDirectories=32x32/any\n\n"
                                     "[32x32/any]\nSize=32\nType=Fixed\n");
    for (const auto &[name, color] : icons)
        writeFile(root + "/32x32/any/" + name + ".png", pngOf(color));
    QIcon::setThemeSearchPaths({homePath() + "/icons"});
    QIcon::setThemeName(QStringLiteral("orvex-test"));
}

QColor centreColour(const QImage &image) {
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST(FileIconProvider, DesktopEntryIconIsReadFromItsMainGroupOnly) {
    struct Case {
        const char *name;
        QByteArray content;
        QString expected;
    } cases[] = {
        {"plain", "[Desktop Entry]\nName=Editor\nIcon=accessories-text-editor\n", "accessories-text-editor"},
        {"spaces around", "[Desktop Entry]\nIcon = /opt/ed/ed.png \n", "/opt/ed/ed.png"},
        {"localised key ignored", "[Desktop Entry]\nIcon[de]=de-icon\nIcon=base\n", "base"},
        {"other group ignored", "[Desktop Action new]\nIcon=action-icon\n[Desktop Entry]\nName=x\n", ""},
        {"similar key ignored", "[Desktop Entry]\nIconName=nope\n", ""},
        {"missing", "[Desktop Entry]\nName=x\n", ""},
        {"no group", "Icon=loose\n", ""},
    };
    for (const auto &c : cases) {
        const QString path = homePath() + "/entries/" + c.name + ".desktop";
        writeFile(path, c.content);
        EXPECT_EQ(FileIconProvider::desktopEntryIconValue(path), c.expected) << c.name;
    }
    EXPECT_EQ(FileIconProvider::desktopEntryIconValue(homePath() + "/entries/absent.desktop"), QString());
}

TEST(FileIconProvider, SourceFollowsWhatThePathIs) {
    makeDirectory(homePath() + "/Projects");
    writeFile(homePath() + "/notes.txt", "hello");
    writeFile(homePath() + "/apps/editor.desktop", "[Desktop Entry]\nIcon=accessories-text-editor.png\n");
    writeFile(homePath() + "/apps/tool.desktop", "[Desktop Entry]\nIcon=/opt/tool/tool.svg\n");

    const auto folder = FileIconProvider::iconSource(homePath() + "/Projects");
    EXPECT_EQ(folder.themeNames.value(0), QStringLiteral("folder"));
    const auto text = FileIconProvider::iconSource(homePath() + "/notes.txt");
    EXPECT_EQ(text.themeNames.value(0), QStringLiteral("text-plain"));
    // A path that is gone still gets the icon of its name's type.
    const auto gone = FileIconProvider::iconSource(homePath() + "/gone/report.pdf");
    EXPECT_EQ(gone.themeNames.value(0), QStringLiteral("application-pdf"));
    EXPECT_TRUE(gone.imageFile.isEmpty());
    const auto editor = FileIconProvider::iconSource(homePath() + "/apps/editor.desktop");
    EXPECT_EQ(editor.themeNames, QStringList({"accessories-text-editor", "application-x-executable"}));
    const auto tool = FileIconProvider::iconSource(homePath() + "/apps/tool.desktop");
    EXPECT_EQ(tool.imageFile, QStringLiteral("/opt/tool/tool.svg"));
}

TEST(FileIconProvider, IconsArriveLaterAndAreKeptByPath) {
    installIconTheme({{"text-plain", QColor(200, 0, 0)},
                      {"folder", QColor(0, 150, 0)},
                      {"accessories-text-editor", QColor(0, 0, 220)}});
    makeDirectory(homePath() + "/Projects");
    writeFile(homePath() + "/notes.txt", "hello");
    writeFile(homePath() + "/own.png", pngOf(QColor(250, 200, 0), 64));
    writeFile(homePath() + "/apps/editor.desktop", "[Desktop Entry]\nIcon=accessories-text-editor\n");
    writeFile(homePath() + "/apps/own.desktop",
              "[Desktop Entry]\nIcon=" + (homePath() + "/own.png").toUtf8());

    FileIconProvider provider;
    QSignalSpy loaded(&provider, &FileIconProvider::iconLoaded);
    struct Case {
        QString path;
        QColor colour;
    } cases[] = {
        {homePath() + "/notes.txt", QColor(200, 0, 0)},
        {homePath() + "/Projects", QColor(0, 150, 0)},
        {homePath() + "/apps/editor.desktop", QColor(0, 0, 220)},
        {homePath() + "/apps/own.desktop", QColor(250, 200, 0)},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(provider.icon(c.path).isNull()) << c.path.toStdString();
    // Asking again while it loads starts nothing new.
    EXPECT_TRUE(provider.icon(cases[0].path).isNull());
    ASSERT_TRUE(test::waitUntil([&] { return loaded.size() >= 4; }));
    EXPECT_EQ(loaded.size(), 4);
    for (const auto &c : cases) {
        const QImage image = provider.icon(c.path);
        ASSERT_FALSE(image.isNull()) << c.path.toStdString();
        EXPECT_EQ(image.deviceIndependentSize(), QSizeF(32, 32)) << c.path.toStdString();
        EXPECT_EQ(centreColour(image).rgb(), c.colour.rgb()) << c.path.toStdString();
    }
    EXPECT_EQ(loaded.size(), 4);
}

// An icon installed while the launcher runs shows once the sources were refreshed; a new icon theme
// gives every row its icon from that theme.
TEST(FileIconProvider, FailedLookupsAreRetriedAfterARefreshAndEveryIconAfterAThemeChange) {
    // A theme of this test's own: the other tests fill theirs.
    const QString theme = homePath() + "/icons/orvex-retry";
    const auto themeFile = [](const QString &) {
        return QByteArray(
            "[Icon Theme]\nName=x\nDirectories=32x32/any\n\n[32x32/any]\nSize=32\nType=Fixed\n");
    };
    writeFile(theme + "/index.theme", themeFile(theme));
    writeFile(theme + "/32x32/any/folder.png", pngOf(QColor(0, 150, 0)));
    QIcon::setThemeSearchPaths({homePath() + "/icons"});
    QIcon::setThemeName(QStringLiteral("orvex-retry"));
    makeDirectory(homePath() + "/Retry/Projects");
    writeFile(homePath() + "/Retry/table.csv", "a,b\n");
    const QString table = homePath() + "/Retry/table.csv";
    const QString projects = homePath() + "/Retry/Projects";
    NotificationCenter center;
    FileIconProvider provider(center);
    QSignalSpy loaded(&provider, &FileIconProvider::iconLoaded);
    QSignalSpy reset(&provider, &FileIconProvider::iconsReset);
    const auto loadedIcon = [&](const QString &path) {
        loaded.clear();
        QImage image = provider.icon(path);
        test::waitUntil([&] {
            image = provider.icon(path);
            return !image.isNull() || (loaded.size() > 0 && loaded.constLast().constFirst() == path);
        });
        return provider.icon(path);
    };
    EXPECT_TRUE(loadedIcon(table).isNull()) << "the theme has no icon for tables yet";
    EXPECT_EQ(centreColour(loadedIcon(projects)).rgb(), QColor(0, 150, 0).rgb());
    EXPECT_TRUE(provider.pdfTypeIcon().isNull());

    // The icon comes with an application installed later.
    writeFile(theme + "/32x32/any/text-csv.png", pngOf(QColor(200, 0, 0)));
    writeFile(theme + "/32x32/any/application-pdf.png", pngOf(QColor(180, 0, 0)));
    EXPECT_TRUE(provider.icon(table).isNull()) << "not asked again before a refresh";
    center.post(NotificationName::launcherSearchDataRefreshed);
    ASSERT_TRUE(test::waitUntil([&] { return reset.size() == 1; }));
    EXPECT_FALSE(provider.icon(projects).isNull()) << "what was found stays";
    EXPECT_EQ(centreColour(loadedIcon(table)).rgb(), QColor(200, 0, 0).rgb());
    EXPECT_EQ(centreColour(provider.pdfTypeIcon()).rgb(), QColor(180, 0, 0).rgb());
    center.post(NotificationName::launcherSearchDataRefreshed);
    QCoreApplication::processEvents();
    EXPECT_EQ(reset.size(), 1) << "nothing failed: nothing to ask again";

    // Another theme: every icon is asked again, once for all the windows told of it.
    const QString other = homePath() + "/icons/orvex-other";
    writeFile(other + "/index.theme", themeFile(other));
    writeFile(other + "/32x32/any/text-csv.png", pngOf(QColor(0, 0, 220)));
    writeFile(other + "/32x32/any/folder.png", pngOf(QColor(250, 200, 0)));
    QIcon::setThemeName(QStringLiteral("orvex-other"));
    QWindow first;
    QWindow second;
    for (QWindow *window : {&first, &second}) {
        QEvent change(QEvent::ThemeChange);
        QCoreApplication::sendEvent(window, &change);
    }
    ASSERT_TRUE(test::waitUntil([&] { return reset.size() == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(reset.size(), 2);
    EXPECT_EQ(centreColour(loadedIcon(table)).rgb(), QColor(0, 0, 220).rgb());
    EXPECT_EQ(centreColour(loadedIcon(projects)).rgb(), QColor(250, 200, 0).rgb());
}

TEST(FileIconProvider, SharedIconsComeFromTheThemeAndTheNotionEntry) {
    installIconTheme({{"application-pdf", QColor(180, 0, 0)},
                      {"preferences-system", QColor(90, 90, 90)},
                      {"notion-icon", QColor(10, 10, 10)}});
    {
        FileIconProvider provider;
        EXPECT_EQ(centreColour(provider.pdfTypeIcon()).rgb(), QColor(180, 0, 0).rgb());
        EXPECT_EQ(centreColour(provider.systemSettingsIcon()).rgb(), QColor(90, 90, 90).rgb());
        EXPECT_FALSE(provider.notionAppIcon().has_value());
    }
    writeFile(homePath() + "/.local/share/applications/notion-app.desktop",
              "[Desktop Entry]\nName=Notion\nIcon=notion-icon\n");
    qputenv("XDG_DATA_HOME", (homePath() + "/.local/share").toUtf8());
    FileIconProvider provider;
    ASSERT_TRUE(provider.notionAppIcon().has_value());
    EXPECT_EQ(centreColour(*provider.notionAppIcon()).rgb(), QColor(10, 10, 10).rgb());
}

// A provider that goes while its worker still loads leaves nothing behind: the answers meant for it
// reach no one, and a new provider loads the same files in full.
TEST(FileIconProvider, DestroyingWhileLoadingLeavesTheNextProviderWhole) {
    // Entries that name an image of their own, so that every one has an icon to load.
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString image = homePath() + QStringLiteral("/many/icon.png");
    writeFile(image, {});
    ASSERT_TRUE(red.save(image));
    QStringList paths;
    for (int i = 0; i < 20; ++i) {
        paths.append(homePath() + QString("/many/%1.desktop").arg(i));
        writeFile(paths.last(),
                  "[Desktop Entry]\nType=Application\nName=App\nExec=true\nIcon=" + image.toUtf8() + "\n");
    }
    {
        FileIconProvider provider;
        for (const QString &path : paths)
            EXPECT_TRUE(provider.icon(path).isNull()) << "answered before its worker ran";
    }
    QCoreApplication::processEvents();

    FileIconProvider next;
    QSignalSpy loaded(&next, &FileIconProvider::iconLoaded);
    for (const QString &path : paths)
        next.icon(path);
    ASSERT_TRUE(test::waitUntil([&] { return loaded.size() >= paths.size(); }));
    QStringList announced;
    for (const QList<QVariant> &signal : loaded)
        announced.append(signal.at(0).toString());
    announced.sort();
    QStringList expected = paths;
    expected.sort();
    EXPECT_EQ(announced, expected);
    for (const QString &path : paths)
        EXPECT_FALSE(next.icon(path).isNull()) << path.toStdString();
}

} // namespace
} // namespace orvex
