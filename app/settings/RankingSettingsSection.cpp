#include "settings/RankingSettingsSection.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStepper.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsSymbols.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvex {

RankingSettingsSection::RankingSettingsSection(Bindings bindings, QWidget *parent)
    : SettingsFormSection(QStringLiteral("Ranking"), parent), bindings_(std::move(bindings)) {
    auto *title = new QLabel(QStringLiteral("File Type Priority"), this);
    title->setTextFormat(Qt::PlainText);
    title->setFont(SettingsStyle::font(title->font(), 12, QFont::DemiBold));
    addRow(title);
    addRow(SettingsStyle::makeHelpText(
        QStringLiteral("More specific suffixes win when multiple rules match the same file."), this));
    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(6);
    addRow(rowsLayout_);
    validation_ = SettingsStyle::makeHelpText(QString(), this);
    addRow(validation_);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    addButton_ = new QPushButton(QStringLiteral("Add Rule"), this);
    saveButton_ = new QPushButton(QStringLiteral("Save"), this);
    resetButton_ = new QPushButton(QStringLiteral("Reset"), this);
    // Which rules the two buttons act on, for screen readers.
    saveButton_->setAccessibleName(QStringLiteral("Save rules"));
    resetButton_->setAccessibleName(QStringLiteral("Reset rules to defaults"));
    for (QPushButton *button : {addButton_, saveButton_, resetButton_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    addRow(buttons);

    connect(addButton_, &QPushButton::clicked, this, [this] { bindings_.onAddExtensionBoostRule(); });
    connect(saveButton_, &QPushButton::clicked, this, [this] { bindings_.onSaveExtensionBoostRules(); });
    connect(resetButton_, &QPushButton::clicked, this, [this] { bindings_.onResetExtensionBoostRules(); });
    refresh();
}

namespace {

// Names change as the user types; screen readers hear of a change only when there is one.
void setAccessibleNameIfChanged(QWidget *widget, const QString &name) {
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

} // namespace

QString RankingSettingsSection::boostValueText(qint64 boost) {
    return boost >= 1 ? QStringLiteral("+%1").arg(boost) : QString::number(boost);
}

void RankingSettingsSection::editRule(const QUuid &id,
                                      const std::function<void(ExtensionBoostRule &)> &change) {
    ExtensionBoostRules rules = bindings_.extensionBoostRules.value();
    for (ExtensionBoostRule &rule : rules)
        if (rule.id == id)
            change(rule);
    bindings_.extensionBoostRules(rules);
}

void RankingSettingsSection::rebuildRows(const ExtensionBoostRules &rules) {
    // Later: the delete press that changed the rows may still be running inside one of them.
    for (const RuleRow &row : ruleRows_) {
        rowsLayout_->removeWidget(row.row);
        row.suffixField->removeEventFilter(this);
        row.row->hide();
        row.row->deleteLater();
    }
    ruleRows_.clear();
    const QColor secondary = SettingsStyle::secondaryColor(palette());
    for (const ExtensionBoostRule &rule : rules) {
        RuleRow row{rule.id};
        row.row = new QWidget(this);
        auto *layout = new QHBoxLayout(row.row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        row.suffixField = new QLineEdit(row.row);
        row.suffixField->setPlaceholderText(QStringLiteral(".pdf"));
        row.suffixField->setFont(SettingsStyle::font(row.suffixField->font(), 12));
        row.suffixField->setAccessibleName(QStringLiteral("Suffix"));
        row.suffixField->installEventFilter(this);
        layout->addWidget(row.suffixField, 1);
        row.boostText = new QLabel(row.row);
        row.boostText->setFont(SettingsStyle::font(row.boostText->font(), 12));
        row.boostText->setFixedWidth(38);
        row.boostText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(row.boostText);
        row.stepper =
            new SettingsStepper(bindings_.boostRange.first, bindings_.boostRange.second, 10, row.row);
        layout->addWidget(row.stepper);
        row.deleteButton = new KeyboardAccess::FocusRingToolButton(row.row);
        row.deleteButton->setAutoRaise(true);
        row.deleteButton->setIcon(SettingsSymbols::icon(QStringLiteral("trash"), secondary, 14));
        row.deleteButton->setToolTip(QStringLiteral("Delete rule"));
        layout->addWidget(row.deleteButton);
        rowsLayout_->addWidget(row.row);

        const QUuid id = rule.id;
        connect(row.suffixField, &QLineEdit::textEdited, this, [this, id](const QString &text) {
            editRule(id, [&](ExtensionBoostRule &r) { r.suffix = text; });
        });
        connect(row.stepper, &SettingsStepper::valueStepped, this,
                [this, id](qint64 boost) { editRule(id, [&](ExtensionBoostRule &r) { r.boost = boost; }); });
        connect(row.deleteButton, &QToolButton::clicked, this,
                [this, id] { bindings_.onRemoveExtensionBoostRule(id); });
        ruleRows_.append(row);
    }
}

void RankingSettingsSection::refresh() {
    const ExtensionBoostRules rules = bindings_.extensionBoostRules.value();
    bool sameRows = ruleRows_.size() == rules.size();
    for (qsizetype i = 0; sameRows && i < rules.size(); ++i)
        sameRows = ruleRows_[i].id == rules[i].id;
    if (!sameRows)
        rebuildRows(rules);
    const std::optional<QUuid> focused = bindings_.focusedExtensionBoostRuleID.value();
    for (qsizetype i = 0; i < rules.size(); ++i) {
        const RuleRow &row = ruleRows_[i];
        if (row.suffixField->text() != rules[i].suffix)
            row.suffixField->setText(rules[i].suffix);
        const QString boost = boostValueText(rules[i].boost);
        row.boostText->setText(boost);
        row.boostText->setAccessibleName(QStringLiteral("Boost ") + boost);
        row.stepper->setValue(rules[i].boost);
        // Seven rows of the same controls: each says which rule it belongs to.
        const QString suffix = rules[i].suffix.trimmed();
        setAccessibleNameIfChanged(row.stepper,
                                   QStringLiteral("Boost for ") +
                                       (suffix.isEmpty() ? QStringLiteral("rule without suffix") : suffix));
        row.stepper->setValueDescription(boost);
        setAccessibleNameIfChanged(row.deleteButton,
                                   QStringLiteral("Delete rule ") +
                                       (suffix.isEmpty() ? QStringLiteral("without suffix") : suffix));
        if (const QString description =
                QStringLiteral("Files ending in this suffix get boost %1.").arg(boost);
            row.suffixField->accessibleDescription() != description)
            row.suffixField->setAccessibleDescription(description);
        if (focused == row.id && !row.suffixField->hasFocus())
            row.suffixField->setFocus(Qt::OtherFocusReason);
    }
    const std::optional<QString> message = bindings_.validationMessage();
    validation_->setVisible(message.has_value());
    validation_->setText(message.value_or(QString()));
    saveButton_->setEnabled(bindings_.canSaveExtensionBoostRules());
}

bool RankingSettingsSection::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        for (const RuleRow &row : ruleRows_) {
            if (row.suffixField != watched)
                continue;
            if (event->type() == QEvent::FocusIn) {
                bindings_.focusedExtensionBoostRuleID(row.id);
            } else {
                // Leaving the window keeps the field focused for when the user comes back.
                const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
                if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                    bindings_.focusedExtensionBoostRuleID.value() == row.id)
                    bindings_.focusedExtensionBoostRuleID(std::nullopt);
            }
        }
    }
    return SettingsFormSection::eventFilter(watched, event);
}

} // namespace orvex
