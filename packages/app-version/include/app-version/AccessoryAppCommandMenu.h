#pragma once

#include <QString>

#include <functional>

class QAction;
class QWidget;

namespace orvex {

// The one command an application without a menu bar still needs: Quit on the platform's quit key
// (Ctrl+Q here), active whichever of the application's windows has focus.
namespace AccessoryAppCommandMenu {

// "Quit " followed by the name trimmed of white space; the process name when the trimmed name is empty.
QString quitItemTitle(const QString &appName);

// Installs the Quit action on `window`, replacing one installed there before, and returns it. Its key
// works while `window` is the active window, so each of the application's windows carries one. `quit`
// runs when it is triggered; without one the application quits.
QAction *installQuitMenu(QWidget &window, const QString &appName, std::function<void()> quit = {});

} // namespace AccessoryAppCommandMenu

} // namespace orvex
