#pragma once

#include "settings/SettingsBinding.h"
#include "settings/SettingsFormSection.h"
#include "settings/TranslationSettingsControlsView.h"

#include <utility>

class QCheckBox;
class QGroupBox;
class QLabel;

namespace orvex {

class SettingsStepper;

// The "Search Results" section: snippets and scores toggles, and the "Advanced" group with the debounce
// stepper (10 ms steps), the session stepper (1 s steps), their help lines and the translation block.
class SearchResultsSettingsSection : public SettingsFormSection {
    Q_OBJECT

public:
    struct Bindings {
        Binding<bool> showSnippets;
        Binding<qint64> searchDebounceMilliseconds;
        std::pair<qint64, qint64> debounceRange;
        Binding<qint64> sessionPersistenceSeconds;
        std::pair<qint64, qint64> sessionPersistenceRange;
        Binding<bool> showSearchScores;
        TranslationSettingsControlsView::Bindings translation;
    };

    SearchResultsSettingsSection(Bindings bindings,
                                 std::function<TranslationEngineAvailabilityTable()> translationAvailability,
                                 QWidget *parent = nullptr);

    void refresh();

    QCheckBox *snippetsToggle() const { return snippetsToggle_; }
    QCheckBox *scoresToggle() const { return scoresToggle_; }
    QGroupBox *advancedGroup() const { return advanced_; }
    SettingsStepper *debounceStepper() const { return debounceStepper_; }
    QLabel *debounceValue() const { return debounceValue_; }
    SettingsStepper *sessionStepper() const { return sessionStepper_; }
    QLabel *sessionValue() const { return sessionValue_; }
    TranslationSettingsControlsView *translationControls() const { return translation_; }

private:
    Bindings bindings_;
    QCheckBox *snippetsToggle_;
    QCheckBox *scoresToggle_;
    QGroupBox *advanced_;
    SettingsStepper *debounceStepper_;
    QLabel *debounceValue_;
    SettingsStepper *sessionStepper_;
    QLabel *sessionValue_;
    TranslationSettingsControlsView *translation_;
};

} // namespace orvex
