#include "platform/GuiDesktopWorkspace.h"

#include <QClipboard>
#include <QGuiApplication>

namespace orvex {

void GuiDesktopWorkspace::setClipboardText(const QString &text) {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        DesktopWorkspace::setClipboardText(text);
        return;
    }
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

} // namespace orvex
