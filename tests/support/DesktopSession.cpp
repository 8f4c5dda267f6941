#include "DesktopSession.h"

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace orvex::test {

namespace {

template <typename Reply> struct FreeReply {
    void operator()(Reply *reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

void pause(std::chrono::milliseconds duration) {
    const QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
}

} // namespace

DesktopSession::DesktopSession(Options options) : options_(std::move(options)) {
    server_.process().setStandardErrorFile(QProcess::nullDevice());
    // The server writes the display number it chose to its standard output. Without -noreset it would
    // reset (and drop its keymap) whenever its last client leaves, refusing connections meanwhile.
    if (!server_.start(
            QStringLiteral("Xvfb"),
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
             QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
             QStringLiteral("0"),
             QStringLiteral("%1x%2x24").arg(options_.screen.width()).arg(options_.screen.height())},
            options_.baseEnvironment.value_or(QProcessEnvironment::systemEnvironment())))
        return;
    QProcess &server = server_.process();
    const QDeadlineTimer deadline(desktopTimeout);
    QByteArray output;
    while (!output.contains('\n') && !deadline.hasExpired() && server.state() == QProcess::Running) {
        server.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        output += server.readAllStandardOutput();
    }
    bool ok = false;
    output.trimmed().toUInt(&ok);
    if (!ok)
        return;
    display_ = ':' + output.trimmed();
    connection_ = xcb_connect(display_.constData(), nullptr);
    if (xcb_connection_has_error(connection_))
        return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // A coloured desktop, so that windows' outlines show in screenshots.
    const quint32 background = 0x4f6a8f;
    xcb_change_window_attributes(connection_, root_, XCB_CW_BACK_PIXEL, &background);
    xcb_clear_area(connection_, 0, root_, 0, 0, 0, 0);
    xcb_flush(connection_);
    if (!run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}))
        return;
    if (options_.windowManager && !startWindowManager())
        return;
    if (options_.tray && !startTray())
        return;
    ready_ = true;
}

DesktopSession::~DesktopSession() {
    tray_.stop();
    windowManager_.stop();
    if (connection_)
        xcb_disconnect(connection_);
    server_.stop(std::chrono::seconds(5));
}

QProcessEnvironment DesktopSession::environment() const {
    QProcessEnvironment environment =
        options_.baseEnvironment.value_or(QProcessEnvironment::systemEnvironment());
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display_));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1"));
    for (const char *name : {"QT_QPA_PLATFORMTHEME", "QT_AUTO_SCREEN_SCALE_FACTOR", "WAYLAND_DISPLAY",
                             "SESSION_MANAGER", "XAUTHORITY"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

bool DesktopSession::run(const QString &program, const QStringList &arguments, QString *output,
                         std::chrono::milliseconds timeout) const {
    QProcess client;
    client.setProcessEnvironment(environment());
    client.setStandardErrorFile(QProcess::nullDevice());
    ChildProcess::dieWithParent(client);
    client.start(program, arguments);
    if (!client.waitForFinished(int(timeout.count()))) {
        client.kill();
        client.waitForFinished(5000);
        return false;
    }
    if (output)
        *output = QString::fromUtf8(client.readAllStandardOutput());
    return client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
}

bool DesktopSession::xdotool(const QStringList &arguments, QString *output) const {
    return run(QStringLiteral("xdotool"), arguments, output);
}

bool DesktopSession::waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) const {
    const QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        pause(std::chrono::milliseconds(20));
    }
    return true;
}

void DesktopSession::settle(std::chrono::milliseconds duration) const {
    pause(duration);
}

quint32 DesktopSession::atom(const char *name) const {
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : 0;
}

namespace {

std::vector<quint32> propertyValues(xcb_connection_t *connection, quint32 window, quint32 property,
                                    quint32 type) {
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    return std::vector<quint32>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

} // namespace

bool DesktopSession::startWindowManager() {
    // openbox's own settings and themes as its package installs them, not the user's (the test's home has
    // none), and only for openbox: the programs under test see neither.
    if (!windowManagerFolders_.isValid())
        return false;
    const QString lent = windowManagerFolders_.path();
    QDir().mkpath(lent + QStringLiteral("/config"));
    QDir().mkpath(lent + QStringLiteral("/data"));
    QFile::link(QStringLiteral("/etc/xdg/openbox"), lent + QStringLiteral("/config/openbox"));
    QFile::link(QStringLiteral("/usr/share/themes"), lent + QStringLiteral("/data/themes"));
    QProcessEnvironment managerEnvironment = environment();
    managerEnvironment.insert(QStringLiteral("XDG_CONFIG_DIRS"), lent + QStringLiteral("/config"));
    managerEnvironment.insert(QStringLiteral("XDG_DATA_DIRS"), lent + QStringLiteral("/data"));
    if (!windowManager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")},
                              managerEnvironment))
        return false;
    const quint32 check = atom("_NET_SUPPORTING_WM_CHECK");
    if (!waitUntil([&] { return !propertyValues(connection_, root_, check, XCB_ATOM_WINDOW).empty(); }))
        return false;
    // openbox claims the screen before it is done starting, and requests that reach it meanwhile (a
    // window's map request) may wait unhandled until some later event wakes it up: a program's first
    // window would never show. It is ready once it has framed a window of ours, woken by a property
    // change on the root window as often as it takes.
    const quint32 probe = openOtherWindow(QRect(0, 0, 16, 16), QStringLiteral("window manager probe"));
    const quint32 nudge = atom("_ORVEX_TEST_NUDGE");
    const bool managing = waitUntil([&] {
        if (const std::optional<XWindowInfo> info = window(probe);
            info && info->viewable && info->topLevel != probe)
            return true;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, nudge, XCB_ATOM_CARDINAL, 32, 0,
                            nullptr);
        xcb_flush(connection_);
        return false;
    });
    closeOtherWindow(probe);
    return managing;
}

bool DesktopSession::startTray() {
    if (!tray_.start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                      QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                      QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--heighttype"),
                      QStringLiteral("pixel"), QStringLiteral("--height"), QStringLiteral("28"),
                      QStringLiteral("--transparent"), QStringLiteral("false"), QStringLiteral("--tint"),
                      QStringLiteral("0x2a2a2a"), QStringLiteral("--SetDockType"), QStringLiteral("true")},
                     environment()))
        return false;
    const quint32 selection = atom("_NET_SYSTEM_TRAY_S0");
    return waitUntil([&] {
        ReplyPtr<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            connection_, xcb_get_selection_owner(connection_, selection), nullptr));
        return owner && owner->owner != XCB_NONE;
    });
}

quint32 DesktopSession::trayWindow() const {
    for (const XWindowInfo &info : windowsOf(tray_.pid()))
        if (info.viewable && info.id == info.topLevel)
            return info.id;
    for (const XWindowInfo &info : windowsOf(tray_.pid()))
        if (info.viewable)
            return info.topLevel;
    return 0;
}

QString DesktopSession::windowTitle(quint32 window) const {
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 0, 1024),
        nullptr));
    if (reply && xcb_get_property_value_length(reply.get()) > 0)
        return QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                 xcb_get_property_value_length(reply.get()));
    reply.reset(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 1024),
        nullptr));
    if (reply && xcb_get_property_value_length(reply.get()) > 0)
        return QString::fromLatin1(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                   xcb_get_property_value_length(reply.get()));
    return {};
}

std::optional<XWindowInfo> DesktopSession::window(quint32 id) const {
    ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, id), nullptr));
    ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, id), nullptr));
    ReplyPtr<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, id, root_, 0, 0), nullptr));
    if (!attributes || !geometry || !origin)
        return std::nullopt;
    XWindowInfo info;
    info.id = id;
    info.geometry = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    info.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    info.overrideRedirect = attributes->override_redirect;
    info.title = windowTitle(id);
    const std::vector<quint32> pid = propertyValues(connection_, id, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    info.pid = pid.empty() ? 0 : pid.front();
    quint32 current = id;
    for (int depth = 0; depth < 64; ++depth) {
        ReplyPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, current), nullptr));
        if (!tree || tree->parent == XCB_NONE || tree->parent == root_)
            break;
        current = tree->parent;
    }
    info.topLevel = current;
    return info;
}

QList<XWindowInfo> DesktopSession::windowsOf(qint64 pid) const {
    QList<XWindowInfo> found;
    std::vector<quint32> pending{root_};
    const quint32 pidAtom = atom("_NET_WM_PID");
    while (!pending.empty()) {
        const quint32 current = pending.back();
        pending.pop_back();
        ReplyPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, current), nullptr));
        if (!tree)
            continue;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
            pending.push_back(children[i]);
            const std::vector<quint32> owner =
                propertyValues(connection_, children[i], pidAtom, XCB_ATOM_CARDINAL);
            if (!owner.empty() && owner.front() == pid)
                if (const auto info = window(children[i]))
                    found.append(*info);
        }
    }
    return found;
}

std::optional<XWindowInfo> DesktopSession::waitForWindow(qint64 pid, const QString &title,
                                                         std::chrono::milliseconds timeout) const {
    std::optional<XWindowInfo> result;
    waitUntil(
        [&] {
            for (const XWindowInfo &info : windowsOf(pid))
                if (info.viewable && info.title == title && !info.overrideRedirect) {
                    result = info;
                    return true;
                }
            return false;
        },
        timeout);
    return result;
}

bool DesktopSession::isViewable(quint32 id) const {
    const auto info = window(id);
    return info && info->viewable;
}

quint32 DesktopSession::inputFocus() const {
    ReplyPtr<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    return reply ? reply->focus : 0;
}

std::optional<quint32> DesktopSession::currentDesktop() const {
    const auto values = propertyValues(connection_, root_, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL);
    return values.empty() ? std::nullopt : std::optional<quint32>(values.front());
}

std::optional<quint32> DesktopSession::windowDesktop(quint32 id) const {
    const auto values = propertyValues(connection_, id, atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL);
    return values.empty() ? std::nullopt : std::optional<quint32>(values.front());
}

QStringList DesktopSession::windowStates(quint32 id) const {
    QStringList names;
    for (const quint32 state : propertyValues(connection_, id, atom("_NET_WM_STATE"), XCB_ATOM_ATOM)) {
        ReplyPtr<xcb_get_atom_name_reply_t> name(
            xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, state), nullptr));
        if (name)
            names.append(QString::fromLatin1(xcb_get_atom_name_name(name.get()),
                                             xcb_get_atom_name_name_length(name.get())));
    }
    return names;
}

quint32 DesktopSession::openOtherWindow(const QRect &geometry, const QString &title) {
    const quint32 window = xcb_generate_id(connection_);
    const quint32 values[] = {0xd8d8d8, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, static_cast<int16_t>(geometry.x()),
                      static_cast<int16_t>(geometry.y()), static_cast<uint16_t>(geometry.width()),
                      static_cast<uint16_t>(geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    // Placed where asked: a user-given position and size.
    quint32 hints[18] = {};
    hints[0] = 1 | 2; // USPosition, USSize
    hints[1] = static_cast<quint32>(geometry.x());
    hints[2] = static_cast<quint32>(geometry.y());
    hints[3] = static_cast<quint32>(geometry.width());
    hints[4] = static_cast<quint32>(geometry.height());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    const QByteArray name = title.toUtf8();
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<quint32>(name.size()), name.constData());
    xcb_map_window(connection_, window);
    xcb_flush(connection_);
    return window;
}

void DesktopSession::closeOtherWindow(quint32 window) {
    xcb_destroy_window(connection_, window);
    xcb_flush(connection_);
}

QString DesktopSession::describe() {
    QStringList parts;
    const std::pair<const char *, ChildProcess *> processes[] = {
        {"Xvfb", &server_}, {"openbox", &windowManager_}, {"trayer", &tray_}};
    for (const auto &[name, process] : processes) {
        if (process->process().program().isEmpty())
            continue;
        const QString said = QString::fromLocal8Bit(process->standardError()).trimmed();
        parts.append(QStringLiteral("%1 %2%3").arg(
            QLatin1String(name),
            process->isRunning() ? QStringLiteral("runs")
                                 : QStringLiteral("ended (%1)").arg(process->exitCode()),
            said.isEmpty() ? QString() : QStringLiteral(": ") + said));
    }
    return parts.join(QStringLiteral("; "));
}

QImage DesktopSession::screenshot() const {
    const QSize size = options_.screen;
    ReplyPtr<xcb_get_image_reply_t> image(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0,
                      static_cast<uint16_t>(size.width()), static_cast<uint16_t>(size.height()), ~0u),
        nullptr));
    if (!image || image->depth != 24)
        return {};
    const int length = xcb_get_image_data_length(image.get());
    const int stride = length / size.height();
    return QImage(xcb_get_image_data(image.get()), size.width(), size.height(), stride, QImage::Format_RGB32)
        .copy();
}

QString DesktopSession::saveScreenshot(const QImage &image, const QString &name) {
    const QString folder = QStringLiteral(ORVEX_TEST_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    image.save(path);
    return path;
}

} // namespace orvex::test
