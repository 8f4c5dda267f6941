#include "VirtualDisplay.h"

#include <QDeadlineTimer>
#include <QThread>

#include <xcb/xcb.h>

#include <sys/prctl.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace orvex::bench {

namespace {

// Whether a window manager has announced itself on the display's root window.
bool windowManagerRunning(const QByteArray &display) {
    xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
    bool running = false;
    if (!xcb_connection_has_error(connection)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const char name[] = "_NET_SUPPORTING_WM_CHECK";
        xcb_intern_atom_reply_t *atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            xcb_get_property_reply_t *property = xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1),
                nullptr);
            running = property && xcb_get_property_value_length(property) == 4;
            std::free(property);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    return running;
}

} // namespace

void killChildWithParent(QProcess &child) {
    child.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void stopChild(QProcess &child, int graceMilliseconds) {
    if (child.state() == QProcess::NotRunning)
        return;
    child.terminate();
    if (!child.waitForFinished(graceMilliseconds)) {
        child.kill();
        child.waitForFinished(5000);
    }
}

VirtualDisplay::~VirtualDisplay() {
    stop();
}

bool VirtualDisplay::start(const QString &scratch, int width, int height, QString *error) {
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    killChildWithParent(server_);
    server_.setStandardErrorFile(QProcess::nullDevice());
    // -noreset: without it the server resets whenever its last client leaves, refusing connections meanwhile.
    server_.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(width).arg(height)});
    if (!server_.waitForStarted(10000))
        return fail(QStringLiteral("Xvfb did not start"));
    const QDeadlineTimer deadline(10000);
    QByteArray output;
    while (!output.contains('\n') && !deadline.hasExpired() && server_.state() == QProcess::Running) {
        server_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        output += server_.readAllStandardOutput();
    }
    bool ok = false;
    output.trimmed().toUInt(&ok);
    if (!ok)
        return fail(QStringLiteral("Xvfb named no display"));
    name_ = ':' + output.trimmed();

    QProcessEnvironment wmEnvironment = environment();
    wmEnvironment.insert(QStringLiteral("HOME"), scratch);
    wmEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch + QStringLiteral("/.config"));
    wmEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"), scratch + QStringLiteral("/.cache"));
    windowManager_.setProcessEnvironment(wmEnvironment);
    windowManager_.setStandardOutputFile(QProcess::nullDevice());
    windowManager_.setStandardErrorFile(QProcess::nullDevice());
    killChildWithParent(windowManager_);
    windowManager_.start(QStringLiteral("openbox"), {});
    if (!windowManager_.waitForStarted(10000))
        return fail(QStringLiteral("openbox did not start"));
    const QDeadlineTimer managerDeadline(10000);
    while (!windowManagerRunning(name_)) {
        if (managerDeadline.hasExpired() || windowManager_.state() != QProcess::Running)
            return fail(QStringLiteral("openbox did not take the display"));
        QThread::msleep(20);
    }
    return true;
}

void VirtualDisplay::stop() {
    stopChild(windowManager_);
    stopChild(server_);
    name_.clear();
}

QProcessEnvironment VirtualDisplay::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(name_));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("XAUTHORITY"));
    return environment;
}

} // namespace orvex::bench
