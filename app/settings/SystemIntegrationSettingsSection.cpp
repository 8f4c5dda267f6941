#include "settings/SystemIntegrationSettingsSection.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

namespace orvex {

SystemIntegrationSettingsSection::SystemIntegrationSettingsSection(Bindings bindings, QWidget *parent)
    : SettingsFormSection(QStringLiteral("System Integration"), parent), bindings_(std::move(bindings)) {
    runAtLoginToggle_ = new QCheckBox(QStringLiteral("Run at Login"), this);
    addRow(runAtLoginToggle_);
    QLabel *help = SettingsStyle::makeHelpText(
        QStringLiteral("Adds Launcher to the applications your desktop starts when you log in."), this);
    runAtLoginToggle_->setAccessibleDescription(help->text());
    addRow(help);
    statusLine_ = SettingsStyle::makeStatusText(QString(), this);
    addRow(statusLine_);
    connect(runAtLoginToggle_, &QCheckBox::toggled, this, [this](bool on) {
        bindings_.runAtLoginEnabled(on);
        // The system may answer otherwise than asked.
        refresh();
    });
    refresh();
}

void SystemIntegrationSettingsSection::refresh() {
    {
        const QSignalBlocker blocker(runAtLoginToggle_);
        runAtLoginToggle_->setChecked(bindings_.runAtLoginEnabled.value());
    }
    statusLine_->setMessage(bindings_.runAtLoginMessage());
}

} // namespace orvex
