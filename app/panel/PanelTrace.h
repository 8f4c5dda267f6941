#pragma once

#include "panel/SearchController.h"

#include <QObject>
#include <QStringList>

#include <optional>

namespace orvex {

class ContentView;

// For the launcher benchmark: appends to a file, with the monotonic clock's time in nanoseconds, a line
// for every list the panel applies ("list N final|preview ROWS FINGERPRINT QUERY"), one for the first
// paint of the result list after it ("paint N") and one for every search the panel ran, stamped at its
// end ("search START QUERY"). The benchmark times what a user sees from outside; it reads here which
// list was drawn and how much of the wait was the search itself.
class PanelTrace : public QObject {
    Q_OBJECT

public:
    // The file named by "--trace FILE" in the launcher's arguments.
    static std::optional<QString> requestedFile(const QStringList &arguments);
    // Starts a trace on `view` when the arguments ask for one (it lives as long as the view); one line
    // on standard output when the file cannot be opened.
    static void installIfRequested(const QStringList &arguments, ContentView &view);
    // When the arguments ask for a trace, `search` (null: the search core's) becomes a search that also
    // records its start and end; it may run on any thread.
    static void traceSearchesIfRequested(const QStringList &arguments, PanelSearchFunction &search);

    // Order-free fingerprint of the rows' identities (64-bit FNV-1a over the sorted identities).
    static quint64 fingerprint(const QStringList &identities);

    ~PanelTrace() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PanelTrace(int descriptor, ContentView &view);
    void writeLine(const QByteArray &line);
    void listApplied();

    int descriptor_;
    ContentView &view_;
    int applied_ = 0;
    int painted_ = 0;
};

} // namespace orvex
