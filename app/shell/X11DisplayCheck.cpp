#include "shell/X11DisplayCheck.h"

#include <xcb/xcb.h>

#include <cstring>

namespace orvex::X11DisplayCheck {

QByteArray displayName(int argc, char **argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-display") == 0 || std::strcmp(argv[i], "--display") == 0)
            return QByteArray(argv[i + 1]);
    return qgetenv("DISPLAY");
}

std::optional<QString> problem(const QByteArray &displayName) {
    if (displayName.isEmpty())
        return QStringLiteral("DISPLAY is not set");
    xcb_connection_t *connection = xcb_connect(displayName.constData(), nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error == 0)
        return std::nullopt;
    const QString name = QStringLiteral("\"%1\"").arg(QString::fromLocal8Bit(displayName));
    switch (error) {
    case XCB_CONN_CLOSED_PARSE_ERR:
        return name + QStringLiteral(" is not a display name");
    case XCB_CONN_CLOSED_INVALID_SCREEN:
        return name + QStringLiteral(" names a screen its X server does not have");
    default:
        return name + QStringLiteral(" does not answer or refused the connection");
    }
}

} // namespace orvex::X11DisplayCheck
