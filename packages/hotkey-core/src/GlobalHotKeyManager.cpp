#include "hotkey-core/GlobalHotKeyManager.h"

#include "X11HotKeyConnection.h"
#include "hotkey-core/KeyboardLayout.h"

#include <xcb/xproto.h>

namespace orvex {

GlobalHotKeyManager::GlobalHotKeyManager(const QString &signature, QObject *parent)
    : GlobalHotKeyManager(signature, qgetenv("DISPLAY"), parent) {}

GlobalHotKeyManager::GlobalHotKeyManager(const QString &signature, const QByteArray &displayName,
                                         QObject *parent)
    : QObject(parent), signature_(fourCharCode(signature)),
      connection_(X11HotKeyConnection::open(displayName)) {
    if (connection_) {
        connection_->onGrabbedKeyPressed = [this] { hotKeyPressed(); };
        connection_->onKeyboardChanged = [this] { keyboardChanged(); };
    }
}

GlobalHotKeyManager::~GlobalHotKeyManager() {
    unregister();
}

namespace {

quint16 x11Modifiers(quint32 mask) {
    quint16 modifiers = 0;
    if (mask & controlKey)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (mask & shiftKey)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (mask & optionKey)
        modifiers |= XCB_MOD_MASK_1;
    if (mask & cmdKey)
        modifiers |= XCB_MOD_MASK_4;
    return modifiers;
}

} // namespace

bool GlobalHotKeyManager::registerHotKey(const HotKeySettings &settings) {
    registeredSettings_ = settings;
    if (registered_ && connection_)
        connection_->ungrab();
    registered_ = false;
    grab_.reset();
    lastFailure_.reset();
    if (!settings.isEnabled)
        return true;
    // A mask without modifiers would take a bare key from every application on the desktop.
    if (!isValidKeyShortcut(settings.keyCode, settings.modifiers)) {
        lastFailure_ = HotKeyRegistrationFailure::notAShortcut;
        return false;
    }
    if (!connection_) {
        lastFailure_ = HotKeyRegistrationFailure::noDisplay;
        return false;
    }

    const KeyboardLayout &layout = connection_->layout();
    quint32 keyCode = settings.keyCode;
    quint16 modifiers = x11Modifiers(settings.modifiers);
    if (settings.character) {
        if (const auto onLayout = layout.shortcutForCharacter(*settings.character)) {
            keyCode = onLayout->keyCode;
            if (onLayout->modifiers & shiftKey)
                modifiers |= XCB_MOD_MASK_SHIFT;
            if (onLayout->modifiers & optionKey)
                modifiers |= quint16(layout.levelThreeModifierMask());
        }
    }
    const auto x11KeyCode = layout.x11KeyCodeForKeyCode(keyCode);
    if (!x11KeyCode) {
        lastFailure_ = HotKeyRegistrationFailure::keyNotOnKeyboard;
        return false;
    }
    if (!connection_->grab(*x11KeyCode, modifiers)) {
        lastFailure_ = grabFailure();
        return false;
    }
    // Suspended, the grab only proved the key free; it is taken for good on resuming.
    if (suspended_)
        connection_->ungrab();
    grab_ = Grab{*x11KeyCode, modifiers};
    registered_ = true;
    return true;
}

void GlobalHotKeyManager::unregister() {
    registeredSettings_.reset();
    if (registered_ && connection_)
        connection_->ungrab();
    registered_ = false;
    grab_.reset();
}

void GlobalHotKeyManager::setSuspended(bool suspended) {
    if (suspended_ == suspended)
        return;
    suspended_ = suspended;
    if (!registered_ || !connection_ || !grab_)
        return;
    if (suspended) {
        connection_->ungrab();
    } else if (!connection_->grab(grab_->x11KeyCode, grab_->modifiers)) {
        registered_ = false;
        grab_.reset();
        lastFailure_ = grabFailure();
    }
}

HotKeyRegistrationFailure GlobalHotKeyManager::grabFailure() const {
    constexpr quint8 badAccess = 10;
    return connection_->lastGrabError() == badAccess ? HotKeyRegistrationFailure::heldByAnotherProgram
                                                     : HotKeyRegistrationFailure::refusedByServer;
}

void GlobalHotKeyManager::keyboardChanged() {
    if (registeredSettings_ && registeredSettings_->isEnabled)
        registerHotKey(*registeredSettings_);
}

quint32 GlobalHotKeyManager::lastPressTimestamp() const {
    return connection_ ? connection_->lastPressTime() : 0;
}

void GlobalHotKeyManager::hotKeyPressed() {
    if (suspended_ || !registered_)
        return;
    if (const auto handler = onHotKeyPressed)
        handler();
}

QString describe(HotKeyRegistrationFailure failure) {
    switch (failure) {
    case HotKeyRegistrationFailure::noDisplay:
        return QStringLiteral("no X display is open");
    case HotKeyRegistrationFailure::notAShortcut:
        return QStringLiteral("a hot key needs a key with at least one modifier");
    case HotKeyRegistrationFailure::keyNotOnKeyboard:
        return QStringLiteral("the keyboard has no such key");
    case HotKeyRegistrationFailure::heldByAnotherProgram:
        return QStringLiteral("another program holds it");
    case HotKeyRegistrationFailure::refusedByServer:
        break;
    }
    return QStringLiteral("the X server refused it");
}

quint32 fourCharCode(const QString &text) {
    const QByteArray bytes = text.toUtf8().left(4);
    quint32 code = 0;
    for (const char byte : bytes)
        code = code * 256 + quint8(byte);
    return code;
}

} // namespace orvex
