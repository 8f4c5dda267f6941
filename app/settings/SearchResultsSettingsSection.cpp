#include "settings/SearchResultsSettingsSection.h"

#include "settings/SettingsStepper.h"
#include "settings/SettingsStyle.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orvex {

namespace {

// "Search Debounce", flexible space, the value in the secondary colour, then the stepper.
QHBoxLayout *stepperRow(const QString &title, QLabel *value, SettingsStepper *stepper, QWidget *parent) {
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(title, parent);
    label->setTextFormat(Qt::PlainText);
    row->addWidget(label);
    row->addStretch(1);
    SettingsStyle::useSecondaryColor(value);
    row->addWidget(value);
    row->addWidget(stepper);
    return row;
}

} // namespace

SearchResultsSettingsSection::SearchResultsSettingsSection(
    Bindings bindings, std::function<TranslationEngineAvailabilityTable()> translationAvailability,
    QWidget *parent)
    : SettingsFormSection(QStringLiteral("Search Results"), parent), bindings_(std::move(bindings)) {
    snippetsToggle_ = new QCheckBox(QStringLiteral("Show Search Snippets"), this);
    addRow(snippetsToggle_);
    scoresToggle_ = new QCheckBox(QStringLiteral("Show Search Scores"), this);
    addRow(scoresToggle_);

    advanced_ = new QGroupBox(QStringLiteral("Advanced"), this);
    auto *advanced = new QVBoxLayout(advanced_);
    advanced->setContentsMargins(10, 8, 10, 8);
    advanced->setSpacing(10);
    debounceValue_ = new QLabel(advanced_);
    debounceStepper_ =
        new SettingsStepper(bindings_.debounceRange.first, bindings_.debounceRange.second, 10, advanced_);
    debounceStepper_->setAccessibleName(QStringLiteral("Search Debounce"));
    debounceStepper_->setValueFormat([](qint64 value) { return QStringLiteral("%1 ms").arg(value); });
    advanced->addLayout(
        stepperRow(QStringLiteral("Search Debounce"), debounceValue_, debounceStepper_, advanced_));
    QLabel *debounceHelp = SettingsStyle::makeHelpText(
        QStringLiteral("Lower values feel faster but trigger more frequent searches."), advanced_);
    debounceStepper_->setAccessibleDescription(debounceHelp->text());
    advanced->addWidget(debounceHelp);
    sessionValue_ = new QLabel(advanced_);
    sessionStepper_ = new SettingsStepper(bindings_.sessionPersistenceRange.first,
                                          bindings_.sessionPersistenceRange.second, 1, advanced_);
    sessionStepper_->setAccessibleName(QStringLiteral("Session Persistence"));
    sessionStepper_->setValueFormat([](qint64 value) { return QStringLiteral("%1 s").arg(value); });
    advanced->addLayout(
        stepperRow(QStringLiteral("Session Persistence"), sessionValue_, sessionStepper_, advanced_));
    QLabel *sessionHelp = SettingsStyle::makeHelpText(
        QStringLiteral(
            "Keeps the last search visible when reopening within this window. Use arrow-up to recall "
            "the last search anytime."),
        advanced_);
    sessionStepper_->setAccessibleDescription(sessionHelp->text());
    advanced->addWidget(sessionHelp);
    translation_ = new TranslationSettingsControlsView(bindings_.translation,
                                                       std::move(translationAvailability), advanced_);
    advanced->addWidget(translation_);
    addRow(advanced_);

    connect(snippetsToggle_, &QCheckBox::toggled, this, [this](bool on) { bindings_.showSnippets(on); });
    connect(scoresToggle_, &QCheckBox::toggled, this, [this](bool on) { bindings_.showSearchScores(on); });
    connect(debounceStepper_, &SettingsStepper::valueStepped, this,
            [this](qint64 value) { bindings_.searchDebounceMilliseconds(value); });
    connect(sessionStepper_, &SettingsStepper::valueStepped, this,
            [this](qint64 value) { bindings_.sessionPersistenceSeconds(value); });
    refresh();
}

void SearchResultsSettingsSection::refresh() {
    {
        const QSignalBlocker snippets(snippetsToggle_);
        snippetsToggle_->setChecked(bindings_.showSnippets.value());
        const QSignalBlocker scores(scoresToggle_);
        scoresToggle_->setChecked(bindings_.showSearchScores.value());
    }
    const qint64 debounce = bindings_.searchDebounceMilliseconds.value();
    debounceStepper_->setValue(debounce);
    debounceValue_->setText(debounceStepper_->valueText());
    const qint64 session = bindings_.sessionPersistenceSeconds.value();
    sessionStepper_->setValue(session);
    sessionValue_->setText(sessionStepper_->valueText());
    translation_->refresh();
}

} // namespace orvex
