#include "SearchControllerTestSupport.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace orvex::test::panelmodel {

void ManualDebounceTimer::start(std::chrono::milliseconds delay, std::function<void()> fire) {
    ++starts;
    lastDelay = delay;
    due_ = clock_->monotonicNow() + delay;
    fire_ = std::move(fire);
}

void ManualDebounceTimer::advance(std::chrono::milliseconds step) {
    clock_->advance(std::chrono::duration<double>(step).count());
    if (fire_ && clock_->monotonicNow() >= due_)
        std::exchange(fire_, nullptr)();
}

QString FakeSearch::key(const QString &query, std::optional<bool> allowPersistent) {
    if (!allowPersistent)
        return query + QStringLiteral("|*");
    return query + (*allowPersistent ? QStringLiteral("|typed") : QStringLiteral("|refresh"));
}

void FakeSearch::answer(const QString &trimmedQuery, SearchResults rows,
                        std::optional<bool> allowPersistent) {
    std::lock_guard guard(mutex_);
    answers_.insert(key(trimmedQuery, allowPersistent), std::move(rows));
}

void FakeSearch::block(const QString &trimmedQuery, std::optional<bool> allowPersistent) {
    std::lock_guard guard(mutex_);
    blocked_.insert(key(trimmedQuery, allowPersistent));
}

void FakeSearch::release(const QString &trimmedQuery) {
    {
        std::lock_guard guard(mutex_);
        for (const std::optional<bool> kind :
             {std::optional<bool>(), std::optional<bool>(true), std::optional<bool>(false)})
            blocked_.remove(key(trimmedQuery, kind));
    }
    changed_.notify_all();
}

QList<FakeSearch::Call> FakeSearch::calls() const {
    std::lock_guard guard(mutex_);
    return calls_;
}

bool FakeSearch::waitForCall(const QString &trimmedQuery, int count) {
    std::unique_lock guard(mutex_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] {
        return std::count_if(calls_.cbegin(), calls_.cend(),
                             [&](const Call &call) { return call.query == trimmedQuery; }) >= count;
    });
}

PanelSearchFunction FakeSearch::function() {
    return [this](const QString &query, bool allowPersistentQueryCache) {
        return run(query, allowPersistentQueryCache);
    };
}

SearchResults FakeSearch::run(const QString &trimmedQuery, bool allowPersistentQueryCache) {
    std::unique_lock guard(mutex_);
    calls_.append({trimmedQuery, allowPersistentQueryCache});
    changed_.notify_all();
    // Bounded, so that a test that forgets a release fails instead of hanging.
    const QString exact = key(trimmedQuery, allowPersistentQueryCache);
    const QString any = key(trimmedQuery, std::nullopt);
    changed_.wait_for(guard, std::chrono::seconds(10),
                      [&] { return !blocked_.contains(exact) && !blocked_.contains(any); });
    return answers_.contains(exact) ? answers_.value(exact) : answers_.value(any);
}

ControllerHarness::ControllerHarness()
    : store(std::make_shared<PersistentQueryResultCacheStore>(SearchState::persistentQueryCacheStoreKey,
                                                              defaults)) {
    auto manualTimer = std::make_unique<ManualDebounceTimer>(clock);
    timer = manualTimer.get();
    SearchControllerEnvironment environment;
    environment.defaults = &defaults;
    environment.clock = clock;
    environment.search = search.function();
    environment.persistentQueryCacheStore = store;
    environment.debounceTimer = std::move(manualTimer);
    environment.notificationCenter = &center;
    controller = std::make_unique<SearchController>(std::move(environment));
}

ControllerHarness::~ControllerHarness() {
    // Nothing may stay blocked while the controller waits for its workers.
    for (const FakeSearch::Call &call : search.calls())
        search.release(call.query);
    controller.reset();
}

void ControllerHarness::typeAndSettle(const QString &text) {
    controller->setQuery(text);
    timer->advance(std::chrono::milliseconds(controller->searchDebounceMilliseconds()));
    EXPECT_TRUE(settle()) << text.toStdString();
}

bool ControllerHarness::settle() {
    return waitUntil([&] { return controller->searchesInFlight() == 0; });
}

QStringList ControllerHarness::shownNames() const {
    return filenames(controller->results());
}

SearchResult fileRow(const QString &name, const QString &directory, std::optional<qint64> score) {
    return SearchResult({.id = stableNegativeID(directory + QLatin1Char('/') + name),
                         .filename = name,
                         .directory = directory,
                         .relevanceScore = score});
}

SearchResult folderRow(const QString &path, bool isDirectPathMatch) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return SearchResult({.id = stableNegativeID(path),
                         .filename = path.mid(slash + 1),
                         .directory = path.left(slash),
                         .kind = SearchResultKind::folder,
                         .isDirectPathMatch = isDirectPathMatch,
                         .relevanceScore = 100});
}

SearchResult appRow(const QString &name) {
    return SearchResult({.id = stableNegativeID(name),
                         .filename = name + QStringLiteral(".desktop"),
                         .directory = QStringLiteral("/usr/share/applications"),
                         .kind = SearchResultKind::app,
                         .relevanceScore = 100});
}

SearchResult actionRow(const QString &name, std::optional<SearchResultAction> action,
                       std::optional<QString> actionURL, std::optional<QString> fallbackURL,
                       std::optional<QString> usageKey) {
    return SearchResult({.id = stableNegativeID(name),
                         .filename = name,
                         .directory = QStringLiteral("Action"),
                         .kind = SearchResultKind::action,
                         .action = action,
                         .actionURLString = std::move(actionURL),
                         .fallbackActionURLString = std::move(fallbackURL),
                         .usageKey = std::move(usageKey),
                         .relevanceScore = 100});
}

} // namespace orvex::test::panelmodel
