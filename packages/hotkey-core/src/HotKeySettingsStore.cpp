#include "hotkey-core/HotKeySettingsStore.h"

namespace orvex {

HotKeySettingsStore::HotKeySettingsStore(UserDefaults &defaults, QString enabledKey, QString keyCodeKey,
                                         QString modifiersKey, std::optional<QString> characterKey)
    : defaults(&defaults), enabledKey(std::move(enabledKey)), keyCodeKey(std::move(keyCodeKey)),
      modifiersKey(std::move(modifiersKey)), characterKey(std::move(characterKey)) {}

} // namespace orvex
