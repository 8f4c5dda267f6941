#include "panel/ContentView.h"

#include "panel/ClipboardQueryMerge.h"
#include "panel/ContentViewStores.h"
#include "panel/LauncherThemeCatalog.h"
#include "panel/PanelHost.h"
#include "panel/PanelNotifications.h"
#include "panel/ResultActivationModeMonitor.h"
#include "panel/ResultListView.h"
#include "panel/SearchTextField.h"
#include "panel/SpokenNotice.h"
#include "panel/SymbolImages.h"
#include "platform/UserDefaults.h"
#include "search/LauncherNotifications.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

namespace orvex {

namespace {

QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

// The search bar's rounded fill.
class SearchBarBackground final : public QWidget {
public:
    explicit SearchBarBackground(QWidget *parent) : QWidget(parent) {}
    QColor fill;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 10, 10);
        painter.fillPath(path, fill);
    }
};

// The magnifier symbol at the start of the search bar.
class Magnifier final : public QWidget {
public:
    explicit Magnifier(QWidget *parent) : QWidget(parent) { setFixedSize(18, 18); }
    QColor tint;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.drawImage(QPoint(0, 0), SymbolImages::image(QStringLiteral("magnifyingglass"), size(), tint,
                                                            devicePixelRatioF()));
    }
};

// The spinning arc shown while a search runs (8 points from the field, 16 from the bar's end).
class ActivityIndicator final : public QWidget {
public:
    explicit ActivityIndicator(QWidget *parent) : QWidget(parent) {
        setFixedSize(8 + 16 + 16, 16);
        timer_.setInterval(40);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            angle_ = (angle_ + 30) % 360;
            update();
        });
    }
    QColor tint;

protected:
    void showEvent(QShowEvent *) override { timer_.start(); }
    void hideEvent(QHideEvent *) override { timer_.stop(); }
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(tint, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(8 + 1, 1, 14, 14), -angle_ * 16, 270 * 16);
    }

private:
    QTimer timer_;
    int angle_ = 0;
};

// The one-point line between the search bar and the list.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget *parent) : QWidget(parent) { setFixedHeight(1); }
    QColor colour;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), colour); }
};

// Drawn over everything: the panel's outline and the version footer. Lets the pointer through.
class PanelOverlay final : public QWidget {
public:
    explicit PanelOverlay(ContentView *view) : QWidget(view), view_(view) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const LauncherTheme theme = view_->theme();
        if (view_->shouldShowVersionFooter()) {
            painter.setFont(versionFont());
            painter.setPen(withOpacity(theme.unselectedSecondaryText, 0.55));
            painter.drawText(view_->versionFooterRect(),
                             Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine,
                             view_->versionFooterText());
        }
        painter.setPen(QPen(theme.border, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), ContentView::cornerRadius,
                                ContentView::cornerRadius);
    }

public:
    static QFont versionFont() {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(9);
        font.setWeight(QFont::Normal);
        return font;
    }

private:
    ContentView *view_;
};

QFont fieldFont() {
    QFont font = QApplication::font();
    font.setPixelSize(24);
    font.setWeight(QFont::Light);
    return font;
}

const QString showSnippetsKey = QStringLiteral("showSnippets");

} // namespace

ContentView::ContentView(Workspace &workspace, ContentViewEnvironment environment, QWidget *parent)
    : QWidget(parent), environment_(std::move(environment)) {
    center_ = environment_.search.notificationCenter ? environment_.search.notificationCenter
                                                     : &NotificationCenter::defaultCenter();
    defaults_ = environment_.search.defaults ? environment_.search.defaults : &UserDefaults::standard();
    SearchControllerEnvironment searchEnvironment = std::move(environment_.search);
    searchEnvironment.notificationCenter = center_;
    searchEnvironment.defaults = defaults_;
    controller_ = std::make_unique<SearchController>(std::move(searchEnvironment));
    ResultActivationEnvironment activationEnvironment = environment_.activation;
    activationEnvironment.notificationCenter = center_;
    activation_ =
        std::make_unique<ResultActivation>(*controller_, workspace, std::move(activationEnvironment));
    modifierMonitor_ = new ResultActivationModeMonitor(*center_, this);
    connect(modifierMonitor_, &ResultActivationModeMonitor::activeModifierModeChanged, this,
            &ContentView::applyDisplay);

    const ContentViewStores stores(*defaults_);
    showSnippets_ = defaults_->boolValue(showSnippetsKey).value_or(false);
    modifierMonitor_->refresh();
    themeID_ = stores.theme.load();
    useNativeAppIcons_ = stores.iconSettings.load(false);
    showVersionNumber_ = stores.versionVisibility.load(true);
    showSearchScores_ = stores.scoreVisibility.load(true);

    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *bar = new SearchBarBackground(this);
    searchBar_ = bar;
    auto *barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(14, 16, 0, 16);
    barRow->setSpacing(8);
    magnifier_ = new Magnifier(bar);
    field_ = new SearchTextField(*center_, bar);
    field_->setPlaceholderText(QStringLiteral("Search..."));
    field_->setAccessibleName(QStringLiteral("Search"));
    field_->setFont(fieldFont());
    field_->installEventFilter(this);
    activityIndicator_ = new ActivityIndicator(bar);
    activityIndicator_->hide();
    barRow->addWidget(magnifier_, 0, Qt::AlignVCenter);
    barRow->addWidget(field_, 1);
    barRow->addSpacing(16 - 8);
    barRow->addWidget(activityIndicator_, 0, Qt::AlignVCenter);
    auto *barFrame = new QVBoxLayout;
    barFrame->setContentsMargins(8, 8, 8, 8);
    barFrame->addWidget(bar);
    column->addLayout(barFrame);

    divider_ = new Divider(this);
    auto *dividerFrame = new QHBoxLayout;
    dividerFrame->setContentsMargins(8, 0, 8, 0);
    dividerFrame->addWidget(divider_);
    column->addLayout(dividerFrame);

    list_ = new ResultListView(this);
    if (environment_.icons)
        list_->setIcons(environment_.icons);
    list_->setClipOutline(this, cornerRadius);
    column->addWidget(list_, 1);
    column->addStretch(0);
    divider_->hide();
    list_->hide();

    outcome_ = new SpokenNotice(this);
    overlay_ = new PanelOverlay(this);
    overlay_->raise();

    connect(field_, &QLineEdit::textEdited, this,
            [this](const QString &text) { controller_->setQuery(text); });
    connect(controller_.get(), &SearchController::queryChanged, this, [this](const QString &query) {
        field_->setBoundText(query);
        overlay_->update();
    });
    connect(controller_.get(), &SearchController::resultsChanged, this, &ContentView::applyResults);
    connect(controller_.get(), &SearchController::selectedIndexChanged, this, &ContentView::applyDisplay);
    connect(controller_.get(), &SearchController::hoveredResultIdentityChanged, this,
            &ContentView::applyDisplay);
    connect(controller_.get(), &SearchController::isSearchingChanged, activityIndicator_,
            &QWidget::setVisible);
    connect(list_, &ResultListView::rowChosen, this, [this](int row) { controller_->setSelectedIndex(row); });
    connect(list_, &ResultListView::rowActivated, this, [this](int row) {
        // Return on that row: chosen, then opened as the selected row.
        if (row < 0 || row >= controller_->results().size())
            return;
        controller_->setSelectedIndex(row);
        activateSelectedResult(ResultActivationMode::open);
    });
    connect(list_, &ResultListView::rowClicked, this, [this](int row) {
        if (row < 0 || row >= controller_->results().size())
            return;
        const SearchResult result = controller_->results().at(row);
        activate(result, ResultActivation::currentActivationModeForAction(
                             result, QGuiApplication::queryKeyboardModifiers()));
    });
    connect(list_, &ResultListView::rowHoverEntered, this,
            [this](const QString &identity) { controller_->setHoveredResultIdentity(identity); });
    connect(list_, &ResultListView::rowHoverLeft, this, [this](const QString &identity) {
        // The pointer may already be on another row; only our own hover is cleared.
        if (controller_->hoveredResultIdentity() == identity)
            controller_->setHoveredResultIdentity(std::nullopt);
    });

    observeNotifications();
    applyTheme();
    applyDisplay();
}

ContentView::~ContentView() {
    for (const auto token : observers_)
        center_->removeObserver(token);
    disappear();
}

void ContentView::disappear() {
    modifierMonitor_->remove();
    controller_->cancelSearches();
    appeared_ = false;
}

bool ContentView::isShowingActivity() const {
    return activityIndicator_->isVisibleTo(const_cast<ContentView *>(this));
}

ResultActivationMode ContentView::activeModifierMode() const {
    return modifierMonitor_->activeModifierMode();
}

void ContentView::activate(const SearchResult &result, ResultActivationMode mode) {
    if (environment_.activate)
        environment_.activate(result, mode);
    else
        activation_->activateResult(result, mode);
}

LauncherTheme ContentView::theme() const {
    return LauncherThemeCatalog::theme(themeID_);
}

void ContentView::observeNotifications() {
    // The search model observes the notifications that concern searching and the session, and the
    // modifier monitor "WindowAppeared", themselves.
    for (const QLatin1StringView name :
         {NotificationName::launcherShowSnippetsChanged, NotificationName::launcherThemeChanged,
          NotificationName::launcherIconSettingsChanged, NotificationName::launcherVersionVisibilityChanged,
          NotificationName::launcherScoreVisibilityChanged}) {
        const QString notification(name);
        observers_.append(center_->addObserver(
            notification, [this, notification](const Notification &) { reloadSetting(notification); }));
    }
}

void ContentView::reloadSetting(const QString &name) {
    const ContentViewStores stores(*defaults_);
    if (name == NotificationName::launcherShowSnippetsChanged) {
        showSnippets_ = defaults_->boolValue(showSnippetsKey).value_or(false);
    } else if (name == NotificationName::launcherThemeChanged) {
        themeID_ = stores.theme.load();
        applyTheme();
    } else if (name == NotificationName::launcherIconSettingsChanged) {
        useNativeAppIcons_ = stores.iconSettings.load(false);
    } else if (name == NotificationName::launcherVersionVisibilityChanged) {
        showVersionNumber_ = stores.versionVisibility.load(true);
        overlay_->update();
    } else if (name == NotificationName::launcherScoreVisibilityChanged) {
        showSearchScores_ = stores.scoreVisibility.load(true);
    }
    applyDisplay();
}

void ContentView::applyTheme() {
    const LauncherTheme theme = this->theme();
    static_cast<SearchBarBackground *>(searchBar_)->fill = theme.searchBarBackground;
    static_cast<Magnifier *>(magnifier_)->tint = withOpacity(theme.uiAccent, 0.9);
    static_cast<ActivityIndicator *>(activityIndicator_)->tint = theme.uiAccent;
    static_cast<Divider *>(divider_)->colour = theme.divider;
    field_->setTextColor(theme.unselectedPrimaryText);
    field_->setPlaceholderColor(withOpacity(theme.unselectedSecondaryText, 0.8));
    field_->setAccentColor(theme.uiAccent);
    update();
}

void ContentView::applyDisplay() {
    ResultListDisplay display;
    display.theme = theme();
    display.showSnippets = showSnippets_;
    display.useNativeAppIcons = useNativeAppIcons_;
    display.showScore = showSearchScores_;
    display.activeModifierMode = modifierMonitor_->activeModifierMode();
    display.selectedIndex = controller_->selectedIndex();
    display.hoveredResultIdentity = controller_->hoveredResultIdentity();
    list_->setDisplay(display);
    overlay_->update();
}

void ContentView::applyResults() {
    const bool hasResults = !controller_->results().isEmpty();
    const bool hadResults = list_->isVisibleTo(this);
    list_->setRows(controller_->results());
    divider_->setVisible(hasResults);
    list_->setVisible(hasResults);
    applyDisplay();
    // The screen reader was on a row that is gone: back to the field, before the outcome is spoken, so
    // that presenting the field does not cut it short.
    if (hadResults && !hasResults && field_->hasFocus()) {
        QAccessibleEvent focus(field_, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
    describeSearchOutcome();
    if (appeared_ && announcedHasResults_ != hasResults)
        notifyResultsVisibility(hasResults);
}

void ContentView::describeSearchOutcome() {
    // A screen reader's user hears once that an answer found nothing; it stays said while the list stays
    // empty for the next keys (their previews and answers), and rows or an empty field take it back.
    const SearchState &state = controller_->state();
    const QString normalized = normalizedSearchQuery(state.query);
    const bool nothingFound = state.results.isEmpty() && !normalized.isEmpty() &&
                              (state.answeredQuery == normalized || !outcome_->sentence().isEmpty());
    outcome_->say(nothingFound ? QStringLiteral("No results") : QString());
}

QString ContentView::searchOutcome() const {
    return outcome_->sentence();
}

void ContentView::notifyResultsVisibility(bool hasResults) {
    announcedHasResults_ = hasResults;
    postResultsVisibilityChanged(hasResults, *center_);
}

bool ContentView::shouldShowVersionFooter() const {
    return showVersionNumber_ && controller_->query().isEmpty() && controller_->results().isEmpty();
}

QString ContentView::versionFooterText() const {
    // Read when shown: the build time is the program file's, which a rebuild changes.
    return AppVersionDisplay::label(environment_.version.value_or(AppVersionInfo::current()),
                                    QTimeZone::systemTimeZone());
}

QRect ContentView::versionFooterRect() const {
    return rect().adjusted(0, 0, -16, -8);
}

void ContentView::moveSelection(bool up) {
    controller_->moveSelection(up);
}

void ContentView::pasteClipboardIntoQuery() {
    const QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    const QString text = clipboard->text(QClipboard::Clipboard).trimmed();
    if (text.isEmpty())
        return;
    controller_->setQuery(mergedQueryWithClipboardText(controller_->query(), text));
}

void ContentView::activateSelectedResult(ResultActivationMode mode) {
    if (const std::optional<SearchResult> selected = controller_->selectedResult())
        activate(*selected, mode);
}

void ContentView::hidePanel() {
    hideLauncherPanel(*center_);
}

bool ContentView::handleKey(QKeyEvent *event) {
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (event->key()) {
    case Qt::Key_Escape:
        if (modifiers == Qt::NoModifier) {
            hidePanel();
            return true;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (modifiers == Qt::NoModifier) {
            moveSelection(event->key() == Qt::Key_Up);
            return true;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers == Qt::NoModifier || modifiers == Qt::ControlModifier) {
            activateSelectedResult(modifiers == Qt::ControlModifier
                                       ? ResultActivationMode::revealInFileBrowser
                                       : ResultActivationMode::open);
            return true;
        }
        break;
    case Qt::Key_V:
        if (modifiers == Qt::ControlModifier) {
            pasteClipboardIntoQuery();
            return true;
        }
        break;
    case Qt::Key_Comma:
        // What the status menu's "Settings…" shows it does.
        if (modifiers == Qt::ControlModifier) {
            if (PanelHost *host = PanelHost::current())
                host->showSettingsWindow();
            return true;
        }
        break;
    case Qt::Key_Q:
        if (modifiers == Qt::ControlModifier) {
            if (environment_.terminate)
                environment_.terminate();
            else
                QCoreApplication::quit();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

bool ContentView::eventFilter(QObject *watched, QEvent *event) {
    // Hiding the panel keeps it (and its searches) for the next showing; closing its window does not.
    // Whether the window takes the close is known once it has handled it.
    if (watched == window() && watched != this && event->type() == QEvent::Close)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!window()->isVisible())
                    disappear();
            },
            Qt::QueuedConnection);
    // The line edit would take Up, Down, Return and Ctrl+V for itself: they are the panel's keys.
    if (watched == field_ && event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent *>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

void ContentView::keyPressEvent(QKeyEvent *event) {
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

void ContentView::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        disappear();
}

void ContentView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    if (window() != this)
        window()->installEventFilter(this);
    if (!quitConnection_)
        quitConnection_ = connect(qApp, &QCoreApplication::aboutToQuit, this, &ContentView::disappear);
    modifierMonitor_->install();
    notifyResultsVisibility(!controller_->results().isEmpty());
    controller_->loadPersistedHistory();
    applyDisplay();
}

void ContentView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    overlay_->setGeometry(rect());
    overlay_->raise();
}

void ContentView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const LauncherTheme theme = this->theme();
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    const QLinearGradient fill = theme.backgroundGradient.linearGradient(QRectF(rect()));
    painter.fillPath(outline, fill);
}

} // namespace orvex
