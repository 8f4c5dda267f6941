#pragma once

#include <QString>

#include <optional>

namespace orvex {

// Whether the program starts at login. Linux asks no approval, so `requiresApproval` is never reported
// here; callers still treat it as registered.
enum class LaunchAtLoginState { enabled, disabled, requiresApproval };

// The settings toggle shows on whenever the program is registered.
inline bool shouldEnableToggle(LaunchAtLoginState state) {
    return state != LaunchAtLoginState::disabled;
}

// Why registering or unregistering failed, with the system's reason.
struct LaunchAtLoginManagerError {
    enum class Kind { registerFailed, unregisterFailed };

    // "Could not register run-at-login: " or "Could not unregister run-at-login: " and the reason.
    QString localizedDescription() const;

    Kind kind;
    QString underlyingDescription;
};

// What update() ended with: the state read after the change (or after the failure) and the failure.
struct LaunchAtLoginUpdateResult {
    LaunchAtLoginState state;
    std::optional<LaunchAtLoginManagerError> error;
};

// The seam that the settings window and the application use.
class LaunchAtLoginManaging {
public:
    virtual ~LaunchAtLoginManaging() = default;
    virtual LaunchAtLoginState currentState() const = 0;
    virtual LaunchAtLoginUpdateResult update(bool enabled) = 0;
};

// The program as a login item: the name of its entry ("<identifier>.desktop"), its display name and
// the executable that starts it.
struct LoginItem {
    QString identifier;
    QString name;
    QString executablePath;

    // The running program, as the application declared it with setMainApplication(); by default the
    // process's own name and executable. An empty executable path means the running executable.
    static LoginItem mainApplication();
    static void setMainApplication(LoginItem item);
};

// Starts the program at login through an XDG autostart entry, "<autostart>/<identifier>.desktop",
// whose Exec names the program's absolute path. Registered means such an entry exists, is not hidden
// and starts this very executable.
class LaunchAtLoginManager : public LaunchAtLoginManaging {
public:
    // The main application in the user's autostart folder.
    LaunchAtLoginManager();
    LaunchAtLoginManager(LoginItem item, QString autostartFolder);

    // $XDG_CONFIG_HOME/autostart, by default ~/.config/autostart.
    static QString defaultAutostartFolder();

    LaunchAtLoginState currentState() const override;
    // On: writes the entry unless already registered. Off: removes any entry of ours, also one that
    // is hidden or starts another executable, so nothing of ours runs at login against the wish.
    LaunchAtLoginUpdateResult update(bool enabled) override;

    QString entryPath() const;
    // The entry's text for the current item.
    QByteArray entryContents() const;

private:
    QString execValue() const;

    LoginItem item_;
    QString autostartFolder_;
};

} // namespace orvex
