#pragma once

#include "settings/SettingsBinding.h"
#include "settings/SettingsFormSection.h"

#include "search/SearchRankingSettings.h"

#include <QList>
#include <QUuid>

#include <functional>
#include <optional>
#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace orvex {

class SettingsStepper;

namespace KeyboardAccess {
class AccessibleLabel;
}

// The "Ranking" section: one row per extension boost rule (suffix field, boost text, stepper in steps of
// 10, delete button), the validation message, and Add Rule, Save and Reset. Typing and stepping change
// only the bound copy; the actions decide what is stored.
class RankingSettingsSection : public SettingsFormSection {
    Q_OBJECT

public:
    struct Bindings {
        Binding<ExtensionBoostRules> extensionBoostRules;
        Binding<std::optional<QUuid>> focusedExtensionBoostRuleID;
        std::pair<qint64, qint64> boostRange;
        std::function<std::optional<QString>()> validationMessage;
        std::function<bool()> canSaveExtensionBoostRules;
        std::function<void()> onAddExtensionBoostRule;
        std::function<void(const QUuid &)> onRemoveExtensionBoostRule;
        std::function<void()> onSaveExtensionBoostRules;
        std::function<void()> onResetExtensionBoostRules;
    };

    explicit RankingSettingsSection(Bindings bindings, QWidget *parent = nullptr);

    void refresh();

    // "+40" for 1 and above; 0 and negative values as plain numbers.
    static QString boostValueText(qint64 boost);

    struct RuleRow {
        QUuid id;
        QWidget *row = nullptr;
        QLineEdit *suffixField = nullptr;
        QLabel *boostText = nullptr;
        SettingsStepper *stepper = nullptr;
        QToolButton *deleteButton = nullptr;
    };
    const QList<RuleRow> &ruleRows() const { return ruleRows_; }
    KeyboardAccess::AccessibleLabel *validationLabel() const { return validation_; }
    QPushButton *addButton() const { return addButton_; }
    QPushButton *saveButton() const { return saveButton_; }
    QPushButton *resetButton() const { return resetButton_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Rows for the rules, kept for rules that stay (so that deleting one touches no other row), made for
    // new ones, in the rules' order before Add Rule in the Tab order.
    void syncRows(const ExtensionBoostRules &rules);
    RuleRow makeRow(const ExtensionBoostRule &rule);
    void removeRow(const RuleRow &row);
    void editRule(const QUuid &id, const std::function<void(ExtensionBoostRule &)> &change);

    Bindings bindings_;
    QVBoxLayout *rowsLayout_;
    QList<RuleRow> ruleRows_;
    KeyboardAccess::AccessibleLabel *validation_;
    QPushButton *addButton_;
    QPushButton *saveButton_;
    QPushButton *resetButton_;
};

} // namespace orvex
