#include "platform/ConsoleLog.h"

#include <cstdio>

namespace orvex {

namespace {

void writeLine(std::FILE *stream, const QString &line) {
    // One write of the whole line: stdio locks the stream for it, so threads' lines stay whole.
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void printLine(const QLoggingCategory &category, const QString &line) {
    if (category.isInfoEnabled())
        writeLine(stdout, line);
}

void printErrorLine(const QString &line) {
    writeLine(stderr, line);
}

} // namespace orvex
