#include "hotkey-core/KeyboardLayout.h"

#include "hotkey-core/KeyCodeTable.h"

#include <QMutex>
#include <QTextBoundaryFinder>

#include <xkbcommon/xkbcommon.h>

#include <array>

namespace orvex {

namespace {

// The four levels the lookup tries, in order, with the mask bits each stands for.
constexpr std::array<quint32, 4> levelMasks{0, shiftKey, optionKey, optionKey | shiftKey};

QString firstGrapheme(const QString &text) {
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    const qsizetype end = graphemes.toNextBoundary();
    return text.left(end > 0 ? end : text.size());
}

QString keyText(xkb_state *state, xkb_keycode_t key) {
    char buffer[64];
    const int length = xkb_state_key_get_utf8(state, key, buffer, sizeof buffer);
    if (length <= 0 || length >= int(sizeof buffer))
        return {};
    return QString::fromUtf8(buffer, length);
}

} // namespace

struct KeyboardLayout::Data {
    xkb_keymap *keymap = nullptr;
    xkb_layout_index_t group = 0;
    xkb_mod_mask_t levelThreeMask = 0;
    xkb_mod_mask_t numLockMask = 0;
    // One state per entry of levelMasks, with the group locked.
    std::array<xkb_state *, 4> levels{};

    Data(xkb_keymap *map, xkb_layout_index_t selectedGroup)
        : keymap(xkb_keymap_ref(map)), group(selectedGroup) {
        levelThreeMask = maskOfKey(XKB_KEY_ISO_Level3_Shift);
        numLockMask = maskOfKey(XKB_KEY_Num_Lock);
        const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
        const xkb_mod_mask_t shiftMask = shiftIndex == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << shiftIndex;
        for (size_t i = 0; i < levels.size(); ++i) {
            xkb_mod_mask_t mods = 0;
            if (levelMasks[i] & shiftKey)
                mods |= shiftMask;
            if (levelMasks[i] & optionKey)
                mods |= levelThreeMask;
            levels[i] = xkb_state_new(keymap);
            if (levels[i])
                xkb_state_update_mask(levels[i], mods, 0, 0, 0, 0, group);
        }
    }
    ~Data() {
        for (xkb_state *state : levels)
            if (state)
                xkb_state_unref(state);
        xkb_keymap_unref(keymap);
    }
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;

    // The real modifiers that pressing the first key carrying `keysym` in this group sets or locks.
    xkb_mod_mask_t maskOfKey(xkb_keysym_t keysym) const {
        xkb_state *probe = xkb_state_new(keymap);
        if (!probe)
            return 0;
        xkb_state_update_mask(probe, 0, 0, 0, 0, 0, group);
        xkb_mod_mask_t mask = 0;
        for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap);
             key <= xkb_keymap_max_keycode(keymap) && !mask; ++key) {
            const xkb_layout_index_t layout = xkb_state_key_get_layout(probe, key);
            if (layout == XKB_LAYOUT_INVALID)
                continue;
            const xkb_keysym_t *syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, 0, &syms);
            if (count != 1 || syms[0] != keysym)
                continue;
            xkb_state *pressed = xkb_state_new(keymap);
            if (!pressed)
                break;
            xkb_state_update_mask(pressed, 0, 0, 0, 0, 0, group);
            xkb_state_update_key(pressed, key, XKB_KEY_DOWN);
            // X11 has eight real modifiers; virtual ones never reach a grab.
            mask = xkb_state_serialize_mods(pressed, XKB_STATE_MODS_EFFECTIVE) & 0xFF;
            xkb_state_unref(pressed);
        }
        xkb_state_unref(probe);
        return mask;
    }
};

KeyboardLayout::KeyboardLayout(std::shared_ptr<const Data> data) : data_(std::move(data)) {}

std::optional<KeyboardLayout> KeyboardLayout::fromNames(const QString &layouts, const QString &variants,
                                                        const QString &options, quint32 group) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!context)
        return std::nullopt;
    const QByteArray layoutBytes = layouts.toUtf8();
    const QByteArray variantBytes = variants.toUtf8();
    const QByteArray optionBytes = options.toUtf8();
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layoutBytes.constData();
    names.variant = variantBytes.constData();
    names.options = optionBytes.constData();
    xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    if (!keymap)
        return std::nullopt;
    KeyboardLayout layout = fromKeymap(keymap, group);
    xkb_keymap_unref(keymap);
    return layout;
}

KeyboardLayout KeyboardLayout::fromKeymap(xkb_keymap *keymap, quint32 group) {
    return KeyboardLayout(std::make_shared<const Data>(keymap, group));
}

std::optional<KeyboardLayoutShortcut> KeyboardLayout::shortcutForCharacter(const QString &character) const {
    const auto normalized = normalizedShortcutCharacter(character);
    if (!normalized)
        return std::nullopt;
    // Composed and decomposed forms of one character are the same character.
    const QString target = normalized->normalized(QString::NormalizationForm_C);
    for (quint32 keyCode = 0; keyCode <= 127; ++keyCode) {
        if (isModifierOnlyKeyCode(keyCode))
            continue;
        const auto key = x11KeyCodeForKeyCode(keyCode);
        if (!key)
            continue;
        for (size_t i = 0; i < levelMasks.size(); ++i) {
            if ((levelMasks[i] & optionKey) && !data_->levelThreeMask)
                break;
            if (!data_->levels[i])
                continue;
            const QString text = keyText(data_->levels[i], *key);
            if (text.isEmpty())
                continue;
            const QString typed = firstGrapheme(text);
            bool displayable = true;
            for (const char32_t scalar : typed.toUcs4())
                displayable = displayable && isDisplayableShortcutScalar(scalar);
            if (displayable && typed.toLower().normalized(QString::NormalizationForm_C) == target)
                return KeyboardLayoutShortcut{keyCode, levelMasks[i]};
        }
    }
    return std::nullopt;
}

std::optional<quint32> KeyboardLayout::keyCodeForX11KeyCode(quint32 x11KeyCode) const {
    const char *name = xkb_keymap_key_get_name(data_->keymap, x11KeyCode);
    if (!name)
        return std::nullopt;
    return keyCodeForXkbKeyName(QByteArrayView(name));
}

std::optional<quint32> KeyboardLayout::x11KeyCodeForKeyCode(quint32 keyCode) const {
    const auto name = xkbKeyNameForKeyCode(keyCode);
    if (!name)
        return std::nullopt;
    const xkb_keycode_t key = xkb_keymap_key_by_name(data_->keymap, name->constData());
    if (key == XKB_KEYCODE_INVALID)
        return std::nullopt;
    return key;
}

QString KeyboardLayout::textIgnoringModifiers(quint32 x11KeyCode, bool shift) const {
    xkb_state *state = data_->levels[shift ? 1 : 0];
    return state ? keyText(state, x11KeyCode) : QString();
}

quint32 KeyboardLayout::levelThreeModifierMask() const {
    return data_->levelThreeMask;
}
quint32 KeyboardLayout::numLockModifierMask() const {
    return data_->numLockMask;
}
quint32 KeyboardLayout::group() const {
    return data_->group;
}

namespace {

QMutex currentLayoutMutex;
std::optional<KeyboardLayout> &currentLayoutSlot() {
    static std::optional<KeyboardLayout> layout;
    return layout;
}

} // namespace

std::optional<KeyboardLayout> KeyboardLayout::current() {
    QMutexLocker lock(&currentLayoutMutex);
    return currentLayoutSlot();
}

void KeyboardLayout::setCurrent(std::optional<KeyboardLayout> layout) {
    QMutexLocker lock(&currentLayoutMutex);
    currentLayoutSlot() = std::move(layout);
}

std::optional<KeyboardLayoutShortcut> keyboardLayoutShortcut(const QString &character) {
    const auto layout = KeyboardLayout::current();
    if (!layout)
        return std::nullopt;
    return layout->shortcutForCharacter(character);
}

KeyboardLayoutShortcut resolvedGlobalHotKeyShortcut(const HotKeySettings &settings) {
    if (settings.character)
        if (const auto onLayout = keyboardLayoutShortcut(*settings.character))
            return {onLayout->keyCode, settings.modifiers | onLayout->modifiers};
    return {settings.keyCode, settings.modifiers};
}

} // namespace orvex
