#pragma once

namespace orvex {

// Watches the shortcut roots and reports changes, coalesced, on its own thread.
class ShortcutRootWatcher {
public:
    ~ShortcutRootWatcher() = default;
};

} // namespace orvex
