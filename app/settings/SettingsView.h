#pragma once

#include "settings/SettingsEnvironment.h"
#include "settings/SettingsViewModel.h"

#include <QWidget>

class QStackedLayout;

namespace orvex {

class AppearanceSettingsSection;
class GlobalHotkeySettingsSection;
class NotionSettingsSection;
class RankingSettingsSection;
class SearchResultsSettingsSection;
class SettingsForm;
class SystemIntegrationSettingsSection;
class WindowSettingsSection;

// The settings window's content: the title and the sections in grouped forms, one column when the
// usable width (the view less its 16 px margins) is below 860 px, else two: the first sections in a left
// column min(max(0.36 × width, 340), 460) px wide and the appearance section beside it. It owns the view
// model whose state the sections show and edit.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    explicit SettingsView(SettingsEnvironment environment, QWidget *parent = nullptr);
    ~SettingsView() override;

    SettingsViewModel &model() { return *model_; }

    // The left column's width for a usable width, in the two-column layout.
    static int leftColumnWidth(int usableWidth);
    bool isWideLayout() const { return wide_; }
    int currentLeftColumnWidth() const;

    GlobalHotkeySettingsSection *globalHotkeySection() const { return globalHotkey_; }
    SearchResultsSettingsSection *searchResultsSection() const { return searchResults_; }
    RankingSettingsSection *rankingSection() const { return ranking_; }
    NotionSettingsSection *notionSection() const { return notion_; }
    WindowSettingsSection *windowSection() const { return window_; }
    SystemIntegrationSettingsSection *systemIntegrationSection() const { return systemIntegration_; }
    AppearanceSettingsSection *appearanceSection() const { return appearance_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    // No shortcut recording outlives the window's content.
    void hideEvent(QHideEvent *event) override;

private:
    void refresh();
    void arrangeSections(bool wide);

    SettingsEnvironment environment_;
    SettingsViewModel *model_;
    GlobalHotkeySettingsSection *globalHotkey_;
    SearchResultsSettingsSection *searchResults_;
    RankingSettingsSection *ranking_;
    NotionSettingsSection *notion_;
    WindowSettingsSection *window_;
    SystemIntegrationSettingsSection *systemIntegration_;
    AppearanceSettingsSection *appearance_;

    QStackedLayout *pages_;
    SettingsForm *compactForm_;
    QWidget *widePage_;
    SettingsForm *leftForm_;
    SettingsForm *rightForm_;
    bool wide_ = false;
    bool arranged_ = false;
};

} // namespace orvex
