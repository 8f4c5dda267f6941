#include "settings/SettingsViewModel.h"

#include "platform/MainQueue.h"
#include "search/LauncherNotifications.h"
#include "sources/TranslationCommand.h"

#include "hotkey-core/KeyNames.h"
#include "hotkey-core/ShortcutRecorderController.h"

#include <QPointer>
#include <QThread>

#include <algorithm>

namespace orvex {

QString SettingsMessages::hotKeyNotRegisteredBecause(const std::optional<QString> &reason) {
    if (!reason || reason->isEmpty())
        return hotKeyNotRegistered;
    return hotKeyNotRegistered + QStringLiteral(" Reason: ") + *reason + QLatin1Char('.');
}

SettingsViewModel::SettingsViewModel(SettingsStores stores,
                                     std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager,
                                     NotificationCenter &center, QObject *parent)
    : QObject(parent), stores_(std::move(stores)), launchAtLoginManager_(std::move(launchAtLoginManager)),
      center_(center), shortcutRecorder_(new ShortcutRecorderController(this)) {
    showSnippets_ = stores_.snippetDefaults->boolValue(stores_.showSnippetsKey).value_or(false);
    searchDebounceMilliseconds_ = stores_.searchDebounceSettingsStore.load();
    sessionPersistenceSeconds_ = stores_.sessionPersistenceSettingsStore.load();
    showSearchScores_ = stores_.searchScoreVisibilityStore.load(true);

    const TranslationCommandSettingsStore &triggerStore = stores_.translationCommandSettingsStore;
    translationTrigger_ =
        TranslationCommandParser::normalizeTrigger(triggerStore.rawTrigger(), triggerStore.defaultTrigger);
    translationLanguageCodesText_ = stores_.translationLanguageSettingsStore.load().join(QLatin1Char(','));
    const TranslationEnginePreferences engines = stores_.translationEngineSettingsStore.load();
    translationEngineOrder_ = engines.order;
    translationEnabledEngineIDs_ = engines.enabled;

    extensionBoostRules_ = stores_.searchRankingSettingsStore.load().extensionBoostRules();
    savedExtensionBoostRules_ = extensionBoostRules_;

    snapWindowToGrid_ = stores_.windowSnapSettingsStore.load(true);
    showMenuBarIcon_ = stores_.menuBarIconVisibilityStore.load(true);
    showVersionNumber_ = stores_.versionVisibilityStore.load(true);

    const HotKeySettings hotKey = stores_.hotKeyStore.load(HotKeySettings::defaultSettings());
    hotKeyEnabled_ = hotKey.isEnabled;
    hotKeyKeyCode_ = hotKey.keyCode;
    hotKeyModifiers_ = hotKey.modifiers;
    hotKeyCharacter_ = hotKey.character;
    launcherThemeID_ = stores_.launcherThemeStore.load();
    useNativeAppIcons_ = stores_.launcherIconSettingsStore.load(false);

    const LaunchAtLoginPreferenceStore &wish = stores_.launchAtLoginSettingsStore.preferenceStore;
    if (const std::optional<bool> stored = wish.storedValue()) {
        runAtLoginEnabled_ = *stored;
    } else {
        runAtLoginEnabled_ =
            launchAtLoginManager_ && shouldEnableToggle(launchAtLoginManager_->currentState());
        wish.save(runAtLoginEnabled_);
    }

    // The recorder button shows the keys held while recording.
    connect(shortcutRecorder_, &ShortcutRecorderController::isRecordingChanged, this,
            &SettingsViewModel::stateChanged);
    connect(shortcutRecorder_, &ShortcutRecorderController::previewModifiersChanged, this,
            &SettingsViewModel::stateChanged);

    // A status posted on another thread is applied on this object's thread.
    registrationObserver_ =
        center_.addObserver(QString(NotificationName::launcherHotKeyRegistrationStatusChanged),
                            [self = QPointer<SettingsViewModel>(this)](const Notification &notification) {
                                if (!self)
                                    return;
                                if (QThread::currentThread() == self->thread()) {
                                    self->registrationStatusChanged(notification);
                                    return;
                                }
                                MainQueue::post(self.data(), [self, notification] {
                                    self->registrationStatusChanged(notification);
                                });
                            });
}

SettingsViewModel::~SettingsViewModel() {
    center_.removeObserver(registrationObserver_);
    shortcutRecorder_->stopRecording();
}

void SettingsViewModel::post(QLatin1StringView name) {
    center_.post(QString(name));
}

// --- Search results.

void SettingsViewModel::setShowSnippets(bool value) {
    if (value == showSnippets_)
        return;
    showSnippets_ = value;
    stores_.snippetDefaults->set(stores_.showSnippetsKey, PlistValue(value));
    post(NotificationName::launcherShowSnippetsChanged);
    Q_EMIT stateChanged();
}

void SettingsViewModel::setSearchDebounceMilliseconds(qint64 value) {
    const SearchDebounceSettingsStore &store = stores_.searchDebounceSettingsStore;
    const qint64 clamped = std::clamp(value, store.minimumMilliseconds, store.maximumMilliseconds);
    if (clamped == searchDebounceMilliseconds_) {
        // A value that clamps back to the current one still needs the view to show the clamped number.
        if (clamped != value)
            Q_EMIT stateChanged();
        return;
    }
    searchDebounceMilliseconds_ = clamped;
    store.defaults->set(store.debounceMillisecondsKey, PlistValue(clamped));
    post(NotificationName::launcherSearchDebounceChanged);
    Q_EMIT stateChanged();
}

void SettingsViewModel::setSessionPersistenceSeconds(qint64 value) {
    const SessionPersistenceSettingsStore &store = stores_.sessionPersistenceSettingsStore;
    const qint64 clamped = std::clamp(value, store.minimumSeconds, store.maximumSeconds);
    if (clamped == sessionPersistenceSeconds_) {
        if (clamped != value)
            Q_EMIT stateChanged();
        return;
    }
    sessionPersistenceSeconds_ = clamped;
    store.defaults->set(store.persistenceSecondsKey, PlistValue(clamped));
    post(NotificationName::launcherSessionPersistenceChanged);
    Q_EMIT stateChanged();
}

void SettingsViewModel::setShowSearchScores(bool value) {
    if (value == showSearchScores_)
        return;
    showSearchScores_ = value;
    const SearchScoreVisibilityStore &store = stores_.searchScoreVisibilityStore;
    store.defaults->set(store.showScoresKey, PlistValue(value));
    post(NotificationName::launcherScoreVisibilityChanged);
    Q_EMIT stateChanged();
}

// --- Translation.

void SettingsViewModel::persistTranslationTrigger(bool updateState) {
    const TranslationCommandSettingsStore &store = stores_.translationCommandSettingsStore;
    const QString normalized =
        TranslationCommandParser::normalizeTrigger(translationTrigger_, store.defaultTrigger);
    if (updateState && normalized != translationTrigger_)
        translationTrigger_ = normalized;
    store.defaults->set(store.translationTriggerKey, PlistValue(TranslationCommandParser::normalizeTrigger(
                                                         normalized, store.defaultTrigger)));
}

void SettingsViewModel::setTranslationTrigger(const QString &text) {
    if (text == translationTrigger_)
        return;
    translationTrigger_ = text;
    persistTranslationTrigger(false);
    Q_EMIT stateChanged();
}

void SettingsViewModel::commitTranslationTrigger() {
    const QString before = translationTrigger_;
    persistTranslationTrigger(true);
    if (translationTrigger_ != before)
        Q_EMIT stateChanged();
}

void SettingsViewModel::persistTranslationLanguageCodes(bool updateState) {
    const TranslationLanguageSettingsStore &store = stores_.translationLanguageSettingsStore;
    QStringList codes = store.normalizedLanguageCodesFromRawValue(translationLanguageCodesText_);
    if (codes.isEmpty())
        codes = store.normalizedLanguageCodes(store.defaultLanguageCodes);
    const QString text = codes.join(QLatin1Char(','));
    if (updateState && text != translationLanguageCodesText_)
        translationLanguageCodesText_ = text;
    store.save(text);
}

void SettingsViewModel::setTranslationLanguageCodesText(const QString &text) {
    if (text == translationLanguageCodesText_)
        return;
    translationLanguageCodesText_ = text;
    persistTranslationLanguageCodes(false);
    Q_EMIT stateChanged();
}

void SettingsViewModel::commitTranslationLanguageCodesText() {
    const QString before = translationLanguageCodesText_;
    persistTranslationLanguageCodes(true);
    if (translationLanguageCodesText_ != before)
        Q_EMIT stateChanged();
}

void SettingsViewModel::persistTranslationEngineSettings() {
    const TranslationEngineSettingsStore &store = stores_.translationEngineSettingsStore;
    translationEngineOrder_ = store.normalizedEngineOrder(translationEngineOrder_);
    translationEnabledEngineIDs_ = store.normalizedEnabledEngineIDs(translationEnabledEngineIDs_);
    store.save(translationEngineOrder_, translationEnabledEngineIDs_);
}

void SettingsViewModel::setTranslationEngineOrder(const TranslationEngineIDs &order) {
    if (order == translationEngineOrder_)
        return;
    translationEngineOrder_ = order;
    persistTranslationEngineSettings();
    Q_EMIT stateChanged();
}

void SettingsViewModel::setTranslationEnabledEngineIDs(const TranslationEngineIDSet &enabled) {
    if (enabled == translationEnabledEngineIDs_)
        return;
    translationEnabledEngineIDs_ = enabled;
    persistTranslationEngineSettings();
    Q_EMIT stateChanged();
}

// --- Window.

void SettingsViewModel::setSnapWindowToGrid(bool value) {
    if (value == snapWindowToGrid_)
        return;
    snapWindowToGrid_ = value;
    const WindowSnapSettingsStore &store = stores_.windowSnapSettingsStore;
    store.defaults->set(store.snapToGridKey, PlistValue(value));
    post(NotificationName::launcherWindowSnapChanged);
    Q_EMIT stateChanged();
}

void SettingsViewModel::setShowMenuBarIcon(bool value) {
    if (!value && !hotKeyEnabled_) {
        registrationMessage_ = SettingsMessages::menuBarIconGuard;
        showMenuBarIcon_ = true;
        Q_EMIT stateChanged();
        return;
    }
    if (value == showMenuBarIcon_)
        return;
    showMenuBarIcon_ = value;
    const MenuBarIconVisibilityStore &store = stores_.menuBarIconVisibilityStore;
    store.defaults->set(store.showMenuBarIconKey, PlistValue(value));
    post(NotificationName::launcherMenuBarIconVisibilityChanged);
    Q_EMIT stateChanged();
}

void SettingsViewModel::setShowVersionNumber(bool value) {
    if (value == showVersionNumber_)
        return;
    showVersionNumber_ = value;
    const VersionVisibilityStore &store = stores_.versionVisibilityStore;
    store.defaults->set(store.showVersionNumberKey, PlistValue(value));
    post(NotificationName::launcherVersionVisibilityChanged);
    Q_EMIT stateChanged();
}

// --- Appearance.

void SettingsViewModel::setLauncherThemeID(LauncherThemeID theme) {
    if (theme == launcherThemeID_)
        return;
    launcherThemeID_ = theme;
    stores_.launcherThemeStore.save(theme, center_);
    Q_EMIT stateChanged();
}

void SettingsViewModel::setUseNativeAppIcons(bool value) {
    if (value == useNativeAppIcons_)
        return;
    useNativeAppIcons_ = value;
    stores_.launcherIconSettingsStore.save(value, center_);
    Q_EMIT stateChanged();
}

// --- Global hot key.

HotKeySettings SettingsViewModel::currentHotKeySettings() const {
    return HotKeySettings(hotKeyEnabled_, hotKeyKeyCode_, hotKeyModifiers_, hotKeyCharacter_);
}

QString SettingsViewModel::shortcutRecorderDisplayText() const {
    if (!hotKeyEnabled_)
        return QStringLiteral("Disabled");
    if (!shortcutRecorder_->isRecording())
        return hotKeySymbolDisplayString(currentHotKeySettings());
    const QString held = hotKeyModifierSymbolString(shortcutRecorder_->previewModifiers());
    return held.isEmpty() ? QStringLiteral("Record Shortcut") : held + QStringLiteral("+…");
}

void SettingsViewModel::saveHotKey() {
    stores_.hotKeyStore.save(currentHotKeySettings());
    post(NotificationName::launcherHotKeyChanged);
}

void SettingsViewModel::setHotKeyEnabled(bool enabled) {
    if (enabled == hotKeyEnabled_)
        return;
    hotKeyEnabled_ = enabled;
    if (!enabled)
        shortcutRecorder_->stopRecording();
    saveHotKey();
    Q_EMIT stateChanged();
}

void SettingsViewModel::beginShortcutRecording() {
    if (!hotKeyEnabled_)
        return;
    registrationMessage_.reset();
    shortcutRecorder_->startRecordingShortcut(
        [this](const KeyShortcut &shortcut) {
            hotKeyKeyCode_ = shortcut.keyCode;
            hotKeyModifiers_ = shortcut.modifiers;
            hotKeyCharacter_ = shortcut.character;
            saveHotKey();
            Q_EMIT stateChanged();
        },
        [this](const QString &message) {
            registrationMessage_ = message;
            Q_EMIT stateChanged();
        });
    Q_EMIT stateChanged();
}

void SettingsViewModel::resetShortcutToDefault() {
    shortcutRecorder_->stopRecording();
    const HotKeySettings defaults = HotKeySettings::defaultSettings();
    hotKeyKeyCode_ = defaults.keyCode;
    hotKeyModifiers_ = defaults.modifiers;
    hotKeyCharacter_ = defaults.character;
    saveHotKey();
    Q_EMIT stateChanged();
}

void SettingsViewModel::viewDisappeared() {
    shortcutRecorder_->stopRecording();
}

void SettingsViewModel::registrationStatusChanged(const Notification &notification) {
    const std::optional<bool> success = notificationFlag(notification, NotificationUserInfoKey::success);
    if (success.value_or(false)) {
        registrationMessage_ = SettingsMessages::hotKeyRegistered;
    } else {
        registrationMessage_ = SettingsMessages::hotKeyNotRegisteredBecause(
            hotKeyFailureReason_ ? hotKeyFailureReason_() : std::nullopt);
    }
    Q_EMIT stateChanged();
}

void SettingsViewModel::setHotKeyFailureReason(std::function<std::optional<QString>()> reason) {
    hotKeyFailureReason_ = std::move(reason);
}

// --- Start at login.

void SettingsViewModel::updateRunAtLoginPreference(bool enabled) {
    const LaunchAtLoginPreferenceStore &wish = stores_.launchAtLoginSettingsStore.preferenceStore;
    runAtLoginEnabled_ = enabled;
    wish.save(enabled);
    if (!launchAtLoginManager_) {
        Q_EMIT stateChanged();
        return;
    }
    const LaunchAtLoginUpdateResult result = launchAtLoginManager_->update(enabled);
    if (result.error) {
        runAtLoginEnabled_ = shouldEnableToggle(launchAtLoginManager_->currentState());
        runAtLoginMessage_ = result.error->localizedDescription();
    } else {
        runAtLoginEnabled_ = shouldEnableToggle(result.state);
        switch (result.state) {
        case LaunchAtLoginState::enabled:
            runAtLoginMessage_ = SettingsMessages::runAtLoginEnabled;
            break;
        case LaunchAtLoginState::disabled:
            runAtLoginMessage_ = SettingsMessages::runAtLoginDisabled;
            break;
        case LaunchAtLoginState::requiresApproval:
            runAtLoginMessage_ = SettingsMessages::runAtLoginRequiresApproval;
            break;
        }
    }
    wish.save(runAtLoginEnabled_);
    Q_EMIT stateChanged();
}

// --- Ranking rules.

std::optional<QString> SettingsViewModel::rankingValidationMessage() const {
    return SearchRankingSettingsStore::validationMessage(extensionBoostRules_);
}

bool SettingsViewModel::canSaveRankingSettings() const {
    return !rankingValidationMessage() && extensionBoostRules_ != savedExtensionBoostRules_;
}

void SettingsViewModel::setFocusedExtensionBoostRuleID(const std::optional<QUuid> &id) {
    if (id == focusedExtensionBoostRuleID_)
        return;
    focusedExtensionBoostRuleID_ = id;
    Q_EMIT stateChanged();
}

void SettingsViewModel::addExtensionBoostRule() {
    const ExtensionBoostRule rule{.id = QUuid::createUuid(), .suffix = QString(), .boost = 0};
    extensionBoostRules_.append(rule);
    focusedExtensionBoostRuleID_ = rule.id;
    Q_EMIT stateChanged();
}

void SettingsViewModel::removeExtensionBoostRule(const QUuid &id) {
    const qsizetype removed =
        extensionBoostRules_.removeIf([&](const ExtensionBoostRule &rule) { return rule.id == id; });
    const bool focusCleared = focusedExtensionBoostRuleID_ == id;
    if (focusCleared)
        focusedExtensionBoostRuleID_.reset();
    if (removed > 0 || focusCleared)
        Q_EMIT stateChanged();
}

void SettingsViewModel::setExtensionBoostRules(const ExtensionBoostRules &rules) {
    const SearchRankingSettingsStore &store = stores_.searchRankingSettingsStore;
    ExtensionBoostRules clamped = rules;
    for (ExtensionBoostRule &rule : clamped)
        rule.boost = std::clamp(rule.boost, store.minimumBoost, store.maximumBoost);
    if (clamped == extensionBoostRules_)
        return;
    extensionBoostRules_ = clamped;
    Q_EMIT stateChanged();
}

void SettingsViewModel::persistRankingSettings() {
    if (rankingValidationMessage())
        return;
    const SearchRankingSettingsStore &store = stores_.searchRankingSettingsStore;
    const ExtensionBoostRules normalized = store.normalizedExtensionBoostRules(extensionBoostRules_);
    store.save(normalized);
    extensionBoostRules_ = normalized;
    savedExtensionBoostRules_ = normalized;
    post(NotificationName::launcherRankingSettingsChanged);
    Q_EMIT stateChanged();
}

void SettingsViewModel::resetExtensionBoostRules() {
    const SearchRankingSettingsStore &store = stores_.searchRankingSettingsStore;
    extensionBoostRules_ = store.defaultExtensionBoostRules;
    savedExtensionBoostRules_ = store.defaultExtensionBoostRules;
    focusedExtensionBoostRuleID_.reset();
    store.save(store.defaultExtensionBoostRules);
    post(NotificationName::launcherRankingSettingsChanged);
    Q_EMIT stateChanged();
}

} // namespace orvex
