#pragma once

#include "app-version/AppVersion.h"
#include "panel/LauncherTheme.h"
#include "panel/ResultActivation.h"
#include "panel/ResultActivationMode.h"
#include "panel/SearchController.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace orvex {

class ResultActivationModeMonitor;
class ResultListView;
class ResultRowIcons;
class SearchTextField;
class SpokenNotice;
class Workspace;

// What a panel is built from. Every empty member takes the launcher's own value.
struct ContentViewEnvironment {
    // The search model's own environment; its defaults and notification centre serve the view too.
    SearchControllerEnvironment search;
    // How rows are opened, revealed and performed.
    ResultActivationEnvironment activation;
    // Replaces activation altogether (tests that only look at what the keys ask for).
    std::function<void(const SearchResult &, ResultActivationMode)> activate;
    // Ends the application (Ctrl+Q). Empty: the application quits.
    std::function<void()> terminate;
    // Null: the launcher's own icon sources.
    ResultRowIcons *icons = nullptr;
    // Empty: this build's version.
    std::optional<AppVersionInfo> version;
};

// The launcher panel's content: the search bar (magnifier, query field, activity indicator), the divider
// and the scrolling result list on the theme's rounded, bordered gradient, and the version footer. Routes
// the panel's keys (Up, Down, Return, Ctrl+Return, Ctrl+V, Ctrl+Comma, Ctrl+Q, Escape) and keeps its display
// settings in step with the change notifications. Holds no search logic: SearchController does the searching.
class ContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal cornerRadius = 12;

    // The launcher passes Workspace::shared().
    explicit ContentView(Workspace &workspace, ContentViewEnvironment environment = {},
                         QWidget *parent = nullptr);
    ~ContentView() override;

    SearchController &controller() { return *controller_; }
    SearchTextField *searchField() const { return field_; }
    ResultListView *resultList() const { return list_; }
    // Whether the activity indicator of a running search is shown.
    bool isShowingActivity() const;
    // What a screen reader was told of the last answer: "No results" while it found nothing, else empty.
    QString searchOutcome() const;

    LauncherThemeID launcherThemeID() const { return themeID_; }
    LauncherTheme theme() const;
    bool showSnippets() const { return showSnippets_; }
    bool useNativeAppIcons() const { return useNativeAppIcons_; }
    bool showVersionNumber() const { return showVersionNumber_; }
    bool showSearchScores() const { return showSearchScores_; }
    ResultActivationMode activeModifierMode() const;

    // The version setting is on, the query is exactly empty and there are no rows.
    bool shouldShowVersionFooter() const;
    QString versionFooterText() const;
    // The footer's rectangle while it is shown.
    QRect versionFooterRect() const;

    // Up and Down.
    void moveSelection(bool up);
    // Ctrl+V: the clipboard's text, trimmed, merged into the query; a blank clipboard changes nothing.
    void pasteClipboardIntoQuery();
    // Return and Ctrl+Return: the selected row, when there is one within the list.
    void activateSelectedResult(ResultActivationMode mode);
    // Escape.
    void hidePanel();
    // Posts "LauncherResultsVisibilityChanged" with "hasResults".
    void notifyResultsVisibility(bool hasResults);
    // The panel goes for good (its window closes, the application quits): stops following the
    // modifier keys and cancels both searches. Showing it again makes it appear afresh.
    void disappear();
    const ResultActivationModeMonitor &modifierMonitor() const { return *modifierMonitor_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool handleKey(QKeyEvent *event);
    void activate(const SearchResult &result, ResultActivationMode mode);
    void applyTheme();
    void applyResults();
    void describeSearchOutcome();
    void applyDisplay();
    void reloadSetting(const QString &notificationName);
    void observeNotifications();

    ContentViewEnvironment environment_;
    std::unique_ptr<SearchController> controller_;
    std::unique_ptr<ResultActivation> activation_;
    ResultActivationModeMonitor *modifierMonitor_ = nullptr;
    NotificationCenter *center_;
    UserDefaults *defaults_;

    bool showSnippets_ = false;
    LauncherThemeID themeID_ = LauncherThemeID::graphite;
    bool useNativeAppIcons_ = false;
    bool showVersionNumber_ = true;
    bool showSearchScores_ = true;
    bool appeared_ = false;
    std::optional<bool> announcedHasResults_;
    QMetaObject::Connection quitConnection_;

    QWidget *searchBar_ = nullptr;
    QWidget *magnifier_ = nullptr;
    SearchTextField *field_ = nullptr;
    QWidget *activityIndicator_ = nullptr;
    QWidget *divider_ = nullptr;
    ResultListView *list_ = nullptr;
    QWidget *overlay_ = nullptr;
    // "No results", spoken when an answer finds nothing.
    SpokenNotice *outcome_ = nullptr;
    QList<NotificationCenter::ObserverToken> observers_;
};

} // namespace orvex
