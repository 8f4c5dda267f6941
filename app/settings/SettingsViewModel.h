#pragma once

#include "settings/SettingsStores.h"

#include "platform/NotificationCenter.h"

#include "hotkey-core/HotKeySettings.h"
#include "launch-at-login/LaunchAtLoginManager.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace orvex {

// The settings window's editable copy of every preference, seeded once from the stores when it is made.
// Each setter is the change handler of its field: when the value really changes it writes the store's
// key and posts the field's change notification (translation settings post nothing). The ranking rules
// are edited as an unsaved copy that only Save and Reset write. No widgets: the settings view shows this
// state and forwards the user's edits here; stateChanged() tells it to refresh.
class ShortcutRecorderController;

// Sentences of the hot-key and start-at-login controls.
namespace SettingsMessages {
inline const QString hotKeyRegistered = QStringLiteral("Hotkey registered successfully.");
inline const QString hotKeyNotRegistered =
    QStringLiteral("Hotkey could not be registered. It may be used by another app or the desktop.");
// The failure sentence followed by the reason, when one is known.
QString hotKeyNotRegisteredBecause(const std::optional<QString> &reason);
inline const QString menuBarIconGuard = QStringLiteral("Enable Global Hotkey before hiding the tray icon.");
inline const QString runAtLoginEnabled = QStringLiteral("Launcher will start automatically when you log in.");
inline const QString runAtLoginDisabled = QStringLiteral("Launcher will not start automatically.");
inline const QString runAtLoginRequiresApproval =
    QStringLiteral("Approve Launcher in your desktop's startup applications.");
} // namespace SettingsMessages

class SettingsViewModel : public QObject {
    Q_OBJECT

public:
    // Seeds the state; with no start-at-login wish stored yet, stores the manager's current state as
    // the wish. Observes "LauncherHotKeyRegistrationStatusChanged" on `center` while it lives.
    SettingsViewModel(SettingsStores stores, std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager,
                      NotificationCenter &center = NotificationCenter::defaultCenter(),
                      QObject *parent = nullptr);
    ~SettingsViewModel() override;

    const SettingsStores &stores() const { return stores_; }

    // --- State.
    bool showSnippets() const { return showSnippets_; }
    qint64 searchDebounceMilliseconds() const { return searchDebounceMilliseconds_; }
    qint64 sessionPersistenceSeconds() const { return sessionPersistenceSeconds_; }
    bool showSearchScores() const { return showSearchScores_; }
    const QString &translationTrigger() const { return translationTrigger_; }
    const QString &translationLanguageCodesText() const { return translationLanguageCodesText_; }
    const TranslationEngineIDs &translationEngineOrder() const { return translationEngineOrder_; }
    const TranslationEngineIDSet &translationEnabledEngineIDs() const { return translationEnabledEngineIDs_; }
    const ExtensionBoostRules &extensionBoostRules() const { return extensionBoostRules_; }
    const ExtensionBoostRules &savedExtensionBoostRules() const { return savedExtensionBoostRules_; }
    bool snapWindowToGrid() const { return snapWindowToGrid_; }
    bool showMenuBarIcon() const { return showMenuBarIcon_; }
    bool showVersionNumber() const { return showVersionNumber_; }
    bool hotKeyEnabled() const { return hotKeyEnabled_; }
    quint32 hotKeyKeyCode() const { return hotKeyKeyCode_; }
    quint32 hotKeyModifiers() const { return hotKeyModifiers_; }
    const std::optional<QString> &hotKeyCharacter() const { return hotKeyCharacter_; }
    LauncherThemeID launcherThemeID() const { return launcherThemeID_; }
    bool useNativeAppIcons() const { return useNativeAppIcons_; }
    bool runAtLoginEnabled() const { return runAtLoginEnabled_; }
    // The last hot-key outcome: registration status, a refused shortcut or the menu-bar-icon guard.
    const std::optional<QString> &registrationMessage() const { return registrationMessage_; }
    const std::optional<QString> &runAtLoginMessage() const { return runAtLoginMessage_; }

    // --- Global hot key.
    HotKeySettings currentHotKeySettings() const;
    ShortcutRecorderController &shortcutRecorder() const { return *shortcutRecorder_; }
    // "Disabled", the shortcut in its compact form ("Ctrl+Space"), or while recording the held modifiers
    // and "+…" ("Record Shortcut" while none is held).
    QString shortcutRecorderDisplayText() const;
    // Stops recording when switched off; saves the hot key and posts "LauncherHotKeyChanged".
    void setHotKeyEnabled(bool enabled);
    // Records the next shortcut (nothing while the hot key is off); a capture is saved and posted.
    void beginShortcutRecording();
    // Control+Space, saved and posted; the enabled flag and the message stay.
    void resetShortcutToDefault();
    // The view's content went away: no recording outlives it.
    void viewDisappeared();
    // Where a reported registration failure finds its reason (asked at each report); none: the
    // failure sentence alone.
    void setHotKeyFailureReason(std::function<std::optional<QString>()> reason);

    // --- Search results.
    void setShowSnippets(bool value);
    // Clamped to the store's limits before it is kept and written.
    void setSearchDebounceMilliseconds(qint64 value);
    void setSessionPersistenceSeconds(qint64 value);
    void setShowSearchScores(bool value);

    // --- Translation. Text fields: every edit stores the normalised value at once while the field keeps
    // the text as typed; commit (the field was left or Return pressed) puts the normalised text in the
    // field, so a comma or a blank can be typed before the next code.
    void setTranslationTrigger(const QString &text);
    void commitTranslationTrigger();
    void setTranslationLanguageCodesText(const QString &text);
    void commitTranslationLanguageCodesText();
    // Normalised (every engine once; never an empty enabled set), kept and stored.
    void setTranslationEngineOrder(const TranslationEngineIDs &order);
    void setTranslationEnabledEngineIDs(const TranslationEngineIDSet &enabled);

    // --- Window.
    void setSnapWindowToGrid(bool value);
    // Hiding the icon while the hot key is off is refused with the guard sentence: nothing would be
    // left to reach the launcher by.
    void setShowMenuBarIcon(bool value);
    void setShowVersionNumber(bool value);

    // --- Appearance.
    // Stores the theme's raw text and posts "LauncherThemeChanged".
    void setLauncherThemeID(LauncherThemeID theme);
    void setUseNativeAppIcons(bool value);

    // --- Start at login: stores the wish, asks the manager, then keeps and stores what the system
    // reports with its sentence (or the failure's description). Posts nothing.
    void updateRunAtLoginPreference(bool enabled);

    // --- Ranking rules (the unsaved copy).
    std::optional<QString> rankingValidationMessage() const;
    // Valid and different from the saved rules (identifiers count).
    bool canSaveRankingSettings() const;
    const std::optional<QUuid> &focusedExtensionBoostRuleID() const { return focusedExtensionBoostRuleID_; }
    void setFocusedExtensionBoostRuleID(const std::optional<QUuid> &id);
    // A rule with a fresh id, an empty suffix and boost 0, appended and focused.
    void addExtensionBoostRule();
    // Removes every rule with `id`; clears the focus when it was on that rule.
    void removeExtensionBoostRule(const QUuid &id);
    // The edited copy as the editor's rows now hold it (boosts clamped to the store's limits).
    void setExtensionBoostRules(const ExtensionBoostRules &rules);
    // Does nothing while a validation message stands; otherwise stores the normalised rules, shows them
    // as saved and posts "LauncherRankingSettingsChanged".
    void persistRankingSettings();
    // The seven built-in rules, stored at once; unsaved edits are dropped.
    void resetExtensionBoostRules();

Q_SIGNALS:
    // Any field changed; the view refreshes what it shows.
    void stateChanged();

private:
    void post(QLatin1StringView name);
    void saveHotKey();
    void registrationStatusChanged(const Notification &notification);
    void persistTranslationTrigger(bool updateState);
    void persistTranslationLanguageCodes(bool updateState);
    void persistTranslationEngineSettings();

    SettingsStores stores_;
    std::shared_ptr<LaunchAtLoginManaging> launchAtLoginManager_;
    NotificationCenter &center_;
    NotificationCenter::ObserverToken registrationObserver_ = 0;
    ShortcutRecorderController *shortcutRecorder_;
    std::function<std::optional<QString>()> hotKeyFailureReason_;

    bool showSnippets_ = false;
    qint64 searchDebounceMilliseconds_ = 0;
    qint64 sessionPersistenceSeconds_ = 0;
    bool showSearchScores_ = true;
    QString translationTrigger_;
    QString translationLanguageCodesText_;
    TranslationEngineIDs translationEngineOrder_;
    TranslationEngineIDSet translationEnabledEngineIDs_;
    ExtensionBoostRules extensionBoostRules_;
    ExtensionBoostRules savedExtensionBoostRules_;
    bool snapWindowToGrid_ = true;
    bool showMenuBarIcon_ = true;
    bool showVersionNumber_ = true;
    bool hotKeyEnabled_ = true;
    quint32 hotKeyKeyCode_ = 0;
    quint32 hotKeyModifiers_ = 0;
    std::optional<QString> hotKeyCharacter_;
    LauncherThemeID launcherThemeID_ = LauncherThemeID::graphite;
    bool useNativeAppIcons_ = false;
    bool runAtLoginEnabled_ = false;
    std::optional<QString> registrationMessage_;
    std::optional<QString> runAtLoginMessage_;

    std::optional<QUuid> focusedExtensionBoostRuleID_;
};

} // namespace orvex
