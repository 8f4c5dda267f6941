#pragma once

#include "fixtures/FakeWorkspace.h"
#include "fixtures/IndexDatabaseFixture.h"
#include "panel/ContentView.h"
#include "platform/NotificationCenter.h"

#include <QList>

#include <QStringList>
#include <atomic>

#include <memory>
#include <utility>

namespace orvex::test {

// A panel on screen (offscreen platform) over a real search core in the test home: an index with a few
// documents (with text, so that snippets come back), a folder tree, memory-only defaults and a private
// notification centre and a fake workspace. Activations are recorded instead of carried out unless
// `recordActivations` is false; quits are always recorded.
struct PanelHarness {
    explicit PanelHarness(const std::function<void(UserDefaults &)> &settings = {},
                          bool recordActivations = true);
    ~PanelHarness();

    // Types into the field with key events and waits until the answer for it is shown.
    void type(const QString &text);
    // Waits until the shown rows answer the current query and nothing is on its way.
    bool settle();
    QStringList shownNames() const;
    // The field's text selected and replaced by typing.
    void replaceQuery(const QString &text);
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Posts on the panel's notification centre.
    void post(const QString &name);
    // Lets the list's centring scroll finish and the screen catch up.
    void settleScreen();
    QImage grab();

    IndexDatabaseFixture index;
    std::unique_ptr<DatabaseManager> manager;
    NotificationCenter center;
    FakeWorkspace workspace;
    // How many uses the search core was told about (counted on the recording thread).
    std::atomic<int> recorded{0};
    QList<std::pair<SearchResult, ResultActivationMode>> activations;
    int quits = 0;
    QList<Notification> notifications;
    std::unique_ptr<ContentView> view;

private:
    QList<NotificationCenter::ObserverToken> observers_;
};

} // namespace orvex::test
