#include "settings/RankingSettingsSection.h"
#include "settings/SettingsStepper.h"
#include "settings/SettingsView.h"

#include "SettingsTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::SettingsViewFixture;

// A view whose saved rules are the given (suffix, boost) pairs.
struct RankingFixture : SettingsViewFixture {
    explicit RankingFixture(const QList<std::pair<QString, qint64>> &saved = {{".pdf", 40}})
        : SettingsViewFixture([saved](UserDefaults &d) {
              ExtensionBoostRules rules;
              for (const auto &[suffix, boost] : saved)
                  rules.append({QUuid::createUuid(), suffix, boost});
              SearchRankingSettingsStore(d).save(rules);
          }) {
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    RankingSettingsSection &section() { return *view->rankingSection(); }
    SettingsViewModel &model() { return view->model(); }
    QLineEdit *suffixField(qsizetype row) { return section().ruleRows().at(row).suffixField; }
    void type(qsizetype row, const QString &text) {
        suffixField(row)->setFocus();
        suffixField(row)->selectAll();
        if (text.isEmpty())
            QTest::keyClick(suffixField(row), Qt::Key_Backspace);
        else
            QTest::keyClicks(suffixField(row), text);
    }
};

TEST(RankingSettingsSection, ValidationSentencesBlockSave) {
    struct Case {
        const char *name;
        QStringList suffixes;
        std::optional<QString> message;
    };
    const QString empty = "Complete or delete empty suffix rules before saving.";
    const QString duplicate = "Each suffix can only appear once.";
    const Case cases[] = {
        {"valid", {".pdf", "md"}, std::nullopt},
        {"only a dot", {".pdf", "."}, empty},
        {"only blanks", {".pdf", "   "}, empty},
        {"only asterisks", {".pdf", "**"}, empty},
        {"the same suffix spelt twice", {".pdf", " PDF"}, duplicate},
        {"an empty row wins over a duplicate", {".pdf", "PDF", ""}, empty},
        {"no rules at all", {}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RankingFixture f;
        f.model().setExtensionBoostRules({});
        for (qsizetype i = 0; i < c.suffixes.size(); ++i) {
            f.section().addButton()->click();
            f.type(i, c.suffixes[i]);
        }
        EXPECT_EQ(f.section().validationLabel()->isVisible(), c.message.has_value());
        EXPECT_EQ(f.section().validationLabel()->text(), c.message.value_or(QString()));
        EXPECT_EQ(f.section().saveButton()->isEnabled(), !c.message.has_value());
        // A press on Save while a message stands stores nothing.
        f.model().persistRankingSettings();
        EXPECT_EQ(f.recorder.posted().isEmpty(), c.message.has_value());
    }
}

TEST(RankingSettingsSection, SaveStoresTheNormalisedRulesAndShowsThem) {
    RankingFixture f({{".pdf", 40}});
    f.type(0, " *.PDF ");
    f.section().addButton()->click();
    f.type(1, "md");
    for (int i = 0; i < 60; ++i)
        f.section().ruleRows().at(1).stepper->upButton()->click();
    EXPECT_EQ(f.model().extensionBoostRules().at(1).boost, 500);
    EXPECT_FALSE(f.section().ruleRows().at(1).stepper->upButton()->isEnabled());
    f.section().saveButton()->click();

    const SearchRankingPreferences stored = SearchRankingSettingsStore(f.defaults).load();
    ASSERT_EQ(stored.extensionBoostRules().size(), 2);
    EXPECT_EQ(stored.extensionBoostRules()[0].suffix, ".pdf");
    EXPECT_EQ(stored.extensionBoostRules()[1].suffix, ".md");
    EXPECT_EQ(stored.extensionBoostRules()[1].boost, 500);
    EXPECT_EQ(f.suffixField(0)->text(), ".pdf");
    EXPECT_EQ(f.suffixField(1)->text(), ".md");
    EXPECT_EQ(f.section().ruleRows().at(1).boostText->text(), "+500");
    EXPECT_EQ(f.model().extensionBoostRules(), f.model().savedExtensionBoostRules());
    EXPECT_FALSE(f.section().saveButton()->isEnabled());
    EXPECT_EQ(f.recorder.posted(), QStringList{"LauncherRankingSettingsChanged"});

    // Deleting every row and saving stores an empty list.
    f.section().ruleRows().at(0).deleteButton->click();
    f.section().ruleRows().at(0).deleteButton->click();
    ASSERT_TRUE(f.section().saveButton()->isEnabled());
    f.section().saveButton()->click();
    EXPECT_TRUE(SearchRankingSettingsStore(f.defaults).load().extensionBoostRules().isEmpty());
    EXPECT_EQ(f.defaults.dataValue("launcherExtensionBoostRules"), QByteArray("[]"));
}

TEST(RankingSettingsSection, SaveIsEnabledExactlyWhileTheCopyDiffers) {
    RankingFixture f({{".pdf", 40}, {".txt", 10}});
    EXPECT_FALSE(f.section().saveButton()->isEnabled());
    // Editing a suffix and restoring its exact text.
    f.type(0, ".pdfx");
    EXPECT_TRUE(f.section().saveButton()->isEnabled());
    f.type(0, ".pdf");
    EXPECT_FALSE(f.section().saveButton()->isEnabled());
    // A deleted rule added back by hand is a new rule.
    f.section().ruleRows().at(1).deleteButton->click();
    EXPECT_TRUE(f.section().saveButton()->isEnabled());
    f.section().addButton()->click();
    f.type(1, ".txt");
    f.section().ruleRows().at(1).stepper->upButton()->click();
    EXPECT_EQ(f.model().extensionBoostRules().at(1).boost, 10);
    EXPECT_TRUE(f.section().saveButton()->isEnabled());
    EXPECT_TRUE(f.recorder.posted().isEmpty());
}

TEST(RankingSettingsSection, AddFocusesTheNewRowAndRemoveClearsOnlyItsOwnFocus) {
    RankingFixture f({{".pdf", 40}, {".txt", 10}});
    f.section().addButton()->click();
    ASSERT_EQ(f.section().ruleRows().size(), 3);
    const QUuid added = f.section().ruleRows().at(2).id;
    EXPECT_EQ(f.model().focusedExtensionBoostRuleID(), added);
    EXPECT_TRUE(f.suffixField(2)->hasFocus());
    EXPECT_EQ(f.suffixField(2)->text(), "");
    EXPECT_EQ(f.section().ruleRows().at(2).boostText->text(), "0");

    // Deleting another row keeps the focus where it is.
    f.section().ruleRows().at(0).deleteButton->click();
    EXPECT_EQ(f.model().focusedExtensionBoostRuleID(), added);
    // Deleting the focused row leaves nothing focused.
    f.model().removeExtensionBoostRule(added);
    EXPECT_EQ(f.model().focusedExtensionBoostRuleID(), std::nullopt);
    EXPECT_EQ(f.section().ruleRows().size(), 1);
    // Focus follows the field the user clicks into.
    f.suffixField(0)->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(f.model().focusedExtensionBoostRuleID(), f.section().ruleRows().at(0).id);
}

TEST(RankingSettingsSection, BoostTextAndStepper) {
    const std::pair<qint64, const char *> texts[] = {
        {40, "+40"}, {1, "+1"}, {0, "0"}, {-50, "-50"}, {500, "+500"}};
    for (const auto &[boost, text] : texts)
        EXPECT_EQ(RankingSettingsSection::boostValueText(boost), text);

    RankingFixture f({{".pdf", -190}});
    SettingsStepper *stepper = f.section().ruleRows().at(0).stepper;
    EXPECT_EQ(stepper->step(), 10);
    EXPECT_EQ(stepper->minimum(), -200);
    EXPECT_EQ(stepper->maximum(), 500);
    stepper->downButton()->click();
    EXPECT_EQ(f.model().extensionBoostRules().at(0).boost, -200);
    EXPECT_FALSE(f.section().ruleRows().at(0).stepper->downButton()->isEnabled());
    EXPECT_EQ(f.section().ruleRows().at(0).boostText->text(), "-200");
    EXPECT_EQ(f.section().ruleRows().at(0).boostText->accessibleName(), "Boost -200");
}

TEST(RankingSettingsSection, ResetRestoresTheBuiltInRulesEvenFromInvalidRows) {
    RankingFixture f({{".pdf", 40}});
    f.section().addButton()->click();
    f.section().addButton()->click();
    ASSERT_FALSE(f.section().saveButton()->isEnabled());
    f.section().resetButton()->click();

    QStringList shown;
    for (const RankingSettingsSection::RuleRow &row : f.section().ruleRows())
        shown.append(row.suffixField->text() + QLatin1Char(' ') + row.boostText->text());
    EXPECT_EQ(shown, QStringList({".gsheet +140", ".gdoc +120", ".url +320", ".webloc +320", ".app +120",
                                  ".pdf +40", ".txt +10"}));
    EXPECT_EQ(f.model().focusedExtensionBoostRuleID(), std::nullopt);
    EXPECT_FALSE(f.section().saveButton()->isEnabled());
    EXPECT_FALSE(f.section().validationLabel()->isVisible());
    EXPECT_EQ(SearchRankingSettingsStore(f.defaults).load().extensionBoostRules().size(), 7);
    EXPECT_EQ(f.recorder.posted(), QStringList{"LauncherRankingSettingsChanged"});
}

} // namespace
} // namespace orvex
