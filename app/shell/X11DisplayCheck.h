#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvex {

// Whether the X display the launcher is about to use answers, asked before anything is locked or bound:
// without a display the toolkit aborts the process, and a launcher that cannot show itself must leave
// no lock or socket behind that later starts would hand over to.
namespace X11DisplayCheck {

// The display the xcb platform will connect to: the value of a "-display NAME" argument when one is
// given, else $DISPLAY.
QByteArray displayName(int argc, char **argv);

// Why the display cannot be used, in words that follow "cannot open the X display: "; none when its
// X server accepts a connection.
std::optional<QString> problem(const QByteArray &displayName);

} // namespace X11DisplayCheck

} // namespace orvex
