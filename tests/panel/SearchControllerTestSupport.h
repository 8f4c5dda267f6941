#pragma once

#include "fixtures/ResultNames.h"
#include "panel/SearchController.h"
#include "panel/SearchDebounceTimer.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "search/PersistentQueryResultCacheStore.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace orvex::test::panelmodel {

// A debounce pause that passes only when the test moves the manual clock.
class ManualDebounceTimer final : public SearchDebounceTimer {
public:
    explicit ManualDebounceTimer(std::shared_ptr<ManualClock> clock) : clock_(std::move(clock)) {}

    void start(std::chrono::milliseconds delay, std::function<void()> fire) override;
    void stop() override { fire_ = nullptr; }

    // Moves the clock and fires the pending call when its time has come.
    void advance(std::chrono::milliseconds step);
    bool isPending() const { return fire_ != nullptr; }

    int starts = 0;
    std::chrono::milliseconds lastDelay{0};

private:
    std::shared_ptr<ManualClock> clock_;
    Clock::MonotonicTime due_;
    std::function<void()> fire_;
};

// The search core as the panel sees it: answers from a table, records every call, and holds the
// answer for a blocked query until the test releases it. Safe to call from the worker threads.
class FakeSearch {
public:
    struct Call {
        QString query;
        bool allowPersistentQueryCache = true;
    };

    // An answer or a block for the query, either for both kinds of call or only for typed searches
    // (the persistent cache allowed) or only for re-runs (not allowed).
    void answer(const QString &trimmedQuery, SearchResults rows, std::optional<bool> allowPersistent = {});
    void block(const QString &trimmedQuery, std::optional<bool> allowPersistent = {});
    void release(const QString &trimmedQuery);
    QList<Call> calls() const;
    // Waits (up to a few seconds) until a call for the query has started.
    bool waitForCall(const QString &trimmedQuery, int count = 1);

    PanelSearchFunction function();

private:
    SearchResults run(const QString &trimmedQuery, bool allowPersistentQueryCache);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    static QString key(const QString &query, std::optional<bool> allowPersistent);

    QHash<QString, SearchResults> answers_;
    QSet<QString> blocked_;
    QList<Call> calls_;
};

// A controller over memory-only defaults, a manual clock, a fake search core and a private
// notification centre.
struct ControllerHarness {
    ControllerHarness();
    ~ControllerHarness();

    // Types the text and lets the debounce pass, then waits for the answer to be installed.
    void typeAndSettle(const QString &text);
    // Waits until no answer is on its way back.
    bool settle();
    QStringList shownNames() const;

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    UserDefaults defaults;
    NotificationCenter center;
    FakeSearch search;
    std::shared_ptr<PersistentQueryResultCacheStore> store;
    ManualDebounceTimer *timer = nullptr;
    std::unique_ptr<SearchController> controller;
};

// Rows for the tables.
SearchResult fileRow(const QString &name, const QString &directory = QStringLiteral("/home/user/Documents"),
                     std::optional<qint64> score = 100);
SearchResult folderRow(const QString &path, bool isDirectPathMatch);
SearchResult appRow(const QString &name);
SearchResult actionRow(const QString &name, std::optional<SearchResultAction> action,
                       std::optional<QString> actionURL, std::optional<QString> fallbackURL = std::nullopt,
                       std::optional<QString> usageKey = std::nullopt);
// Their titles, in order.
using test::filenames;

} // namespace orvex::test::panelmodel
