#include "platform/Workspace.h"

#include "platform/GuiDesktopWorkspace.h"

namespace orvex {

Workspace &Workspace::shared() {
    // Never destroyed: it may be used until the very end of the process, after Qt is torn down.
    static GuiDesktopWorkspace *const workspace = new GuiDesktopWorkspace();
    return *workspace;
}

} // namespace orvex
