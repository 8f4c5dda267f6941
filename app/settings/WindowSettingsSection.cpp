#include "settings/WindowSettingsSection.h"

#include "settings/SettingsStyle.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

namespace orvex {

WindowSettingsSection::WindowSettingsSection(Bindings bindings, QWidget *parent)
    : SettingsFormSection(QStringLiteral("Window"), parent), bindings_(std::move(bindings)) {
    snapToggle_ = new QCheckBox(QStringLiteral("Snap Window to Grid"), this);
    addRow(snapToggle_);
    menuBarIconToggle_ = new QCheckBox(QStringLiteral("Show Tray Icon"), this);
    addRow(menuBarIconToggle_);
    versionToggle_ = new QCheckBox(QStringLiteral("Show Version Number"), this);
    addRow(versionToggle_);
    reopenHint_ = SettingsStyle::makeHelpText(
        QStringLiteral("Use the global hotkey and type \"settings\" to reopen this window."), this);
    addRow(reopenHint_);

    // Each edit is followed by a refresh: a refused change must show the value that stands.
    const auto wire = [this](QCheckBox *toggle, Binding<bool> WindowSettingsSection::Bindings::*binding) {
        connect(toggle, &QCheckBox::toggled, this, [this, binding](bool on) {
            (bindings_.*binding)(on);
            refresh();
        });
    };
    wire(snapToggle_, &Bindings::snapWindowToGrid);
    wire(menuBarIconToggle_, &Bindings::showMenuBarIcon);
    wire(versionToggle_, &Bindings::showVersionNumber);
    refresh();
}

void WindowSettingsSection::refresh() {
    const std::pair<QCheckBox *, bool> toggles[] = {
        {snapToggle_, bindings_.snapWindowToGrid.value()},
        {menuBarIconToggle_, bindings_.showMenuBarIcon.value()},
        {versionToggle_, bindings_.showVersionNumber.value()},
    };
    for (const auto &[toggle, on] : toggles) {
        const QSignalBlocker blocker(toggle);
        toggle->setChecked(on);
    }
    reopenHint_->setVisible(!bindings_.isMenuBarIconVisible());
}

} // namespace orvex
