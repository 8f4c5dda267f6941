#pragma once

#include "settings/NotionSettingsModel.h"
#include "settings/SettingsFormSection.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace orvex {

namespace KeyboardAccess {
class AccessibleLabel;
}

// The "Notion" section: the search switch, the token field with its show/hide toggle and test button,
// the paste hint, the test's status line, what Notion held against the searches and the integration hint.
// It keeps its own model. Both status lines are spoken as they appear and change; the toggle is a toggle
// button ("Show token", pressed while the token shows), whose state a screen reader speaks where a
// renamed button would stay silent.
class NotionSettingsSection : public SettingsFormSection {
    Q_OBJECT

public:
    explicit NotionSettingsSection(NotionSettingsStore store,
                                   NotionConnectionTestConfiguration connection = {},
                                   NotificationCenter &center = NotificationCenter::defaultCenter(),
                                   QWidget *parent = nullptr);

    NotionSettingsModel &model() { return *model_; }

    QCheckBox *enabledToggle() const { return enabledToggle_; }
    QLineEdit *tokenField() const { return tokenField_; }
    QToolButton *eyeButton() const { return eyeButton_; }
    QToolButton *testButton() const { return testButton_; }
    QLabel *pasteHint() const { return pasteHint_; }
    KeyboardAccess::AccessibleLabel *statusLine() const { return statusLine_; }
    KeyboardAccess::AccessibleLabel *serviceProblemLine() const { return serviceProblemLine_; }

private:
    void refresh();

    NotionSettingsModel *model_;
    QCheckBox *enabledToggle_;
    QLineEdit *tokenField_;
    QToolButton *eyeButton_;
    QToolButton *testButton_;
    QLabel *pasteHint_;
    KeyboardAccess::AccessibleLabel *statusLine_;
    KeyboardAccess::AccessibleLabel *serviceProblemLine_;
};

} // namespace orvex
