#include "app-version/AccessoryAppCommandMenu.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(AccessoryAppCommandMenu, TitleNamesTheAppOrTheProcess) {
    EXPECT_EQ(AccessoryAppCommandMenu::quitItemTitle(QStringLiteral("Orvex Launcher")),
              QStringLiteral("Quit Orvex Launcher"));
    EXPECT_EQ(AccessoryAppCommandMenu::quitItemTitle(QStringLiteral("  Orvex Launcher\n")),
              QStringLiteral("Quit Orvex Launcher"));
    const QString processTitle = QStringLiteral("Quit app_version_tests");
    EXPECT_EQ(AccessoryAppCommandMenu::quitItemTitle(QStringLiteral(" \t ")), processTitle);
    EXPECT_EQ(AccessoryAppCommandMenu::quitItemTitle(QString()), processTitle);
}

TEST(AccessoryAppCommandMenu, CtrlQFromAnyChildQuitsOnceAndReinstallingReplaces) {
    QWidget window;
    auto *field = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(field);
    int first = 0;
    int second = 0;
    AccessoryAppCommandMenu::installQuitMenu(window, QStringLiteral("Orvex Launcher"), [&] { ++first; });
    QAction *action =
        AccessoryAppCommandMenu::installQuitMenu(window, QStringLiteral("Orvex Launcher"), [&] { ++second; });
    EXPECT_EQ(action->text(), QStringLiteral("Quit Orvex Launcher"));
    EXPECT_EQ(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_EQ(window.actions().size(), 1);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 5000));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    // A plain q is text for the field, not a command.
    QTest::keyClick(field, Qt::Key_Q);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(field->text(), QStringLiteral("q"));
}

} // namespace
} // namespace orvex
