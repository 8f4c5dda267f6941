#include "settings/SettingsWindowController.h"
#include "settings/AppearanceSettingsSection.h"
#include "settings/GlobalHotkeySettingsSection.h"
#include "settings/SettingsView.h"

#include "SettingsTestSupport.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

struct WindowFixture {
    WindowFixture()
        : controller(
              [this] {
                  return SettingsEnvironment::over(defaults, recorder.center(),
                                                   std::make_shared<test::FakeLaunchAtLoginManager>());
              },
              WindowSizeStore::settingsWindow(defaults)) {}

    UserDefaults defaults;
    test::NotificationRecorder recorder;
    SettingsWindowController controller;
};

TEST(SettingsWindowController, OpensAtTheStoredContentSizeAndStoresTheSameMeasure) {
    struct Case {
        const char *name;
        std::optional<QSizeF> stored;
        QSize expected;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, QSize(980, 620)},
        {"stored", QSizeF(1000, 700), QSize(1000, 700)},
        {"too small", QSizeF(300, 100), QSize(460, 420)},
        {"too large", QSizeF(5000, 5000), QSize(1200, 900)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WindowFixture f;
        if (c.stored)
            WindowSizeStore::settingsWindow(f.defaults).save(c.stored->toSize());
        f.controller.show();
        SettingsWindow *window = f.controller.window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(window->windowTitle(), "Launcher Settings");
        EXPECT_EQ(window->size(), c.expected);
        EXPECT_EQ(window->minimumSize(), QSize(460, 420));
        EXPECT_EQ(window->maximumSize(), QSize(1200, 900));
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
        // What is stored is what the window was given.
        EXPECT_EQ(WindowSizeStore::settingsWindow(f.defaults).load(QSize(1, 1)), c.expected);
    }
}

TEST(SettingsWindowController, KeepsItsSizeOverRestarts) {
    UserDefaults defaults;
    test::NotificationRecorder recorder;
    const auto environment = [&] {
        return SettingsEnvironment::over(defaults, recorder.center(),
                                         std::make_shared<test::FakeLaunchAtLoginManager>());
    };
    {
        SettingsWindowController first(environment, WindowSizeStore::settingsWindow(defaults));
        first.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(first.window()));
        first.window()->resize(1000, 700);
        QCoreApplication::processEvents();
    }
    for (int restart = 0; restart < 2; ++restart) {
        SCOPED_TRACE(restart);
        SettingsWindowController again(environment, WindowSizeStore::settingsWindow(defaults));
        again.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(again.window()));
        EXPECT_EQ(again.window()->size(), QSize(1000, 700));
    }
}

TEST(SettingsWindowController, ClosingHidesTheOneWindowThatShowBringsBack) {
    WindowFixture f;
    f.controller.show();
    SettingsWindow *window = f.controller.window();
    window->view()->model().setShowSnippets(true);
    // Closing the one shown window must not end the launcher's event loop.
    EXPECT_EQ(test::exitCodeAfterClosing(window), test::loopStillRunning);
    EXPECT_FALSE(window->isVisible());
    f.controller.show();
    EXPECT_EQ(f.controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    // The state lives on with the window; it is not read again.
    EXPECT_TRUE(window->view()->model().showSnippets());
}

// The window at the size it was given: in two columns the appearance section stands beside the others,
// in one column below them, and the end of the form scrolls into view (the pictures are kept for a
// reviewer's eye).
TEST(SettingsWindowController, TheWindowLaysItsSectionsOutInOneOrTwoColumnsByItsWidth) {
    const struct {
        QSize size;
        bool wide;
        const char *file;
    } layouts[] = {
        {QSize(720, 900), false, "settings-window-one-column.png"},
        {QSize(1200, 900), true, "settings-window-two-columns.png"},
    };
    for (const auto &c : layouts) {
        SCOPED_TRACE(c.file);
        WindowFixture f;
        WindowSizeStore::settingsWindow(f.defaults).save(c.size);
        f.controller.show();
        QWidget *window = f.controller.window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(window->size(), c.size);
        const SettingsView *view = f.controller.window()->view();
        EXPECT_EQ(view->isWideLayout(), c.wide);
        const auto placed = [&](const QWidget *section) {
            return QRect(section->mapTo(window, QPoint(0, 0)), section->size());
        };
        const QRect hotkey = placed(view->globalHotkeySection());
        const QRect appearance = placed(view->appearanceSection());
        EXPECT_FALSE(hotkey.intersects(appearance));
        if (c.wide) {
            EXPECT_GE(appearance.left(), hotkey.right());
            EXPECT_LE(hotkey.width(), view->currentLeftColumnWidth());
        } else {
            EXPECT_GE(appearance.top(), hotkey.bottom());
            EXPECT_EQ(appearance.left(), hotkey.left());
        }
        EXPECT_FALSE(view->globalHotkeySection()->visibleRegion().isEmpty()) << "the form starts at its top";
        const QString path = test::screenshotDirectory() + QLatin1Char('/') + QString::fromLatin1(c.file);
        ASSERT_TRUE(window->grab().save(path));
        // The end of the form as well.
        for (QScrollArea *scroll : window->findChildren<QScrollArea *>())
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        if (!c.wide) {
            EXPECT_TRUE(view->globalHotkeySection()->visibleRegion().isEmpty()) << "the form did not scroll";
        }
        ASSERT_TRUE(window->grab().save(QString(path).replace(".png", "-end.png")));
    }
}

} // namespace
} // namespace orvex
