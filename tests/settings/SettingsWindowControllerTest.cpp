#include "settings/SettingsWindowController.h"
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

TEST(SettingsWindowController, Screenshots) {
    const std::pair<QSize, const char *> layouts[] = {
        {QSize(720, 900), "settings-window-one-column.png"},
        {QSize(1200, 900), "settings-window-two-columns.png"},
    };
    for (const auto &[size, file] : layouts) {
        SCOPED_TRACE(file);
        WindowFixture f;
        WindowSizeStore::settingsWindow(f.defaults).save(size);
        f.controller.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f.controller.window()));
        EXPECT_EQ(f.controller.window()->view()->isWideLayout(), size.width() >= 892);
        const QString path = test::screenshotDirectory() + QLatin1Char('/') + QString::fromLatin1(file);
        ASSERT_TRUE(f.controller.window()->grab().save(path));
        // The end of the form as well.
        for (QScrollArea *scroll : f.controller.window()->findChildren<QScrollArea *>())
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        ASSERT_TRUE(f.controller.window()->grab().save(QString(path).replace(".png", "-end.png")));
    }
}

} // namespace
} // namespace orvex
