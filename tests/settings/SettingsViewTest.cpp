#include "settings/SettingsView.h"
#include "settings/AppearanceSettingsSection.h"
#include "settings/GlobalHotkeySettingsSection.h"
#include "settings/NotionSettingsSection.h"
#include "settings/RankingSettingsSection.h"
#include "settings/SearchResultsSettingsSection.h"
#include "settings/SettingsStepper.h"
#include "settings/SystemIntegrationSettingsSection.h"
#include "settings/ThemePreviewCard.h"
#include "settings/WindowSettingsSection.h"

#include "hotkey-core/KeyboardLayout.h"

#include "SettingsTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace orvex {

void PrintTo(const PlistValue &value, std::ostream *os) {
    if (const auto b = value.toBool())
        *os << "bool " << (*b ? "true" : "false");
    else if (const auto i = value.toInteger())
        *os << "integer " << *i;
    else if (const auto r = value.toReal())
        *os << "real " << *r;
    else if (const auto s = value.toString())
        *os << "string \"" << s->toStdString() << "\"";
    else
        *os << "another type";
}

namespace {

using test::SettingsViewFixture;

// Replaces a field's text the way a user does: select everything, then type.
void retype(QLineEdit *field, const QString &text) {
    field->setFocus();
    field->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Backspace);
    else
        QTest::keyClicks(field, text);
}

QStringList storedSuffixes(UserDefaults &defaults) {
    QStringList suffixes;
    const SearchRankingPreferences preferences = SearchRankingSettingsStore(defaults).load();
    for (const ExtensionBoostRule &rule : preferences.extensionBoostRules())
        suffixes.append(rule.suffix + QLatin1Char('=') + QString::number(rule.boost));
    return suffixes;
}

TEST(SettingsView, EveryControlWritesItsKeyAndPostsItsNotification) {
    struct Case {
        const char *control;
        std::function<void(SettingsView &)> act;
        QString key;
        std::optional<PlistValue> value; // none: `verify` checks the stored value
        QStringList posted;
        std::function<void(UserDefaults &)> verify = {};
    };
    const auto translation = [](SettingsView &v) { return v.searchResultsSection()->translationControls(); };
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames(QStringLiteral("us")));
    const Case cases[] = {
        {"Enable Global Hotkey",
         [](SettingsView &v) { v.globalHotkeySection()->enabledToggle()->click(); },
         "launcherHotKeyEnabled",
         PlistValue(false),
         {"LauncherHotKeyChanged"}},
        {"Shortcut recorder",
         [](SettingsView &v) {
             v.globalHotkeySection()->recorderButton()->click();
             QTest::keyClick(v.globalHotkeySection()->recorderButton(), Qt::Key_K,
                             Qt::ControlModifier | Qt::AltModifier);
         },
         "launcherHotKeyModifiers",
         PlistValue(qint64(0x1800)),
         {"LauncherHotKeyChanged"},
         [](UserDefaults &d) {
             EXPECT_EQ(d.value("launcherHotKeyModifiers"), PlistValue(qint64(0x1800)));
             EXPECT_EQ(d.value("launcherHotKeyCode"), PlistValue(qint64(40)));
             EXPECT_EQ(d.value("launcherHotKeyCharacter"), PlistValue(QStringLiteral("k")));
         }},
        {"Reset shortcut",
         [](SettingsView &v) { v.globalHotkeySection()->resetButton()->click(); },
         "launcherHotKeyCode",
         PlistValue(qint64(49)),
         {"LauncherHotKeyChanged"}},
        {"Show Search Snippets",
         [](SettingsView &v) { v.searchResultsSection()->snippetsToggle()->click(); },
         "showSnippets",
         PlistValue(true),
         {"ShowSnippetsChanged"}},
        {"Show Search Scores",
         [](SettingsView &v) { v.searchResultsSection()->scoresToggle()->click(); },
         "launcherShowSearchScores",
         PlistValue(false),
         {"LauncherScoreVisibilityChanged"}},
        {"Search Debounce up",
         [](SettingsView &v) { v.searchResultsSection()->debounceStepper()->upButton()->click(); },
         "launcherSearchDebounceMilliseconds",
         PlistValue(qint64(60)),
         {"LauncherSearchDebounceChanged"}},
        {"Search Debounce down",
         [](SettingsView &v) { v.searchResultsSection()->debounceStepper()->downButton()->click(); },
         "launcherSearchDebounceMilliseconds",
         PlistValue(qint64(40)),
         {"LauncherSearchDebounceChanged"}},
        {"Session Persistence up",
         [](SettingsView &v) { v.searchResultsSection()->sessionStepper()->upButton()->click(); },
         "launcherSessionPersistenceSeconds",
         PlistValue(qint64(11)),
         {"LauncherSessionPersistenceChanged"}},
        {"Session Persistence down",
         [](SettingsView &v) { v.searchResultsSection()->sessionStepper()->downButton()->click(); },
         "launcherSessionPersistenceSeconds",
         PlistValue(qint64(9)),
         {"LauncherSessionPersistenceChanged"}},
        {"Translation Trigger",
         [&](SettingsView &v) { retype(translation(v)->triggerField(), " Tr!x"); },
         "launcherTranslationTrigger",
         PlistValue(QStringLiteral("trx")),
         {}},
        {"Translation Languages",
         [&](SettingsView &v) { retype(translation(v)->languagesField(), "en,fr,de"); },
         "launcherTranslationLanguageCodes",
         PlistValue(QStringLiteral("en,fr,de")),
         {}},
        {"Argos checkbox",
         [&](SettingsView &v) { translation(v)->engineRow(TranslationEngineID::argos).checkbox->click(); },
         "launcherTranslationEngineEnabled",
         PlistValue(QStringLiteral("apple")),
         {}},
        {"Argos up arrow",
         [&](SettingsView &v) { translation(v)->engineRow(TranslationEngineID::argos).upButton->click(); },
         "launcherTranslationEngineOrder",
         PlistValue(QStringLiteral("argos,apple")),
         {}},
        {"Add Rule, type, Save",
         [](SettingsView &v) {
             v.rankingSection()->addButton()->click();
             QTest::keyClicks(v.rankingSection()->ruleRows().last().suffixField, "MD");
             v.rankingSection()->saveButton()->click();
         },
         "launcherExtensionBoostRules",
         std::nullopt,
         {"LauncherRankingSettingsChanged"},
         [](UserDefaults &d) {
             EXPECT_EQ(storedSuffixes(d).last(), ".md=0");
             EXPECT_EQ(storedSuffixes(d).size(), 8);
         }},
        {"Reset",
         [](SettingsView &v) { v.rankingSection()->resetButton()->click(); },
         "launcherExtensionBoostRules",
         std::nullopt,
         {"LauncherRankingSettingsChanged"},
         [](UserDefaults &d) {
             EXPECT_EQ(storedSuffixes(d), QStringList({".gsheet=140", ".gdoc=120", ".url=320", ".webloc=320",
                                                       ".app=120", ".pdf=40", ".txt=10"}));
         }},
        {"Search Notion Pages",
         [](SettingsView &v) { v.notionSection()->enabledToggle()->click(); },
         "notionSearchEnabled",
         PlistValue(true),
         {"NotionSettingsChanged"}},
        {"Notion token",
         [](SettingsView &v) {
             v.notionSection()->model().setNotionEnabled(true);
             QTest::keyClicks(v.notionSection()->tokenField(), "n");
         },
         "notionIntegrationToken",
         PlistValue(QStringLiteral("n")),
         {"NotionSettingsChanged", "NotionSettingsChanged"}},
        {"Snap Window to Grid",
         [](SettingsView &v) { v.windowSection()->snapToggle()->click(); },
         "launcherSnapToGrid",
         PlistValue(false),
         {"LauncherWindowSnapChanged"}},
        {"Show Tray Icon",
         [](SettingsView &v) { v.windowSection()->menuBarIconToggle()->click(); },
         "launcherShowMenuBarIcon",
         PlistValue(false),
         {"LauncherMenuBarIconVisibilityChanged"}},
        {"Show Version Number",
         [](SettingsView &v) { v.windowSection()->versionToggle()->click(); },
         "launcherShowVersionNumber",
         PlistValue(false),
         {"LauncherVersionVisibilityChanged"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.control);
        SettingsViewFixture f;
        f.view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f.view.get()));
        c.act(*f.view);
        // Text fields store on every keystroke, before they are left.
        EXPECT_EQ(f.recorder.posted(), c.posted);
        if (c.value) {
            EXPECT_EQ(f.defaults.value(c.key), c.value);
        } else {
            ASSERT_TRUE(f.defaults.value(c.key).has_value());
        }
        if (c.verify)
            c.verify(f.defaults);
    }
    KeyboardLayout::setCurrent(std::nullopt);
}

TEST(SettingsView, SeedsEveryFieldOnceFromTheStores) {
    SettingsViewFixture f([](UserDefaults &d) {
        d.set("launcherHotKeyEnabled", PlistValue(false));
        d.set("launcherHotKeyCode", PlistValue(qint64(40)));
        d.set("launcherHotKeyModifiers", PlistValue(qint64(0x300)));
        d.set("launcherHotKeyCharacter", PlistValue(QStringLiteral("K")));
        d.set("launcherThemeID", PlistValue(QStringLiteral("noSuchTheme")));
        d.set("launcherUseNativeAppIcons", PlistValue(true));
        d.set("launcherRunAtLogin", PlistValue(true));
        d.set("showSnippets", PlistValue(true));
        d.set("launcherSearchDebounceMilliseconds", PlistValue(qint64(1000)));
        d.set("launcherSessionPersistenceSeconds", PlistValue(qint64(-3)));
        d.set("launcherShowSearchScores", PlistValue(false));
        d.set("launcherTranslationTrigger", PlistValue(QStringLiteral(" TR ")));
        d.set("launcherTranslationLanguageCodes", PlistValue(QStringLiteral("fr")));
        d.set("launcherTranslationEngineOrder", PlistValue(QStringLiteral("argos")));
        d.set("launcherTranslationEngineEnabled", PlistValue(QStringLiteral("argos")));
        d.set("launcherSnapToGrid", PlistValue(false));
        d.set("launcherShowMenuBarIcon", PlistValue(false));
        d.set("launcherShowVersionNumber", PlistValue(QStringLiteral("no")));
    });
    const SettingsViewModel &m = f.view->model();
    EXPECT_TRUE(m.showSnippets());
    EXPECT_EQ(m.searchDebounceMilliseconds(), 500);
    EXPECT_EQ(m.sessionPersistenceSeconds(), 0);
    EXPECT_FALSE(m.showSearchScores());
    EXPECT_EQ(m.translationTrigger(), "tr");
    EXPECT_EQ(m.translationLanguageCodesText(), "fr,en");
    EXPECT_EQ(m.translationEngineOrder(),
              TranslationEngineIDs({TranslationEngineID::argos, TranslationEngineID::apple}));
    EXPECT_EQ(m.translationEnabledEngineIDs(), TranslationEngineIDSet({TranslationEngineID::argos}));
    EXPECT_EQ(m.extensionBoostRules().size(), 7);
    EXPECT_EQ(m.extensionBoostRules(), m.savedExtensionBoostRules());
    EXPECT_FALSE(m.snapWindowToGrid());
    EXPECT_FALSE(m.showMenuBarIcon());
    // Not a Boolean: the default.
    EXPECT_TRUE(m.showVersionNumber());
    EXPECT_EQ(m.currentHotKeySettings(), HotKeySettings(false, 40, 0x300, QStringLiteral("k")));
    EXPECT_EQ(m.launcherThemeID(), LauncherThemeID::graphite);
    EXPECT_TRUE(m.useNativeAppIcons());
    EXPECT_TRUE(m.runAtLoginEnabled());
    EXPECT_EQ(m.registrationMessage(), std::nullopt);
    EXPECT_EQ(m.runAtLoginMessage(), std::nullopt);

    const SearchResultsSettingsSection *results = f.view->searchResultsSection();
    EXPECT_EQ(results->debounceValue()->text(), "500 ms");
    EXPECT_EQ(results->sessionValue()->text(), "0 s");
    EXPECT_TRUE(f.view->windowSection()->reopenHint()->isVisibleTo(f.view.get()));
    EXPECT_TRUE(f.recorder.posted().isEmpty());

    // Changed elsewhere afterwards: the open view keeps what it read.
    f.defaults.set("launcherSnapToGrid", PlistValue(true));
    EXPECT_FALSE(f.view->windowSection()->snapToggle()->isChecked());
}

TEST(SettingsView, NumbersAreClampedWrittenBackAndShown) {
    struct Case {
        const char *name;
        std::function<void(SettingsViewModel &)> set;
        QString key;
        qint64 expected;
    };
    const Case cases[] = {
        {"debounce 5", [](SettingsViewModel &m) { m.setSearchDebounceMilliseconds(5); },
         "launcherSearchDebounceMilliseconds", 10},
        {"debounce 1000", [](SettingsViewModel &m) { m.setSearchDebounceMilliseconds(1000); },
         "launcherSearchDebounceMilliseconds", 500},
        {"session 200", [](SettingsViewModel &m) { m.setSessionPersistenceSeconds(200); },
         "launcherSessionPersistenceSeconds", 120},
        {"session -3", [](SettingsViewModel &m) { m.setSessionPersistenceSeconds(-3); },
         "launcherSessionPersistenceSeconds", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SettingsViewFixture f;
        c.set(f.view->model());
        EXPECT_EQ(f.defaults.integerValue(c.key), c.expected);
    }
    SettingsViewFixture f;
    f.view->model().setSearchDebounceMilliseconds(5);
    EXPECT_EQ(f.view->searchResultsSection()->debounceValue()->text(), "10 ms");
    // The stepper stops at its bounds and steps by 10.
    EXPECT_FALSE(f.view->searchResultsSection()->debounceStepper()->downButton()->isEnabled());
    f.view->searchResultsSection()->debounceStepper()->upButton()->click();
    EXPECT_EQ(f.view->model().searchDebounceMilliseconds(), 20);
    f.view->model().setSessionPersistenceSeconds(120);
    EXPECT_FALSE(f.view->searchResultsSection()->sessionStepper()->upButton()->isEnabled());
    EXPECT_EQ(f.view->searchResultsSection()->sessionValue()->text(), "120 s");
}

TEST(SettingsView, TranslationFieldsStoreTheNormalisedValueAndRespellWhenLeft) {
    SettingsViewFixture f;
    f.view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.view.get()));
    TranslationSettingsControlsView *controls = f.view->searchResultsSection()->translationControls();

    // Typing a list key by key: each comma stays in the field while the store already has the codes.
    retype(controls->languagesField(), "en,de,fr");
    EXPECT_EQ(controls->languagesField()->text(), "en,de,fr");
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationLanguageCodes"), "en,de,fr");
    retype(controls->languagesField(), "EN,, De ,x1,");
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationLanguageCodes"), "en,de,x");
    EXPECT_EQ(controls->languagesField()->text(), "EN,, De ,x1,");
    QTest::keyClick(controls->languagesField(), Qt::Key_Return);
    EXPECT_EQ(controls->languagesField()->text(), "en,de,x");
    // One code is shown as typed; the store completes it to two.
    retype(controls->languagesField(), "fr");
    QTest::keyClick(controls->languagesField(), Qt::Key_Return);
    EXPECT_EQ(controls->languagesField()->text(), "fr");
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationLanguageCodes"), "fr,en");
    // Nothing usable: the default codes.
    retype(controls->languagesField(), ",,");
    QTest::keyClick(controls->languagesField(), Qt::Key_Return);
    EXPECT_EQ(controls->languagesField()->text(), "en,de");

    // The help line shows the trigger exactly as typed.
    retype(controls->triggerField(), " Tr.X ");
    EXPECT_EQ(controls->triggerHelp()->text(),
              "Use this prefix in search (for example \" Tr.X  hello\" or \" Tr.X  en:de hello\").");
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationTrigger"), "trx");
    controls->languagesField()->setFocus();
    EXPECT_EQ(controls->triggerField()->text(), "trx");
    EXPECT_EQ(controls->triggerHelp()->text(),
              "Use this prefix in search (for example \"trx hello\" or \"trx en:de hello\").");
    // Emptied: the default trigger is stored at once and shown when the field is left.
    retype(controls->triggerField(), "");
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationTrigger"), "cc");
    EXPECT_EQ(controls->triggerField()->text(), "");
    controls->languagesField()->setFocus();
    EXPECT_EQ(controls->triggerField()->text(), "cc");
    EXPECT_TRUE(f.recorder.posted().isEmpty());
}

TEST(SettingsView, EngineChangesWriteOrderAndEnabledSetTogether) {
    SettingsViewFixture f;
    TranslationSettingsControlsView *controls = f.view->searchResultsSection()->translationControls();
    controls->engineRow(TranslationEngineID::apple).downButton->click();
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationEngineOrder"), "argos,apple");
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationEngineEnabled"), "argos,apple");
    EXPECT_EQ(controls->engineRowOrder(),
              TranslationEngineIDs({TranslationEngineID::argos, TranslationEngineID::apple}));
    controls->engineRow(TranslationEngineID::apple).checkbox->click();
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationEngineEnabled"), "argos");
    // The last enabled engine cannot be switched off.
    controls->engineRow(TranslationEngineID::argos).checkbox->click();
    EXPECT_TRUE(controls->engineRow(TranslationEngineID::argos).checkbox->isChecked());
    EXPECT_EQ(f.defaults.stringValue("launcherTranslationEngineEnabled"), "argos");
    EXPECT_TRUE(f.recorder.posted().isEmpty());
}

TEST(SettingsView, OneColumnBelow860AndTwoFromIt) {
    struct Case {
        int viewWidth;
        bool wide;
        int leftWidth;
    };
    // The usable width is the view's less 2 × 16.
    const Case cases[] = {
        {460, false, 0},  {891, false, 0},   {892, true, 340},
        {976, true, 340}, {1032, true, 360}, {1200, true, 420},
    };
    SettingsViewFixture f;
    f.view->show();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.viewWidth);
        f.view->resize(c.viewWidth, 620);
        QCoreApplication::processEvents();
        EXPECT_EQ(f.view->isWideLayout(), c.wide);
        if (c.wide) {
            EXPECT_EQ(f.view->currentLeftColumnWidth(), c.leftWidth);
        }
        // Every section is shown in either layout.
        EXPECT_TRUE(f.view->notionSection()->isVisible());
        EXPECT_TRUE(f.view->windowSection()->isVisible());
        EXPECT_TRUE(f.view->appearanceSection()->isVisible());
        EXPECT_TRUE(f.view->globalHotkeySection()->isVisible());
    }
    EXPECT_EQ(SettingsView::leftColumnWidth(944), 340);
    EXPECT_EQ(SettingsView::leftColumnWidth(1100), 396);
    EXPECT_EQ(SettingsView::leftColumnWidth(1278), 460);
    EXPECT_EQ(SettingsView::leftColumnWidth(2000), 460);
}

} // namespace
} // namespace orvex
