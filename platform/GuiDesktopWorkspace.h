#pragma once

#include "platform/DesktopWorkspace.h"

namespace orvex {

// The desktop workspace of a graphical process: the desktop workspace that also writes the clipboard of
// the process's QGuiApplication. Kept apart so that programs without windows need no Qt Gui.
class GuiDesktopWorkspace : public DesktopWorkspace {
public:
    using DesktopWorkspace::DesktopWorkspace;

    // Without a QGuiApplication in the process the text is dropped, with a line on stdout.
    void setClipboardText(const QString &text) override;
};

} // namespace orvex
