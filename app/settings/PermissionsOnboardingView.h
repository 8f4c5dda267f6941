#pragma once

#include "settings/PermissionsOnboardingViewModel.h"

#include <QPushButton>
#include <QWidget>

#include <functional>

class QLabel;

namespace orvex {

namespace KeyboardAccess {
class AccessibleLabel;
}

// A card's request button. While its check runs it looks disabled, and presses change nothing (the view
// model starts no second check), but it keeps the keyboard focus, so that a screen reader reads the
// outcome where the user is: the button's accessible description is the card's status sentence.
class PermissionRequestButton : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool busy_ = false;
};

// One permission card: title, description, the status row (symbol and sentence in the status colour)
// and the request button, on a rounded panel as wide as the window's content.
class PermissionCard : public QWidget {
    Q_OBJECT

public:
    PermissionCard(const QString &title, const QString &description, const QString &buttonTitle,
                   QWidget *parent = nullptr);

    void setStatus(const PermissionWarmupStatus &status, bool isLoading);
    PermissionRequestButton *button() const { return button_; }
    KeyboardAccess::AccessibleLabel *statusText() const { return statusText_; }

    // The symbol name and colour of a status.
    static QString symbolName(PermissionWarmupStatus::Case kind);
    static QColor statusColor(PermissionWarmupStatus::Case kind, const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *statusSymbol_;
    KeyboardAccess::AccessibleLabel *statusText_;
    PermissionRequestButton *button_;
};

// The content of the "Permission Setup" window: the header, the file and browser cards and the row of
// "Skip for now" (Escape) and "Continue to Launcher". Return and Space press the focused button; Return
// elsewhere continues. "Continue to Launcher" has the focus first. It owns its view model; the two
// buttons only call the host's actions.
class PermissionsOnboardingView : public QWidget {
    Q_OBJECT

public:
    PermissionsOnboardingView(std::function<void()> onContinue, std::function<void()> onSkip,
                              PermissionWarmups warmups = PermissionWarmups::production(),
                              QWidget *parent = nullptr);

    PermissionsOnboardingViewModel &viewModel() { return *viewModel_; }
    PermissionCard *fileCard() const { return fileCard_; }
    PermissionCard *browserCard() const { return browserCard_; }
    QPushButton *skipButton() const { return skipButton_; }
    QPushButton *continueButton() const { return continueButton_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refresh();

    PermissionsOnboardingViewModel *viewModel_;
    std::function<void()> onContinue_;
    std::function<void()> onSkip_;
    PermissionCard *fileCard_;
    PermissionCard *browserCard_;
    QPushButton *skipButton_;
    QPushButton *continueButton_;
};

} // namespace orvex
