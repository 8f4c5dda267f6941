#pragma once

#include <QLoggingCategory>
#include <QString>

namespace orvex {

// Diagnostics as the launcher writes them: one whole line each, flushed at once so that a line is never
// lost with the process or interleaved with another thread's. Each area logs through a category of its
// own (`Q_LOGGING_CATEGORY(name, "orvex.<area>", QtInfoMsg)`), so that QT_LOGGING_RULES can silence one
// ("orvex.defaults.info=false"); the texts stay where users and scripts read them.

// A note on standard output, when `category` has info messages on.
void printLine(const QLoggingCategory &category, const QString &line);
// A failure the user must see, on standard error, whatever the rules say.
void printErrorLine(const QString &line);

} // namespace orvex
