#pragma once

#include "settings/KeyboardAccess.h"
#include "settings/SettingsBinding.h"

#include "search/LauncherSettingsStores.h"
#include "sources/TranslationLookup.h"

#include <QHash>
#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QToolButton;
class QVBoxLayout;

namespace orvex {

using TranslationEngineAvailabilityTable = QHash<TranslationEngineID, TranslationEngineAvailability>;

// The translation block of the search-results section: the trigger and language fields with their help
// lines, and one row per engine in priority order (checkbox, up and down arrows, availability line). It
// edits its four bindings only; the engine rows keep the last enabled engine on, leave unavailable
// engines unchecked and unmovable, and keep moves inside the list. `commitTrigger`/`commitLanguages` run
// when their field is left or Return is pressed.
class TranslationSettingsControlsView : public QWidget {
    Q_OBJECT

public:
    struct Bindings {
        Binding<QString> translationTrigger;
        Binding<QString> translationLanguageCodesText;
        Binding<TranslationEngineIDs> translationEngineOrder;
        Binding<TranslationEngineIDSet> translationEnabledEngineIDs;
        std::function<void()> commitTrigger;
        std::function<void()> commitLanguages;
    };

    // `availability` is asked afresh on every refresh.
    TranslationSettingsControlsView(Bindings bindings,
                                    std::function<TranslationEngineAvailabilityTable()> availability,
                                    QWidget *parent = nullptr);

    // Shows the bindings' current values.
    void refresh();

    static QString engineLabel(TranslationEngineID engine);
    // The help line under the trigger field, with the trigger exactly as typed.
    static QString triggerHelpText(const QString &trigger);
    // The enabled set after the user sets an engine's checkbox to `checked`; nothing when the click
    // changes nothing (an unavailable engine, or the last member of the set).
    static std::optional<TranslationEngineIDSet>
    enabledEnginesAfterToggle(const TranslationEngineIDSet &enabled, TranslationEngineID engine, bool checked,
                              bool isAvailable);
    // The order with the engine at `index` moved by `offset`; nothing when either position is outside the
    // list or they are equal.
    static std::optional<TranslationEngineIDs> orderAfterMove(const TranslationEngineIDs &order,
                                                              qsizetype index, qsizetype offset);

    QLineEdit *triggerField() const { return triggerField_; }
    QLabel *triggerHelp() const { return triggerHelp_; }
    QLineEdit *languagesField() const { return languagesField_; }

    // The widgets of one engine's row; null pointers when the engine has no row.
    struct EngineRow {
        TranslationEngineID engine;
        QWidget *row = nullptr;
        // Unavailable engines keep their Tab stop, exposed as disabled with the reason as description.
        KeyboardAccess::OptionalCheckBox *checkbox = nullptr;
        QToolButton *upButton = nullptr;
        QToolButton *downButton = nullptr;
        QLabel *message = nullptr;
    };
    EngineRow engineRow(TranslationEngineID engine) const;
    // The engines in the order their rows stand.
    TranslationEngineIDs engineRowOrder() const;

private:
    // One row per engine of `order`, in that order on screen and in the Tab order.
    void syncEngineRows(const TranslationEngineIDs &order);
    EngineRow makeEngineRow(TranslationEngineID engine);
    void engineToggled(TranslationEngineID engine, bool checked);
    void moveEngine(qsizetype index, qsizetype offset);

    Bindings bindings_;
    std::function<TranslationEngineAvailabilityTable()> availability_;
    QLineEdit *triggerField_;
    QLabel *triggerHelp_;
    QLineEdit *languagesField_;
    QVBoxLayout *engineRowsLayout_;
    QList<EngineRow> engineRows_;
};

} // namespace orvex
