#include "settings/SettingsView.h"

#include "settings/NotionSettingsSection.h"
#include "settings/RankingSettingsSection.h"
#include "settings/SearchResultsSettingsSection.h"
#include "settings/SettingsFormSection.h"
#include "settings/SettingsStyle.h"
#include "settings/WindowSettingsSection.h"

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
      model_(new SettingsViewModel(environment_.stores, *environment_.center, this)) {
    setMinimumSize(460, 420);
    SettingsViewModel *m = model_;

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
    columns->addWidget(leftForm_);
    columns->addWidget(rightForm_, 1);
    pages_->addWidget(widePage_);
    layout->addWidget(pagesHost, 1);

    arrangeSections(false);
    connect(model_, &SettingsViewModel::stateChanged, this, &SettingsView::refresh);
}

SettingsView::~SettingsView() = default;

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
    const QList<SettingsFormSection *> leading = {searchResults_, ranking_, notion_, window_};
    SettingsForm *first = wide ? leftForm_ : compactForm_;
    for (SettingsFormSection *section : leading)
        first->addSection(section);
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

void SettingsView::refresh() {
    searchResults_->refresh();
    ranking_->refresh();
    window_->refresh();
}

} // namespace orvex
