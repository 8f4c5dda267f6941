#pragma once

#include "platform/NotificationCenter.h"

#include <QString>

namespace orvex {

class SearchResult;

// What the application shell does for the panel: hide it and show the settings window. The shell
// installs itself as the current host at start-up; the panel asks for it each time it needs it.
class PanelHost {
public:
    virtual ~PanelHost() = default;

    // Hides the panel window; the host posts "WindowHidden" itself.
    virtual void hideWindow() = 0;
    virtual void showSettingsWindow() = 0;
    // The user's choice could not be carried out, fallbacks included: the host tells the user, with
    // `reason`, one sentence in the user's words that says why. By default nothing is said.
    virtual void activationFailed(const SearchResult &result, const QString &reason);

    // The installed host, or null.
    static PanelHost *current();
    // Installs `host` (null: none). The caller keeps it alive while installed.
    static void setCurrent(PanelHost *host);
};

// Hides the panel: through the installed host, or, with none, by hiding the application's windows
// and posting "WindowHidden".
void hideLauncherPanel(NotificationCenter &center = NotificationCenter::defaultCenter());

} // namespace orvex
