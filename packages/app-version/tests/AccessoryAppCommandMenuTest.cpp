#include "app-version/AccessoryAppCommandMenu.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <array>
#include <memory>

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

// Qt's warnings while it lives, such as the one for a key two shortcuts claim.
class WarningRecorder {
public:
    WarningRecorder() { previous_ = qInstallMessageHandler(&record); }
    ~WarningRecorder() {
        qInstallMessageHandler(previous_);
        messages().clear();
    }
    static QStringList &messages() {
        static QStringList recorded;
        return recorded;
    }

private:
    static void record(QtMsgType, const QMessageLogContext &, const QString &message) {
        messages() << message;
    }
    QtMessageHandler previous_ = nullptr;
};

TEST(AccessoryAppCommandMenu, CtrlQQuitsOnceFromWhicheverOfTwoShownWindowsIsActive) {
    struct Window {
        QWidget widget;
        QLineEdit *field = new QLineEdit(&widget);
        int quits = 0;
    };
    std::array<std::unique_ptr<Window>, 2> windows{std::make_unique<Window>(), std::make_unique<Window>()};
    for (const auto &window : windows) {
        Window *target = window.get();
        AccessoryAppCommandMenu::installQuitMenu(window->widget, QStringLiteral("Orvex Launcher"),
                                                 [target] { ++target->quits; });
        window->widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window->widget, 5000));
    }

    const WarningRecorder warnings;
    for (std::size_t active = 0; active < windows.size(); ++active) {
        SCOPED_TRACE(active);
        Window &window = *windows[active];
        window.widget.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window.widget, 5000));
        window.field->setFocus();
        QTest::keyClick(window.field, Qt::Key_Q, Qt::ControlModifier);
        EXPECT_EQ(window.quits, 1);
        EXPECT_EQ(windows[1 - active]->quits, active == 0 ? 0 : 1);
    }
    EXPECT_TRUE(WarningRecorder::messages().isEmpty())
        << WarningRecorder::messages().join(QLatin1Char('\n')).toStdString();
}

} // namespace
} // namespace orvex
