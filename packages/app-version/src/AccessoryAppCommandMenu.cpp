#include "app-version/AccessoryAppCommandMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeySequence>
#include <QWidget>

namespace orvex::AccessoryAppCommandMenu {

namespace {

const char *const quitActionName = "orvexQuitAction";

QString processName() {
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QCoreApplication::applicationName() : QFileInfo(path).fileName();
}

} // namespace

QString quitItemTitle(const QString &appName) {
    const QString trimmed = appName.trimmed();
    return QStringLiteral("Quit ") + (trimmed.isEmpty() ? processName() : trimmed);
}

QAction *installQuitMenu(QWidget &window, const QString &appName, std::function<void()> quit) {
    for (QAction *existing : window.actions()) {
        if (existing->objectName() == QLatin1String(quitActionName)) {
            window.removeAction(existing);
            delete existing;
        }
    }
    auto *action = new QAction(quitItemTitle(appName), &window);
    action->setObjectName(QLatin1String(quitActionName));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The panel is often the only window and has no menu bar: the key must work from any of its widgets.
    action->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(action, &QAction::triggered, &window, [quit = std::move(quit)] {
        if (quit)
            quit();
        else
            QCoreApplication::quit();
    });
    window.addAction(action);
    return action;
}

} // namespace orvex::AccessoryAppCommandMenu
