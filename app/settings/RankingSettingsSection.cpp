#include "settings/RankingSettingsSection.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStepper.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsSymbols.h"

#include <QApplication>
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
    auto *title =
        new KeyboardAccess::AccessibleLabel(QAccessible::Heading, QStringLiteral("File Type Priority"), this);
    title->setTextFormat(Qt::PlainText);
    title->setFont(SettingsStyle::font(title->font(), 12, QFont::DemiBold));
    addRow(title);
    addRow(SettingsStyle::makeHelpText(
        QStringLiteral("More specific suffixes win when multiple rules match the same file."), this));
    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(6);
    addRow(rowsLayout_);
    // Why Save is off, spoken as it appears.
    validation_ = SettingsStyle::makeHelpText(QString(), this, QAccessible::Notification);
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

RankingSettingsSection::RuleRow RankingSettingsSection::makeRow(const ExtensionBoostRule &rule) {
    const QColor secondary = SettingsStyle::secondaryColor(palette());
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
    row.stepper = new SettingsStepper(bindings_.boostRange.first, bindings_.boostRange.second, 10, row.row);
    row.stepper->setValueFormat(&RankingSettingsSection::boostValueText);
    layout->addWidget(row.stepper);
    row.deleteButton = new KeyboardAccess::FocusRingToolButton(row.row);
    row.deleteButton->setAutoRaise(true);
    row.deleteButton->setIcon(SettingsSymbols::icon(QStringLiteral("trash"), secondary, 14));
    row.deleteButton->setToolTip(QStringLiteral("Delete rule"));
    layout->addWidget(row.deleteButton);

    const QUuid id = rule.id;
    connect(row.suffixField, &QLineEdit::textEdited, this, [this, id](const QString &text) {
        editRule(id, [&](ExtensionBoostRule &r) { r.suffix = text; });
    });
    connect(row.stepper, &SettingsStepper::valueStepped, this,
            [this, id](qint64 boost) { editRule(id, [&](ExtensionBoostRule &r) { r.boost = boost; }); });
    connect(row.deleteButton, &QToolButton::clicked, this,
            [this, id] { bindings_.onRemoveExtensionBoostRule(id); });
    return row;
}

void RankingSettingsSection::removeRow(const RuleRow &row) {
    rowsLayout_->removeWidget(row.row);
    row.suffixField->removeEventFilter(this);
    row.row->hide();
    // Later: the delete press that removed the row may still be running inside it.
    row.row->deleteLater();
}

void RankingSettingsSection::syncRows(const ExtensionBoostRules &rules) {
    QList<RuleRow> old = ruleRows_;
    QList<bool> kept(old.size(), false);
    QList<RuleRow> rows;
    for (const ExtensionBoostRule &rule : rules) {
        qsizetype match = -1;
        for (qsizetype i = 0; i < old.size() && match < 0; ++i)
            if (!kept[i] && old[i].id == rule.id)
                match = i;
        if (match >= 0) {
            kept[match] = true;
            rows.append(old[match]);
        } else {
            rows.append(makeRow(rule));
        }
    }

    QList<QWidget *> tabOrder;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rowsLayout_->indexOf(rows[i].row) != i) {
            rowsLayout_->removeWidget(rows[i].row);
            rowsLayout_->insertWidget(static_cast<int>(i), rows[i].row);
        }
        // Shown now, not when the layout gets to it: it may take the focus at once.
        rows[i].row->show();
        tabOrder << rows[i].suffixField << rows[i].stepper << rows[i].deleteButton;
    }
    // Before any focus moves: a focus event may come back here through the bindings.
    ruleRows_ = rows;
    KeyboardAccess::placeInTabOrder(nullptr, tabOrder, addButton_);

    // A row that goes while it holds the focus hands it to the same control of the next row that stays,
    // else to Add Rule: the user goes on where the row was, not at the top of the window.
    for (qsizetype i = 0; i < old.size(); ++i) {
        QWidget *focused = QApplication::focusWidget();
        if (kept[i] || !focused || !old[i].row->isAncestorOf(focused))
            continue;
        QWidget *next = addButton_;
        for (qsizetype j = i + 1; j < old.size(); ++j) {
            if (!kept[j])
                continue;
            next = focused == old[i].suffixField ? static_cast<QWidget *>(old[j].suffixField)
                   : focused == old[i].stepper   ? static_cast<QWidget *>(old[j].stepper)
                                                 : static_cast<QWidget *>(old[j].deleteButton);
            break;
        }
        next->setFocus(Qt::TabFocusReason);
    }
    for (qsizetype i = 0; i < old.size(); ++i)
        if (!kept[i])
            removeRow(old[i]);
}

void RankingSettingsSection::refresh() {
    const ExtensionBoostRules rules = bindings_.extensionBoostRules.value();
    bool sameRows = ruleRows_.size() == rules.size();
    for (qsizetype i = 0; sameRows && i < rules.size(); ++i)
        sameRows = ruleRows_[i].id == rules[i].id;
    if (!sameRows)
        syncRows(rules);
    const std::optional<QUuid> focused = bindings_.focusedExtensionBoostRuleID.value();
    for (qsizetype i = 0; i < rules.size(); ++i) {
        const RuleRow &row = ruleRows_[i];
        if (row.suffixField->text() != rules[i].suffix)
            row.suffixField->setText(rules[i].suffix);
        const QString boost = boostValueText(rules[i].boost);
        row.boostText->setText(boost);
        setAccessibleNameIfChanged(row.boostText, QStringLiteral("Boost ") + boost);
        row.stepper->setValue(rules[i].boost);
        // Seven rows of the same controls: each says which rule it belongs to.
        const QString suffix = rules[i].suffix.trimmed();
        setAccessibleNameIfChanged(row.stepper,
                                   QStringLiteral("Boost for ") +
                                       (suffix.isEmpty() ? QStringLiteral("rule without suffix") : suffix));
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
    validation_->setMessage(bindings_.validationMessage());
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
