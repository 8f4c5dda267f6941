// Opens the launcher's settings window the way the launcher does (standard defaults of the isolated
// home, real window manager), optionally resizes it, prints its content and frame sizes and exits, or
// with --stay keeps it open until it is closed or the process is ended. The translation engines are
// checked only with --engines. --notion-url sends the Notion test there; --registration ok|fail answers
// each saved hot key as the launcher does once it has tried to register it.
// Usage: orvex_settings_window_host [WIDTHxHEIGHT] [--stay] [--engines] [--notion-url URL]
//                                   [--registration ok|fail]
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"

#include "search/LauncherNotifications.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QUrl>
#include <QWindow>

#include <cstdio>

namespace {

// Runs the event loop until `done` holds or the time passes.
bool waitUntil(const std::function<bool()> &done, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    std::optional<QSize> requested;
    bool stay = false;
    bool engines = false;
    std::optional<QUrl> notionURL;
    std::optional<bool> registers;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--stay") || argument == QLatin1String("--engines")) {
            (argument == QLatin1String("--stay") ? stay : engines) = true;
            continue;
        }
        if (argument == QLatin1String("--notion-url") && i + 1 < argc) {
            notionURL = QUrl(QString::fromLocal8Bit(argv[++i]));
            continue;
        }
        if (argument == QLatin1String("--registration") && i + 1 < argc) {
            registers = QString::fromLocal8Bit(argv[++i]) == QLatin1String("ok");
            continue;
        }
        const QStringList parts = argument.split(QLatin1Char('x'));
        if (parts.size() == 2)
            requested = QSize(parts[0].toInt(), parts[1].toInt());
    }

    orvex::NotificationCenter &center = orvex::NotificationCenter::defaultCenter();
    if (registers)
        center.addObserver(
            QString(orvex::NotificationName::launcherHotKeyChanged), [&center, registers](auto &&...) {
                center.post(QString(orvex::NotificationName::launcherHotKeyRegistrationStatusChanged),
                            {{QString(orvex::NotificationUserInfoKey::success), *registers}});
            });
    orvex::SettingsWindowController controller([engines, notionURL] {
        orvex::SettingsEnvironment environment = orvex::SettingsEnvironment::production();
        if (notionURL)
            environment.notionConnection.baseURL = *notionURL;
        // The engines' check starts an interpreter; it plays no part unless asked for.
        if (!engines) {
            environment.translationAvailability = {};
            environment.observeTranslationAvailability = {};
        }
        return environment;
    });
    controller.show();
    QWidget *window = controller.window();
    // Mapped, and framed by the window manager.
    if (!waitUntil([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }, 10000))
        return 2;
    waitUntil([&] { return window->frameGeometry().size() != window->size(); }, 3000);
    if (requested) {
        window->resize(*requested);
        if (!waitUntil([&] { return window->size() == *requested; }, 5000))
            return 3;
    }
    // Let late configure events from the window manager arrive.
    waitUntil([] { return false; }, 300);
    std::printf("content %d %d frame %d %d\n", window->width(), window->height(),
                window->frameGeometry().width(), window->frameGeometry().height());
    std::fflush(stdout);
    if (stay) {
        // Closing only hides the settings window; the host ends with it.
        QObject::connect(window->windowHandle(), &QWindow::visibleChanged, &app, [](bool visible) {
            if (!visible)
                QCoreApplication::quit();
        });
        app.exec();
    }
    return orvex::UserDefaults::standard().flush() ? 0 : 4;
}
