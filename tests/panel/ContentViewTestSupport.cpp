#include "ContentViewTestSupport.h"

#include "panel/PanelNotifications.h"
#include "panel/ResultListView.h"
#include "panel/SearchTextField.h"
#include "search/LauncherNotifications.h"
#include "search/PersistentQueryResultCacheStore.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex::test {

namespace {

QList<IndexedFile> indexedFiles() {
    const QString documents = homePath() + QStringLiteral("/Documents");
    return {
        {101, "Quarterly report.pdf", documents, 5, 1, {}, "The quarterly numbers grew in every region."},
        {102, "Quarterly plan.txt", documents, 3, 2, {}, "Plan for the next quarterly review and budget."},
        {103, "Quartz notes.md", documents + "/Notes", 1, 3, {}, "Quartz crystals keep time in watches."},
        {104, "Budget <b>draft</b>.txt", documents, 0, 4, {}, "Budget with the quarterly totals."},
        {105, "Recipes.txt", documents, 0, 5, {}, "Bread, soup and salad."},
    };
}

} // namespace

PanelHarness::PanelHarness(const std::function<void(UserDefaults &)> &settings, bool recordActivations) {
    index.createIndex(indexedFiles());
    makeDirectory(homePath() + QStringLiteral("/Documents/Quarterly archive"));
    DatabaseManagerConfiguration configuration = index.configuration();
    configuration.folderSearchRoots = {homePath() + QStringLiteral("/Documents")};
    manager = index.makeManager(configuration);
    if (settings)
        settings(*index.defaults);

    for (const QLatin1StringView name :
         {NotificationName::launcherResultsVisibilityChanged, NotificationName::launcherWindowHidden}) {
        observers_.append(center.addObserver(
            QString(name), [this](const Notification &note) { notifications.append(note); }));
    }

    ContentViewEnvironment environment;
    environment.search.defaults = index.defaults.get();
    environment.search.notificationCenter = &center;
    environment.search.clock = index.clock;
    DatabaseManager *core = manager.get();
    environment.search.search = [core](const QString &query, bool allowPersistent) {
        return core->search(query, allowPersistent);
    };
    environment.search.persistentQueryCacheStore = PersistentQueryResultCacheStoreRegistry::store(
        SearchState::persistentQueryCacheStoreKey, *index.defaults);
    if (recordActivations) {
        environment.activate = [this](const SearchResult &result, ResultActivationMode mode) {
            activations.append({result, mode});
        };
    }
    environment.activation.recordActivation = [this](const SearchResult &) { ++recorded; };
    environment.terminate = [this] { ++quits; };
    environment.version =
        AppVersionInfo{"1.4.2", "abc123def456", QDateTime::fromSecsSinceEpoch(1709640000, QTimeZone::utc())};
    view = std::make_unique<ContentView>(workspace, std::move(environment));
    view->resize(720, 460);
    view->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get(), 5000));
    view->activateWindow();
    EXPECT_TRUE(waitUntil([&] { return view->searchField()->hasFocus(); }));
}

PanelHarness::~PanelHarness() {
    view.reset();
    for (const auto token : observers_)
        center.removeObserver(token);
}

bool PanelHarness::settle() {
    return waitUntil([&] {
        const SearchController &c = view->controller();
        return c.searchesInFlight() == 0 && !c.state().isSearching && !c.state().resultsArePreview;
    });
}

void PanelHarness::type(const QString &text) {
    QTest::keyClicks(view->searchField(), text);
    EXPECT_TRUE(settle()) << text.toStdString();
}

void PanelHarness::replaceQuery(const QString &text) {
    view->searchField()->selectAll();
    if (text.isEmpty()) {
        key(Qt::Key_Backspace);
        EXPECT_TRUE(settle());
    } else {
        type(text);
    }
}

void PanelHarness::key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(view->searchField(), key, modifiers);
}

void PanelHarness::post(const QString &name) {
    center.post(name);
}

QStringList PanelHarness::shownNames() const {
    QStringList names;
    for (const SearchResult &row : view->controller().results())
        names << row.filename();
    return names;
}

void PanelHarness::settleScreen() {
    waitUntil([&] { return !view->resultList()->isScrolling(); });
    QCoreApplication::processEvents();
}

QImage PanelHarness::grab() {
    settleScreen();
    return view->grab().toImage();
}

} // namespace orvex::test
