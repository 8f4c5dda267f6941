#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

// The header names a member "explicit".
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

#include <poll.h>

#include <cstdlib>

namespace orvex::test {

XvfbServer::XvfbServer() {
    server_.setProcessChannelMode(QProcess::SeparateChannels);
    server_.setStandardErrorFile(QProcess::nullDevice());
    // The server writes the display number it chose to its standard output. Without -noreset it would
    // reset (and drop its keymap) whenever its last client leaves, refusing connections meanwhile.
    const QStringList arguments{QStringLiteral("-displayfd"), QStringLiteral("1"),
                                QStringLiteral("-noreset"),   QStringLiteral("-nolisten"),
                                QStringLiteral("tcp"),        QStringLiteral("-screen"),
                                QStringLiteral("0"),          QStringLiteral("320x240x24")};
    server_.start(QStringLiteral("Xvfb"), arguments);
    if (!server_.waitForStarted(10000))
        return;
    const QDeadlineTimer deadline(std::chrono::seconds(20));
    QByteArray output;
    while (!output.contains('\n') && !deadline.hasExpired() && server_.state() == QProcess::Running) {
        server_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        output += server_.readAllStandardOutput();
    }
    const QByteArray number = output.trimmed();
    bool ok = false;
    number.toUInt(&ok);
    if (ok)
        display_ = ':' + number;
}

XvfbServer::~XvfbServer() {
    if (server_.state() == QProcess::NotRunning)
        return;
    server_.terminate();
    if (!server_.waitForFinished(5000)) {
        server_.kill();
        server_.waitForFinished(5000);
    }
}

bool XvfbServer::run(const QString &program, const QStringList &arguments,
                     std::chrono::milliseconds timeout) const {
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display_));
    client.setProcessEnvironment(environment);
    client.start(program, arguments);
    if (!client.waitForFinished(int(timeout.count()))) {
        client.kill();
        client.waitForFinished(5000);
        return false;
    }
    return client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
}

XClient::XClient(const QByteArray &displayName) : connection_(xcb_connect(displayName.constData(), nullptr)) {
    if (xcb_connection_has_error(connection_))
        return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Enables the extension on this connection for lockGroup().
    std::free(xcb_xkb_use_extension_reply(connection_, xcb_xkb_use_extension(connection_, 1, 0), nullptr));
}

XClient::~XClient() {
    xcb_disconnect(connection_);
}

bool XClient::grab(quint8 key, quint16 modifiers) {
    const auto cookie =
        xcb_grab_key_checked(connection_, 0, root_, modifiers, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t *error = xcb_request_check(connection_, cookie);
    std::free(error);
    return error == nullptr && !xcb_connection_has_error(connection_);
}

void XClient::ungrab(quint8 key, quint16 modifiers) {
    std::free(xcb_request_check(connection_, xcb_ungrab_key_checked(connection_, key, root_, modifiers)));
}

bool XClient::lockGroup(quint8 group) {
    const auto cookie =
        xcb_xkb_latch_lock_state_checked(connection_, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0, 0);
    xcb_generic_error_t *error = xcb_request_check(connection_, cookie);
    std::free(error);
    return error == nullptr;
}

bool XClient::waitForKeyPress(quint8 key, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!xcb_connection_has_error(connection_)) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
            const bool pressed = (event->response_type & 0x7f) == XCB_KEY_PRESS &&
                                 reinterpret_cast<xcb_key_press_event_t *>(event)->detail == key;
            std::free(event);
            if (pressed)
                return true;
        }
        if (deadline.hasExpired())
            return false;
        pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
        ::poll(&descriptor, 1, int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return false;
}

} // namespace orvex::test
