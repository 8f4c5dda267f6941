#pragma once

#include "settings/SettingsEnvironment.h"
#include "settings/WindowSizeStore.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace orvex {

class SettingsView;

// The "Launcher Settings" window: titled, closable and resizable (not minimisable), 460–1200 × 420–900,
// its content size saved on every resize and handed back to resize() when it is made again, so the
// same measure is stored and restored. Closing only hides it. To assistive technology it is a dialog;
// Escape and Ctrl+W close it, and Return presses the focused button.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow(SettingsView *view, WindowSizeStore sizeStore);

    SettingsView *view() const { return view_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    SettingsView *view_;
    WindowSizeStore sizeStore_;
};

// Builds the settings window on the first show() from the environment (the view's state is seeded then,
// once) and brings the same window forward on every later show(). The shell hides the panel before it
// calls show(), and gives the environment a hotKeyRecordingChanged that suspends its global hot key
// while the shortcut recorder records, and the reason of a failed registration. One controller lives as long
// as the process.
class SettingsWindowController {
public:
    static constexpr QSize defaultSize{980, 620};

    // `environment` is called once, when the window is first built.
    explicit SettingsWindowController(
        std::function<SettingsEnvironment()> environment = &SettingsEnvironment::production,
        WindowSizeStore sizeStore = WindowSizeStore::settingsWindow(UserDefaults::standard()));
    ~SettingsWindowController();

    SettingsWindowController(const SettingsWindowController &) = delete;
    SettingsWindowController &operator=(const SettingsWindowController &) = delete;

    // Builds the window when there is none, then shows it, raises it and gives it the focus.
    void show();
    // Null until the first show().
    SettingsWindow *window() const { return window_; }

private:
    std::function<SettingsEnvironment()> environment_;
    WindowSizeStore sizeStore_;
    QPointer<SettingsWindow> window_;
};

} // namespace orvex
