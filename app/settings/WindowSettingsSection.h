#pragma once

#include "settings/SettingsBinding.h"
#include "settings/SettingsFormSection.h"

#include <functional>

class QCheckBox;
class QLabel;

namespace orvex {

// The "Window" section: snap to grid, the tray icon and the version number, with the hint on how to
// reopen the settings while the icon is hidden.
class WindowSettingsSection : public SettingsFormSection {
    Q_OBJECT

public:
    struct Bindings {
        Binding<bool> snapWindowToGrid;
        Binding<bool> showMenuBarIcon;
        Binding<bool> showVersionNumber;
        // The menu-bar-icon setting as it now stands.
        std::function<bool()> isMenuBarIconVisible;
    };

    explicit WindowSettingsSection(Bindings bindings, QWidget *parent = nullptr);

    void refresh();

    QCheckBox *snapToggle() const { return snapToggle_; }
    QCheckBox *menuBarIconToggle() const { return menuBarIconToggle_; }
    QCheckBox *versionToggle() const { return versionToggle_; }
    QLabel *reopenHint() const { return reopenHint_; }

private:
    Bindings bindings_;
    QCheckBox *snapToggle_;
    QCheckBox *menuBarIconToggle_;
    QCheckBox *versionToggle_;
    QLabel *reopenHint_;
};

} // namespace orvex
