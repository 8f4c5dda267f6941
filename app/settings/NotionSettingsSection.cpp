#include "settings/NotionSettingsSection.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsSymbols.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>

namespace orvex {

namespace {

QToolButton *makeSymbolButton(QWidget *parent) {
    auto *button = new KeyboardAccess::FocusRingToolButton(parent);
    button->setAutoRaise(true);
    button->setIconSize(QSize(15, 15));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

NotionSettingsSection::NotionSettingsSection(NotionSettingsStore store,
                                             NotionConnectionTestConfiguration connection,
                                             NotificationCenter &center, QWidget *parent)
    : SettingsFormSection(QStringLiteral("Notion"), parent),
      model_(new NotionSettingsModel(std::move(store), std::move(connection), center, this)) {
    enabledToggle_ = new QCheckBox(QStringLiteral("Search Notion Pages"), this);
    addRow(enabledToggle_);

    auto *tokenRow = new QHBoxLayout;
    tokenRow->setSpacing(8);
    tokenField_ = new QLineEdit(this);
    tokenField_->setPlaceholderText(QStringLiteral("ntn_..."));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(13);
    tokenField_->setFont(mono);
    tokenField_->setAccessibleName(QStringLiteral("Notion integration token"));
    tokenRow->addWidget(tokenField_, 1);
    eyeButton_ = makeSymbolButton(this);
    eyeButton_->setCheckable(true);
    eyeButton_->setToolTip(QStringLiteral("Show token"));
    eyeButton_->setAccessibleName(QStringLiteral("Show token"));
    tokenRow->addWidget(eyeButton_);
    testButton_ = makeSymbolButton(this);
    testButton_->setToolTip(QStringLiteral("Test connection"));
    testButton_->setAccessibleName(QStringLiteral("Test connection"));
    tokenRow->addWidget(testButton_);
    addRow(tokenRow);

    pasteHint_ = SettingsStyle::makeHelpText(
        QStringLiteral("Paste your Notion Internal Integration Token to enable search."), this);
    addRow(pasteHint_);
    statusLine_ = SettingsStyle::makeStatusText(QString(), this);
    addRow(statusLine_);
    serviceProblemLine_ = SettingsStyle::makeStatusText(QString(), this);
    addRow(serviceProblemLine_);
    QLabel *integrationHint = SettingsStyle::makeHelpText(
        QStringLiteral("Create an internal integration on Notion's integrations page, paste its token here, "
                       "then share the pages you want to find with that integration."),
        this);
    tokenField_->setAccessibleDescription(integrationHint->text());
    addRow(integrationHint);

    const QColor secondary = SettingsStyle::secondaryColor(palette());
    testButton_->setIcon(SettingsSymbols::icon(QStringLiteral("arrow.triangle.2.circlepath"), secondary, 15));

    connect(enabledToggle_, &QCheckBox::toggled, model_, &NotionSettingsModel::setNotionEnabled);
    connect(tokenField_, &QLineEdit::textEdited, model_, &NotionSettingsModel::setNotionToken);
    connect(eyeButton_, &QToolButton::clicked, model_,
            [this] { model_->setTokenVisible(!model_->tokenVisible()); });
    connect(testButton_, &QToolButton::clicked, model_, &NotionSettingsModel::testConnection);
    connect(model_, &NotionSettingsModel::stateChanged, this, &NotionSettingsSection::refresh);
    refresh();
}

void NotionSettingsSection::refresh() {
    const NotionSettingsModel &m = *model_;
    {
        const QSignalBlocker blocker(enabledToggle_);
        enabledToggle_->setChecked(m.notionEnabled());
    }
    if (tokenField_->text() != m.notionToken())
        tokenField_->setText(m.notionToken());
    tokenField_->setEchoMode(m.tokenVisible() ? QLineEdit::Normal : QLineEdit::Password);
    tokenField_->setEnabled(m.notionEnabled());

    const QColor secondary = SettingsStyle::secondaryColor(palette());
    eyeButton_->setIcon(SettingsSymbols::icon(
        m.tokenVisible() ? QStringLiteral("eye.slash") : QStringLiteral("eye"), secondary, 15));
    {
        const QSignalBlocker blocker(eyeButton_);
        eyeButton_->setChecked(m.tokenVisible());
    }

    testButton_->setVisible(m.showsTestButton());
    testButton_->setEnabled(m.notionEnabled());

    pasteHint_->setVisible(m.showsPasteHint());
    statusLine_->setMessage(m.statusMessage());
    serviceProblemLine_->setMessage(m.serviceProblem());
}

} // namespace orvex
