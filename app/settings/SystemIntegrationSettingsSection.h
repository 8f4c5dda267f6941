#pragma once

#include "settings/SettingsBinding.h"
#include "settings/SettingsFormSection.h"

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;

namespace orvex {

namespace KeyboardAccess {
class AccessibleLabel;
}

// The "System Integration" section: the start-at-login toggle, its help line and the outcome of the
// last change.
class SystemIntegrationSettingsSection : public SettingsFormSection {
    Q_OBJECT

public:
    struct Bindings {
        Binding<bool> runAtLoginEnabled;
        std::function<std::optional<QString>()> runAtLoginMessage;
    };

    explicit SystemIntegrationSettingsSection(Bindings bindings, QWidget *parent = nullptr);

    void refresh();

    QCheckBox *runAtLoginToggle() const { return runAtLoginToggle_; }
    // Spoken as it appears and changes.
    KeyboardAccess::AccessibleLabel *statusLine() const { return statusLine_; }

private:
    Bindings bindings_;
    QCheckBox *runAtLoginToggle_;
    KeyboardAccess::AccessibleLabel *statusLine_;
};

} // namespace orvex
