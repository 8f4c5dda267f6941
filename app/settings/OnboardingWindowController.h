#pragma once

#include "settings/PermissionOnboardingStore.h"
#include "settings/PermissionsOnboardingView.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace orvex {

// The "Permission Setup" window itself: a dialog to assistive technology.
class PermissionSetupWindow : public QWidget {
    Q_OBJECT

public:
    PermissionSetupWindow();
};

// Owns the "Permission Setup" window (680 × 460, titled and closable, fixed size), built on the first
// show() and reused afterwards, so statuses of earlier requests stay on it. Continue stores true under
// the onboarding store's key, hides the window and calls `showPanel`; Skip hides it and calls
// `showPanel`, leaving the flag as it was. Closing the window with its close button does neither.
// The shell keeps one controller for the life of the process.
class OnboardingWindowController {
public:
    OnboardingWindowController(PermissionOnboardingStore store, std::function<void()> showPanel,
                               PermissionWarmups warmups = PermissionWarmups::production());
    ~OnboardingWindowController();

    OnboardingWindowController(const OnboardingWindowController &) = delete;
    OnboardingWindowController &operator=(const OnboardingWindowController &) = delete;

    // Builds the window when there is none, then shows it, raises it and gives it the focus.
    void show();
    // Null until the first show().
    QWidget *window() const { return window_; }
    PermissionsOnboardingView *view() const { return view_; }

private:
    void finish(bool completed);

    PermissionOnboardingStore store_;
    std::function<void()> showPanel_;
    PermissionWarmups warmups_;
    QPointer<QWidget> window_;
    PermissionsOnboardingView *view_ = nullptr;
};

} // namespace orvex
