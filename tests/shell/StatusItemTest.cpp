// The status item, its menu and its image.
#include "ShellTestSupport.h"

#include "search/LauncherNotifications.h"
#include "shell/LauncherBranding.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::DelegateHarness;

QStringList titles(const QMenu &menu) {
    QStringList texts;
    for (const QAction *action : menu.actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction *action(QMenu &menu, const QString &title) {
    for (QAction *action : menu.actions())
        if (action->text() == title)
            return action;
    ADD_FAILURE() << "no item " << title.toStdString();
    return nullptr;
}

TEST(StatusItem, TheMenuListsItsItemsWithCurrentCheckMarks) {
    DelegateHarness harness([](UserDefaults &defaults) {
        defaults.set(QStringLiteral("showSnippets"), PlistValue(true));
        defaults.set(QStringLiteral("launcherShowVersionNumber"), PlistValue(false));
    });
    harness.launch();
    ASSERT_TRUE(harness.delegate->statusItem());
    EXPECT_FALSE(harness.delegate->statusItem()->icon().isNull());
    EXPECT_EQ(harness.delegate->statusItem()->toolTip(), QStringLiteral("Orvex Launcher"));

    std::unique_ptr<QMenu> menu(harness.delegate->buildStatusMenu());
    EXPECT_EQ(titles(*menu),
              (QStringList{"Show Launcher", "Settings\u2026", "Permission Setup\u2026", "-",
                           "Show Search Snippets", "Show Version Number", "Show Tray Icon", "-", "Quit"}));
    EXPECT_TRUE(action(*menu, "Show Search Snippets")->isChecked());
    EXPECT_FALSE(action(*menu, "Show Version Number")->isChecked());
    EXPECT_TRUE(action(*menu, "Show Tray Icon")->isChecked());
    EXPECT_FALSE(action(*menu, "Show Launcher")->isCheckable());
    EXPECT_EQ(action(*menu, "Settings\u2026")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(action(*menu, "Quit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Changed elsewhere (the settings window): the next menu shows it.
    harness.defaults.set(QStringLiteral("showSnippets"), PlistValue(false));
    std::unique_ptr<QMenu> next(harness.delegate->buildStatusMenu());
    EXPECT_FALSE(action(*next, "Show Search Snippets")->isChecked());
}

TEST(StatusItem, EachToggleFlipsItsValueAndAnnouncesIt) {
    struct Case {
        const char *title;
        const char *key;
        bool initial;
        QLatin1StringView notification;
    } cases[] = {
        {"Show Search Snippets", "showSnippets", false, NotificationName::launcherShowSnippetsChanged},
        {"Show Version Number", "launcherShowVersionNumber", true,
         NotificationName::launcherVersionVisibilityChanged},
        {"Show Tray Icon", "launcherShowMenuBarIcon", true,
         NotificationName::launcherMenuBarIconVisibilityChanged},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        DelegateHarness harness;
        harness.launch();
        for (const bool expected : {!c.initial, c.initial}) {
            std::unique_ptr<QMenu> menu(harness.delegate->buildStatusMenu());
            EXPECT_EQ(action(*menu, c.title)->isChecked(), !expected);
            action(*menu, c.title)->trigger();
            EXPECT_EQ(harness.defaults.boolValue(QString::fromLatin1(c.key)), expected);
            // The observers bring the delegate's own state in line.
            test::waitUntil([] { return false; }, std::chrono::milliseconds(20));
        }
        EXPECT_EQ(harness.posted(QString(c.notification)).size(), 2);
    }
}

TEST(StatusItem, TheStatusItemExistsExactlyWhileItIsWished) {
    DelegateHarness harness([](UserDefaults &defaults) {
        defaults.set(QStringLiteral("launcherShowMenuBarIcon"), PlistValue(false));
    });
    harness.launch();
    EXPECT_FALSE(harness.delegate->statusItem());
    harness.delegate->toggleMenuBarIcon();
    ASSERT_TRUE(test::waitUntil([&] { return harness.delegate->statusItem() != nullptr; }));
    EXPECT_TRUE(harness.delegate->showMenuBarIcon());
    std::unique_ptr<QMenu> menu(harness.delegate->buildStatusMenu());
    action(*menu, "Show Tray Icon")->trigger();
    EXPECT_TRUE(test::waitUntil([&] { return harness.delegate->statusItem() == nullptr; }));
    // With neither status item nor hot key, a later launch is the way back.
    harness.delegate->hideWindow();
    harness.delegate->handleDuplicateLaunch();
    EXPECT_TRUE(harness.delegate->window()->isVisible());
}

TEST(StatusItem, TheCommandsShowTheirWindowsAndQuit) {
    DelegateHarness harness;
    harness.launch();
    AppDelegate &delegate = *harness.delegate;
    delegate.hideWindow();

    std::unique_ptr<QMenu> menu(delegate.buildStatusMenu());
    action(*menu, "Show Launcher")->trigger();
    EXPECT_TRUE(delegate.window()->isVisible());

    action(*menu, "Settings\u2026")->trigger();
    QWidget *settings = delegate.settingsWindow();
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Launcher Settings"));
    EXPECT_FALSE(delegate.window()->isVisible()) << "opening the settings hides the panel";
    settings->close();
    action(*menu, "Settings\u2026")->trigger();
    EXPECT_EQ(delegate.settingsWindow(), settings) << "built once";
    EXPECT_TRUE(settings->isVisible());

    action(*menu, "Permission Setup\u2026")->trigger();
    QWidget *onboarding = delegate.permissionsOnboardingWindow();
    ASSERT_TRUE(onboarding);
    EXPECT_TRUE(onboarding->isVisible());
    action(*menu, "Permission Setup\u2026")->trigger();
    EXPECT_EQ(delegate.permissionsOnboardingWindow(), onboarding) << "one window";

    EXPECT_EQ(harness.terminations, 0);
    action(*menu, "Quit")->trigger();
    EXPECT_EQ(harness.terminations, 1);
}

TEST(LauncherBranding, TheStatusImageIsTheBundledPictureElseASymbol) {
    const QString folder = test::homePath() + QStringLiteral("/branding");
    struct Case {
        const char *name;
        QStringList files;
        QString expected;
    } cases[] = {
        {"the bundled picture",
         {"MenuBarTemplate.png", "sparkles.svg", "bolt.fill.svg"},
         "MenuBarTemplate.png"},
        {"sparkles", {"sparkles.svg", "bolt.fill.svg"}, "sparkles.svg"},
        {"a bolt", {"bolt.fill.svg"}, "bolt.fill.svg"},
        {"nothing", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        test::makeDirectory(folder);
        for (const QString &file : c.files)
            ASSERT_TRUE(QFile::copy(LauncherBranding::resourceFolder + QLatin1Char('/') + file,
                                    folder + QLatin1Char('/') + file));
        const QIcon icon = LauncherBranding::statusBarImage(folder);
        ASSERT_EQ(icon.isNull(), c.expected.isEmpty());
        if (icon.isNull())
            continue;
        EXPECT_TRUE(icon.isMask()) << "drawn in the bar's colour where the desktop does that";
        if (c.expected.endsWith(QStringLiteral(".png"))) {
            EXPECT_EQ(icon.actualSize(QSize(64, 64)), QSize(20, 16));
        } else {
            const QImage drawn = icon.pixmap(QSize(16, 16)).toImage();
            EXPECT_EQ(drawn.size(), QSize(16, 16));
            EXPECT_EQ(drawn, QIcon(folder + QLatin1Char('/') + c.expected).pixmap(QSize(16, 16)).toImage());
        }
    }
    EXPECT_EQ(LauncherBranding::statusBarImage().actualSize(QSize(64, 64)), QSize(20, 16))
        << "the launcher bundles its picture";
}

} // namespace
} // namespace orvex
