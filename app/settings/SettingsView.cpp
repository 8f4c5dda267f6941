#include "settings/SettingsView.h"

#include "settings/AppearanceSettingsSection.h"
#include "settings/GlobalHotkeySettingsSection.h"
#include "settings/NotionSettingsSection.h"
#include "settings/RankingSettingsSection.h"
#include "settings/SearchResultsSettingsSection.h"
#include "settings/SettingsFormSection.h"
#include "settings/SettingsStyle.h"
#include "settings/SystemIntegrationSettingsSection.h"
#include "settings/WindowSettingsSection.h"

#include "hotkey-core/ShortcutRecorderController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr int outerPadding = 16;
constexpr int wideLayoutMinimumWidth = 860;

} // namespace

SettingsView::SettingsView(SettingsEnvironment environment, QWidget *parent)
    : QWidget(parent), environment_(std::move(environment)),
      model_(new SettingsViewModel(environment_.stores, environment_.launchAtLoginManager,
                                   *environment_.center, this)) {
    setMinimumSize(460, 420);
    SettingsViewModel *m = model_;

    globalHotkey_ = new GlobalHotkeySettingsSection(
        GlobalHotkeySettingsSection::Bindings{
            .hotKeyEnabled = {[m] { return m->hotKeyEnabled(); },
                              [m](const bool &v) { m->setHotKeyEnabled(v); }},
            .shortcutRecorder = &m->shortcutRecorder(),
            .shortcutRecorderDisplayText = [m] { return m->shortcutRecorderDisplayText(); },
            .currentHotKeySettings = [m] { return m->currentHotKeySettings(); },
            .registrationMessage = [m] { return m->registrationMessage(); },
            .onBeginShortcutRecording = [m] { m->beginShortcutRecording(); },
            .onResetShortcutToDefault = [m] { m->resetShortcutToDefault(); },
        },
        this);
    m->setHotKeyFailureReason(environment_.hotKeyRegistrationFailureReason);
    if (environment_.hotKeyRecordingChanged)
        connect(&m->shortcutRecorder(), &ShortcutRecorderController::isRecordingChanged, this,
                [callback = environment_.hotKeyRecordingChanged](bool recording) { callback(recording); });

    searchResults_ = new SearchResultsSettingsSection(
        SearchResultsSettingsSection::Bindings{
            .showSnippets = {[m] { return m->showSnippets(); },
                             [m](const bool &v) { m->setShowSnippets(v); }},
            .searchDebounceMilliseconds = {[m] { return m->searchDebounceMilliseconds(); },
                                           [m](const qint64 &v) { m->setSearchDebounceMilliseconds(v); }},
            .debounceRange = {environment_.stores.searchDebounceSettingsStore.minimumMilliseconds,
                              environment_.stores.searchDebounceSettingsStore.maximumMilliseconds},
            .sessionPersistenceSeconds = {[m] { return m->sessionPersistenceSeconds(); },
                                          [m](const qint64 &v) { m->setSessionPersistenceSeconds(v); }},
            .sessionPersistenceRange = {environment_.stores.sessionPersistenceSettingsStore.minimumSeconds,
                                        environment_.stores.sessionPersistenceSettingsStore.maximumSeconds},
            .showSearchScores = {[m] { return m->showSearchScores(); },
                                 [m](const bool &v) { m->setShowSearchScores(v); }},
            .translation = {
                .translationTrigger = {[m] { return m->translationTrigger(); },
                                       [m](const QString &v) { m->setTranslationTrigger(v); }},
                .translationLanguageCodesText = {[m] { return m->translationLanguageCodesText(); },
                                                 [m](const QString &v) {
                                                     m->setTranslationLanguageCodesText(v);
                                                 }},
                .translationEngineOrder = {[m] { return m->translationEngineOrder(); },
                                           [m](const TranslationEngineIDs &v) {
                                               m->setTranslationEngineOrder(v);
                                           }},
                .translationEnabledEngineIDs = {[m] { return m->translationEnabledEngineIDs(); },
                                                [m](const TranslationEngineIDSet &v) {
                                                    m->setTranslationEnabledEngineIDs(v);
                                                }},
                .commitTrigger = [m] { m->commitTranslationTrigger(); },
                .commitLanguages = [m] { m->commitTranslationLanguageCodesText(); },
            },
        },
        environment_.translationAvailability, this);

    if (environment_.observeTranslationAvailability)
        environment_.observeTranslationAvailability(this, [this] { searchResults_->refresh(); });

    const SearchRankingSettingsStore &rankingStore = environment_.stores.searchRankingSettingsStore;
    ranking_ = new RankingSettingsSection(
        RankingSettingsSection::Bindings{
            .extensionBoostRules = {[m] { return m->extensionBoostRules(); },
                                    [m](const ExtensionBoostRules &v) { m->setExtensionBoostRules(v); }},
            .focusedExtensionBoostRuleID = {[m] { return m->focusedExtensionBoostRuleID(); },
                                            [m](const std::optional<QUuid> &v) {
                                                m->setFocusedExtensionBoostRuleID(v);
                                            }},
            .boostRange = {rankingStore.minimumBoost, rankingStore.maximumBoost},
            .validationMessage = [m] { return m->rankingValidationMessage(); },
            .canSaveExtensionBoostRules = [m] { return m->canSaveRankingSettings(); },
            .onAddExtensionBoostRule = [m] { m->addExtensionBoostRule(); },
            .onRemoveExtensionBoostRule = [m](const QUuid &id) { m->removeExtensionBoostRule(id); },
            .onSaveExtensionBoostRules = [m] { m->persistRankingSettings(); },
            .onResetExtensionBoostRules = [m] { m->resetExtensionBoostRules(); },
        },
        this);

    notion_ = new NotionSettingsSection(environment_.notionStore, environment_.notionConnection,
                                        *environment_.center, this);

    window_ = new WindowSettingsSection(
        WindowSettingsSection::Bindings{
            .snapWindowToGrid = {[m] { return m->snapWindowToGrid(); },
                                 [m](const bool &v) { m->setSnapWindowToGrid(v); }},
            .showMenuBarIcon = {[m] { return m->showMenuBarIcon(); },
                                [m](const bool &v) { m->setShowMenuBarIcon(v); }},
            .showVersionNumber = {[m] { return m->showVersionNumber(); },
                                  [m](const bool &v) { m->setShowVersionNumber(v); }},
            .isMenuBarIconVisible = [m] { return m->showMenuBarIcon(); },
        },
        this);

    systemIntegration_ = new SystemIntegrationSettingsSection(
        SystemIntegrationSettingsSection::Bindings{
            .runAtLoginEnabled = {[m] { return m->runAtLoginEnabled(); },
                                  [m](const bool &v) { m->updateRunAtLoginPreference(v); }},
            .runAtLoginMessage = [m] { return m->runAtLoginMessage(); },
        },
        this);

    appearance_ = new AppearanceSettingsSection(
        AppearanceSettingsSection::Bindings{
            .launcherThemeID = {[m] { return m->launcherThemeID(); },
                                [m](const LauncherThemeID &v) { m->setLauncherThemeID(v); }},
            .useNativeAppIcons = {[m] { return m->useNativeAppIcons(); },
                                  [m](const bool &v) { m->setUseNativeAppIcons(v); }},
        },
        this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(outerPadding, outerPadding, outerPadding, outerPadding);
    layout->setSpacing(12);
    auto *title = new QLabel(QStringLiteral("Launcher Settings"), this);
    title->setFont(SettingsStyle::font(title->font(), 20, QFont::DemiBold));
    layout->addWidget(title);

    auto *pagesHost = new QWidget(this);
    pages_ = new QStackedLayout(pagesHost);
    compactForm_ = new SettingsForm(pagesHost);
    pages_->addWidget(compactForm_);
    widePage_ = new QWidget(pagesHost);
    auto *columns = new QHBoxLayout(widePage_);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(16);
    leftForm_ = new SettingsForm(widePage_);
    rightForm_ = new SettingsForm(widePage_);
    rightForm_->setMinimumWidth(420);
    compactForm_->setScrollAreaName(QStringLiteral("Settings"));
    leftForm_->setScrollAreaName(QStringLiteral("General settings"));
    rightForm_->setScrollAreaName(QStringLiteral("Appearance settings"));
    columns->addWidget(leftForm_);
    columns->addWidget(rightForm_, 1);
    pages_->addWidget(widePage_);
    layout->addWidget(pagesHost, 1);

    arrangeSections(false);
    connect(model_, &SettingsViewModel::stateChanged, this, &SettingsView::refresh);
}

SettingsView::~SettingsView() {
    // Closing the window below still ends the edit in a focused field, and the model's answer must not
    // reach this half-destroyed view.
    disconnect(model_, nullptr, this, nullptr);
}

int SettingsView::leftColumnWidth(int usableWidth) {
    return static_cast<int>(std::lround(std::min(std::max(0.36 * usableWidth, 340.0), 460.0)));
}

int SettingsView::currentLeftColumnWidth() const {
    return leftForm_->width();
}

void SettingsView::arrangeSections(bool wide) {
    if (arranged_ && wide == wide_)
        return;
    arranged_ = true;
    wide_ = wide;
    compactForm_->releaseSections();
    leftForm_->releaseSections();
    rightForm_->releaseSections();
    const QList<SettingsFormSection *> leading = {globalHotkey_, searchResults_, ranking_,
                                                  notion_,       window_,        systemIntegration_};
    SettingsForm *first = wide ? leftForm_ : compactForm_;
    for (SettingsFormSection *section : leading)
        first->addSection(section);
    (wide ? rightForm_ : compactForm_)->addSection(appearance_, 1);
    pages_->setCurrentWidget(wide ? widePage_ : static_cast<QWidget *>(compactForm_));
}

void SettingsView::resizeEvent(QResizeEvent *event) {
    const int usableWidth = event->size().width() - 2 * outerPadding;
    const bool wide = usableWidth >= wideLayoutMinimumWidth;
    if (wide)
        leftForm_->setFixedWidth(leftColumnWidth(usableWidth));
    arrangeSections(wide);
    QWidget::resizeEvent(event);
}

void SettingsView::hideEvent(QHideEvent *event) {
    model_->viewDisappeared();
    QWidget::hideEvent(event);
}

void SettingsView::refresh() {
    globalHotkey_->refresh();
    searchResults_->refresh();
    ranking_->refresh();
    window_->refresh();
    systemIntegration_->refresh();
    appearance_->refresh();
}

} // namespace orvex
