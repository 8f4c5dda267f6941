#include "panel/PanelTrace.h"

#include "panel/ContentView.h"
#include "panel/ResultListView.h"
#include "panel/SearchState.h"
#include "platform/ConsoleLog.h"

#include <QEvent>
#include <QFile>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace orvex {

namespace {

Q_LOGGING_CATEGORY(traceLog, "orvex.trace", QtInfoMsg)

qint64 monotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Appending, so that the view's trace and the searches' can share the file line by line.
int openTraceFile(const QString &path) {
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        printLine(traceLog(), QStringLiteral("Failed to open trace file: ") + path);
    }
    return descriptor;
}

// One write per line, so that a reader never sees half of one.
void writeStampedLine(int descriptor, const QByteArray &line) {
    const QByteArray stamped = QByteArray::number(monotonicNanoseconds()) + ' ' + line + '\n';
    if (::write(descriptor, stamped.constData(), size_t(stamped.size())) < 0)
        return;
}

} // namespace

std::optional<QString> PanelTrace::requestedFile(const QStringList &arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--trace"));
    if (at < 0 || at + 1 >= arguments.size() || arguments.at(at + 1).isEmpty())
        return std::nullopt;
    return arguments.at(at + 1);
}

void PanelTrace::installIfRequested(const QStringList &arguments, ContentView &view) {
    const auto path = requestedFile(arguments);
    if (!path)
        return;
    const int descriptor = openTraceFile(*path);
    if (descriptor >= 0)
        new PanelTrace(descriptor, view);
}

void PanelTrace::traceSearchesIfRequested(const QStringList &arguments, PanelSearchFunction &search) {
    const auto path = requestedFile(arguments);
    if (!path)
        return;
    const int opened = openTraceFile(*path);
    if (opened < 0)
        return;
    // Closed with the last copy of the search function.
    const std::shared_ptr<const int> descriptor(new int(opened), [](const int *d) {
        ::close(*d);
        delete d;
    });
    PanelSearchFunction inner = search ? std::move(search) : coreSearchFunction();
    search = [descriptor, inner = std::move(inner)](const QString &query, bool allowPersistent) {
        const qint64 start = monotonicNanoseconds();
        SearchResults rows = inner(query, allowPersistent);
        writeStampedLine(*descriptor,
                         "search " + QByteArray::number(start) + ' ' + QUrl::toPercentEncoding(query));
        return rows;
    };
}

quint64 PanelTrace::fingerprint(const QStringList &identities) {
    QStringList sorted = identities;
    std::sort(sorted.begin(), sorted.end());
    quint64 hash = 14695981039346656037ULL;
    for (const QString &identity : sorted) {
        for (const char byte : identity.toUtf8() + '\n') {
            hash ^= quint8(byte);
            hash *= 1099511628211ULL;
        }
    }
    return hash;
}

PanelTrace::PanelTrace(int descriptor, ContentView &view)
    : QObject(&view), descriptor_(descriptor), view_(view) {
    connect(&view.controller(), &SearchController::resultsChanged, this, &PanelTrace::listApplied);
    view.resultList()->viewport()->installEventFilter(this);
}

PanelTrace::~PanelTrace() {
    ::close(descriptor_);
}

void PanelTrace::writeLine(const QByteArray &line) {
    writeStampedLine(descriptor_, line);
}

void PanelTrace::listApplied() {
    const SearchState &state = view_.controller().state();
    QStringList identities;
    for (const SearchResult &row : state.results)
        identities.append(panelRowIdentity(row));
    ++applied_;
    writeLine("list " + QByteArray::number(applied_) + (state.resultsArePreview ? " preview " : " final ") +
              QByteArray::number(identities.size()) + ' ' + QByteArray::number(fingerprint(identities), 16) +
              ' ' + QUrl::toPercentEncoding(state.query));
}

bool PanelTrace::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Paint && painted_ != applied_) {
        painted_ = applied_;
        writeLine("paint " + QByteArray::number(painted_));
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orvex
