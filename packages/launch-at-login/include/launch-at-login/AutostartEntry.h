#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace orvex {

// Desktop entries as the XDG autostart folder holds them: the Exec quoting and string escapes that
// desktop files use, and a reader of the "[Desktop Entry]" group.
namespace AutostartEntry {

// One argument of an Exec value: quoted when it holds a reserved character, with '"', '`', '$' and '\'
// escaped inside the quotes and '%' doubled.
QString execArgument(const QString &argument);

// A string value with its backslash, line-break, tab and carriage-return escapes (and a leading space
// kept as "\s").
QString escapeValue(const QString &value);

// The keys of the "[Desktop Entry]" group with their raw values (escapes not undone); nothing when the
// text has no such group.
std::optional<QHash<QString, QString>> readMainGroup(const QByteArray &bytes);

} // namespace AutostartEntry
} // namespace orvex
