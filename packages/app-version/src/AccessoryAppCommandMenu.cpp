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
    // Bound to its window, not the application: with one action per window, two shown windows would
    // each claim the key application-wide and Qt would refuse it as ambiguous. Any widget of the active
    // window still reaches it, and the window with the keyboard is the one that quits.
    action->setShortcutContext(Qt::WindowShortcut);
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
