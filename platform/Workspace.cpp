#include "platform/Workspace.h"

#include "platform/DesktopWorkspace.h"

namespace orvex {

Workspace &Workspace::shared() {
    // Never destroyed: it may be used until the very end of the process, after Qt is torn down.
    static DesktopWorkspace *const workspace = new DesktopWorkspace();
    return *workspace;
}

} // namespace orvex
