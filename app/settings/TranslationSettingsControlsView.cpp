#include "settings/TranslationSettingsControlsView.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsSymbols.h"

#include <QCheckBox>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

QLabel *makeRowLabel(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    // Keeps its full width beside the field.
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return label;
}

} // namespace

TranslationSettingsControlsView::TranslationSettingsControlsView(
    Bindings bindings, std::function<TranslationEngineAvailabilityTable()> availability, QWidget *parent)
    : QWidget(parent), bindings_(std::move(bindings)), availability_(std::move(availability)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto *triggerRow = new QHBoxLayout;
    triggerRow->setSpacing(8);
    triggerRow->addWidget(makeRowLabel(QStringLiteral("Translation Trigger"), this));
    triggerField_ = new QLineEdit(this);
    triggerField_->setPlaceholderText(QStringLiteral("cc"));
    triggerField_->setMaximumWidth(120);
    triggerField_->setAccessibleName(QStringLiteral("Translation Trigger"));
    triggerRow->addWidget(triggerField_, 1);
    triggerRow->addStretch(0);
    layout->addLayout(triggerRow);
    triggerHelp_ = SettingsStyle::makeHelpText(QString(), this);
    layout->addWidget(triggerHelp_);

    auto *languagesRow = new QHBoxLayout;
    languagesRow->setSpacing(8);
    languagesRow->addWidget(makeRowLabel(QStringLiteral("Translation Languages"), this));
    languagesField_ = new QLineEdit(this);
    languagesField_->setPlaceholderText(QStringLiteral("en,de"));
    languagesField_->setMaximumWidth(180);
    languagesField_->setAccessibleName(QStringLiteral("Translation Languages"));
    languagesRow->addWidget(languagesField_, 1);
    languagesRow->addStretch(0);
    layout->addLayout(languagesRow);
    QLabel *languagesHelp = SettingsStyle::makeHelpText(
        QStringLiteral("Comma-separated ISO language codes (for example \"en,de,fr,es\"). Explicit pairs use "
                       "\"xx:yy\"."),
        this);
    languagesField_->setAccessibleDescription(languagesHelp->text());
    layout->addWidget(languagesHelp);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setContentsMargins(0, 2, 0, 2);
    QPalette dividerPalette = divider->palette();
    QColor line = dividerPalette.color(QPalette::WindowText);
    line.setAlphaF(0.15);
    dividerPalette.setColor(QPalette::WindowText, line);
    divider->setPalette(dividerPalette);
    layout->addWidget(divider);

    auto *enginesHeader = new KeyboardAccess::AccessibleLabel(
        QAccessible::Heading, QStringLiteral("Translation Engines (priority top -> bottom)"), this);
    enginesHeader->setTextFormat(Qt::PlainText);
    enginesHeader->setFont(SettingsStyle::font(enginesHeader->font(), 12, QFont::Medium));
    SettingsStyle::useSecondaryColor(enginesHeader);
    layout->addWidget(enginesHeader);
    engineRowsLayout_ = new QVBoxLayout;
    engineRowsLayout_->setSpacing(6);
    layout->addLayout(engineRowsLayout_);

    connect(triggerField_, &QLineEdit::textEdited, this,
            [this](const QString &text) { bindings_.translationTrigger(text); });
    connect(triggerField_, &QLineEdit::editingFinished, this, [this] {
        if (bindings_.commitTrigger)
            bindings_.commitTrigger();
    });
    connect(languagesField_, &QLineEdit::textEdited, this,
            [this](const QString &text) { bindings_.translationLanguageCodesText(text); });
    connect(languagesField_, &QLineEdit::editingFinished, this, [this] {
        if (bindings_.commitLanguages)
            bindings_.commitLanguages();
    });
    refresh();
}

QString TranslationSettingsControlsView::engineLabel(TranslationEngineID engine) {
    switch (engine) {
    case TranslationEngineID::apple:
        return QStringLiteral("Apple Translation");
    case TranslationEngineID::argos:
        break;
    }
    return QStringLiteral("Argos (local)");
}

QString TranslationSettingsControlsView::triggerHelpText(const QString &trigger) {
    return QStringLiteral("Use this prefix in search (for example \"") + trigger +
           QStringLiteral(" hello\" or \"") + trigger + QStringLiteral(" en:de hello\").");
}

std::optional<TranslationEngineIDSet> TranslationSettingsControlsView::enabledEnginesAfterToggle(
    const TranslationEngineIDSet &enabled, TranslationEngineID engine, bool checked, bool isAvailable) {
    if (!isAvailable)
        return std::nullopt;
    TranslationEngineIDSet result = enabled;
    if (checked) {
        if (result.contains(engine))
            return std::nullopt;
        result.insert(engine);
        return result;
    }
    // The last enabled engine stays on; members count whether available or not.
    if (!result.contains(engine) || result.size() < 2)
        return std::nullopt;
    result.remove(engine);
    return result;
}

std::optional<TranslationEngineIDs>
TranslationSettingsControlsView::orderAfterMove(const TranslationEngineIDs &order, qsizetype index,
                                                qsizetype offset) {
    const qsizetype target = index + offset;
    if (index < 0 || index >= order.size() || target < 0 || target >= order.size() || target == index)
        return std::nullopt;
    TranslationEngineIDs result = order;
    result.move(index, target);
    return result;
}

TranslationSettingsControlsView::EngineRow
TranslationSettingsControlsView::engineRow(TranslationEngineID engine) const {
    for (const EngineRow &row : engineRows_)
        if (row.engine == engine)
            return row;
    return EngineRow{engine};
}

TranslationEngineIDs TranslationSettingsControlsView::engineRowOrder() const {
    TranslationEngineIDs order;
    for (const EngineRow &row : engineRows_)
        order.append(row.engine);
    return order;
}

void TranslationSettingsControlsView::syncEngineRows(const TranslationEngineIDs &order) {
    // Rows are kept across a move, so that the pressed arrow keeps the focus.
    QList<bool> kept(engineRows_.size(), false);
    QList<EngineRow> rows;
    for (const TranslationEngineID engine : order) {
        qsizetype match = -1;
        for (qsizetype i = 0; i < engineRows_.size() && match < 0; ++i)
            if (!kept[i] && engineRows_[i].engine == engine)
                match = i;
        if (match >= 0)
            kept[match] = true;
        rows.append(match >= 0 ? engineRows_[match] : makeEngineRow(engine));
    }
    for (qsizetype i = 0; i < engineRows_.size(); ++i) {
        if (kept[i])
            continue;
        engineRowsLayout_->removeWidget(engineRows_[i].row);
        engineRows_[i].row->hide();
        engineRows_[i].row->deleteLater();
    }
    QList<QWidget *> tabOrder;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (engineRowsLayout_->indexOf(rows[i].row) != i) {
            engineRowsLayout_->removeWidget(rows[i].row);
            engineRowsLayout_->insertWidget(static_cast<int>(i), rows[i].row);
        }
        tabOrder << rows[i].checkbox << rows[i].upButton << rows[i].downButton;
    }
    engineRows_ = rows;
    KeyboardAccess::placeInTabOrder(languagesField_, tabOrder);
}

TranslationSettingsControlsView::EngineRow
TranslationSettingsControlsView::makeEngineRow(TranslationEngineID engine) {
    const QColor secondary = SettingsStyle::secondaryColor(palette());
    EngineRow row{engine};
    row.row = new QWidget(this);
    auto *rowLayout = new QVBoxLayout(row.row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(2);
    auto *controls = new QWidget(row.row);
    auto *controlsLayout = new QHBoxLayout(controls);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    controlsLayout->setSpacing(8);
    row.checkbox = new KeyboardAccess::OptionalCheckBox(engineLabel(engine), controls);
    controlsLayout->addWidget(row.checkbox, 1);
    row.upButton = new KeyboardAccess::FocusRingToolButton(controls);
    row.upButton->setAutoRaise(true);
    row.upButton->setIcon(SettingsSymbols::icon(QStringLiteral("arrow.up"), secondary, 13));
    row.upButton->setAccessibleName(QStringLiteral("Move %1 up").arg(engineLabel(engine)));
    controlsLayout->addWidget(row.upButton);
    row.downButton = new KeyboardAccess::FocusRingToolButton(controls);
    row.downButton->setAutoRaise(true);
    row.downButton->setIcon(SettingsSymbols::icon(QStringLiteral("arrow.down"), secondary, 13));
    row.downButton->setAccessibleName(QStringLiteral("Move %1 down").arg(engineLabel(engine)));
    controlsLayout->addWidget(row.downButton);
    controls->setGraphicsEffect(new QGraphicsOpacityEffect(controls));
    rowLayout->addWidget(controls);
    // The box's description says it too.
    row.message = new KeyboardAccess::AccessibleLabel(QAccessible::Paragraph, QString(), row.row);
    row.message->setTextFormat(Qt::PlainText);
    row.message->setWordWrap(true);
    row.message->setFont(SettingsStyle::font(row.message->font(), 11));
    row.message->setContentsMargins(24, 0, 0, 0);
    SettingsStyle::useSecondaryColor(row.message);
    rowLayout->addWidget(row.message);

    connect(row.checkbox, &QCheckBox::clicked, this,
            [this, engine](bool checked) { engineToggled(engine, checked); });
    connect(row.upButton, &QToolButton::clicked, this,
            [this, engine] { moveEngine(bindings_.translationEngineOrder.value().indexOf(engine), -1); });
    connect(row.downButton, &QToolButton::clicked, this,
            [this, engine] { moveEngine(bindings_.translationEngineOrder.value().indexOf(engine), 1); });
    return row;
}

void TranslationSettingsControlsView::refresh() {
    const QString trigger = bindings_.translationTrigger.value();
    if (triggerField_->text() != trigger)
        triggerField_->setText(trigger);
    triggerHelp_->setText(triggerHelpText(trigger));
    if (triggerField_->accessibleDescription() != triggerHelp_->text())
        triggerField_->setAccessibleDescription(triggerHelp_->text());
    const QString languages = bindings_.translationLanguageCodesText.value();
    if (languagesField_->text() != languages)
        languagesField_->setText(languages);

    const TranslationEngineIDs order = bindings_.translationEngineOrder.value();
    if (engineRowOrder() != order)
        syncEngineRows(order);
    const TranslationEngineIDSet enabled = bindings_.translationEnabledEngineIDs.value();
    const TranslationEngineAvailabilityTable table =
        availability_ ? availability_() : TranslationEngineAvailabilityTable();
    for (qsizetype index = 0; index < engineRows_.size(); ++index) {
        const EngineRow &row = engineRows_[index];
        const auto entry = table.constFind(row.engine);
        const bool isAvailable = entry == table.constEnd() || entry->isAvailable;
        {
            const QSignalBlocker blocker(row.checkbox);
            row.checkbox->setChecked(isAvailable && enabled.contains(row.engine));
        }
        row.checkbox->setAvailable(isAvailable);
        // The line under the box says why it is (un)available; a screen reader hears it with the box.
        const QString message = entry != table.constEnd() ? entry->message : QString();
        if (row.checkbox->accessibleDescription() != message)
            row.checkbox->setAccessibleDescription(message);
        row.upButton->setEnabled(isAvailable && index > 0);
        row.downButton->setEnabled(isAvailable && index < engineRows_.size() - 1);
        static_cast<QGraphicsOpacityEffect *>(row.checkbox->parentWidget()->graphicsEffect())
            ->setOpacity(isAvailable ? 1.0 : 0.45);
        row.message->setVisible(entry != table.constEnd());
        if (row.message->text() != message)
            row.message->setText(message);
    }
}

void TranslationSettingsControlsView::engineToggled(TranslationEngineID engine, bool checked) {
    const TranslationEngineAvailabilityTable table =
        availability_ ? availability_() : TranslationEngineAvailabilityTable();
    const auto entry = table.constFind(engine);
    const bool isAvailable = entry == table.constEnd() || entry->isAvailable;
    if (const auto enabled = enabledEnginesAfterToggle(bindings_.translationEnabledEngineIDs.value(), engine,
                                                       checked, isAvailable))
        bindings_.translationEnabledEngineIDs(*enabled);
    // The checkbox shows what the binding now holds, also when the click changed nothing.
    refresh();
}

void TranslationSettingsControlsView::moveEngine(qsizetype index, qsizetype offset) {
    if (const auto moved = orderAfterMove(bindings_.translationEngineOrder.value(), index, offset))
        bindings_.translationEngineOrder(*moved);
    refresh();
}

} // namespace orvex
