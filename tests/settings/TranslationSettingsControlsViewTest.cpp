#include "settings/TranslationSettingsControlsView.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace orvex {
namespace {

constexpr TranslationEngineID apple = TranslationEngineID::apple;
constexpr TranslationEngineID argos = TranslationEngineID::argos;

// The controls over plain variables, as a caller that accepts every edit as it comes.
struct ControlsFixture {
    ControlsFixture(TranslationEngineIDs order, TranslationEngineIDSet enabled,
                    TranslationEngineAvailabilityTable table)
        : order(std::move(order)), enabled(std::move(enabled)), table(std::move(table)),
          view(TranslationSettingsControlsView::Bindings{Binding<QString>::over(trigger),
                                                         Binding<QString>::over(languages),
                                                         Binding<TranslationEngineIDs>::over(this->order),
                                                         Binding<TranslationEngineIDSet>::over(this->enabled),
                                                         {},
                                                         {}},
               [this] { return this->table; }) {}

    QString trigger = "cc";
    QString languages = "en,de";
    TranslationEngineIDs order;
    TranslationEngineIDSet enabled;
    TranslationEngineAvailabilityTable table;
    TranslationSettingsControlsView view;

    TranslationSettingsControlsView::EngineRow row(TranslationEngineID engine) const {
        return view.engineRow(engine);
    }
    qreal opacity(TranslationEngineID engine) const {
        return static_cast<QGraphicsOpacityEffect *>(row(engine).checkbox->parentWidget()->graphicsEffect())
            ->opacity();
    }
};

const TranslationEngineAvailability available{true, "Ready (python3)"};
const TranslationEngineAvailability unavailable{
    false, "Unavailable on Linux; Apple Translation runs only on macOS."};

TEST(TranslationSettingsControlsView, EngineRowsFollowAvailability) {
    struct Expect {
        bool checked, upEnabled, downEnabled, dimmed;
        std::optional<QString> message;
    };
    struct Case {
        const char *name;
        TranslationEngineIDs order;
        TranslationEngineIDSet enabled;
        TranslationEngineAvailabilityTable table;
        Expect appleRow, argosRow;
    };
    const Case cases[] = {
        {"both available",
         {apple, argos},
         {apple, argos},
         {{apple, available}, {argos, available}},
         {true, false, true, false, available.message},
         {true, true, false, false, available.message}},
        {"apple unavailable but enabled",
         {apple, argos},
         {apple, argos},
         {{apple, unavailable}, {argos, available}},
         {false, false, false, true, unavailable.message},
         {true, true, false, false, available.message}},
        {"no table entry: available without a message",
         {argos, apple},
         {argos},
         {{argos, available}},
         {false, true, false, false, std::nullopt},
         {true, false, true, false, available.message}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ControlsFixture f(c.order, c.enabled, c.table);
        f.view.show();
        for (const auto &[engine, expect] : {std::pair{apple, c.appleRow}, std::pair{argos, c.argosRow}}) {
            SCOPED_TRACE(TranslationSettingsControlsView::engineLabel(engine).toStdString());
            const auto row = f.row(engine);
            EXPECT_EQ(row.checkbox->isChecked(), expect.checked);
            // Unavailable is disabled to assistive technology, with the reason as description, while
            // the box keeps its Tab stop.
            EXPECT_TRUE(row.checkbox->isEnabled());
            QAccessibleInterface *box = QAccessible::queryAccessibleInterface(row.checkbox);
            ASSERT_TRUE(box);
            EXPECT_EQ(box->role(), QAccessible::CheckBox);
            EXPECT_EQ(box->state().disabled, expect.dimmed);
            EXPECT_TRUE(box->state().focusable);
            EXPECT_EQ(box->state().checked, expect.checked);
            EXPECT_EQ(box->text(QAccessible::Name), TranslationSettingsControlsView::engineLabel(engine));
            EXPECT_EQ(box->text(QAccessible::Description), expect.message.value_or(QString()));
            EXPECT_EQ(
                box->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()),
                !expect.dimmed);
            EXPECT_EQ(row.upButton->isEnabled(), expect.upEnabled);
            EXPECT_EQ(row.downButton->isEnabled(), expect.downEnabled);
            EXPECT_EQ(f.opacity(engine), expect.dimmed ? 0.45 : 1.0);
            EXPECT_EQ(row.message->isVisible(), expect.message.has_value());
            EXPECT_EQ(row.message->text(), expect.message.value_or(QString()));
        }
    }
}

TEST(TranslationSettingsControlsView, CheckboxesKeepOneEngineAndIgnoreUnavailableOnes) {
    {
        ControlsFixture f({apple, argos}, {apple, argos}, {{apple, available}, {argos, available}});
        f.row(apple).checkbox->click();
        EXPECT_EQ(f.enabled, TranslationEngineIDSet({argos}));
        // The last one stays checked.
        f.row(argos).checkbox->click();
        EXPECT_EQ(f.enabled, TranslationEngineIDSet({argos}));
        EXPECT_TRUE(f.row(argos).checkbox->isChecked());
        f.row(apple).checkbox->click();
        EXPECT_EQ(f.enabled, TranslationEngineIDSet({apple, argos}));
    }
    {
        // An unavailable engine shows unchecked and a click, Space or a screen reader's toggle changes
        // nothing, not even for a moment.
        ControlsFixture f({apple, argos}, {argos}, {{apple, unavailable}, {argos, available}});
        f.view.show();
        QCheckBox *box = f.row(apple).checkbox;
        QSignalSpy toggles(box, &QCheckBox::toggled);
        box->click();
        QTest::mouseClick(box, Qt::LeftButton);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        QAccessible::queryAccessibleInterface(box)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
        EXPECT_FALSE(box->isChecked());
        EXPECT_EQ(toggles.count(), 0);
        EXPECT_EQ(f.enabled, TranslationEngineIDSet({argos}));
    }
    {
        // The rule counts members, not available members.
        ControlsFixture f({apple, argos}, {apple, argos}, {{apple, unavailable}, {argos, available}});
        f.row(argos).checkbox->click();
        EXPECT_EQ(f.enabled, TranslationEngineIDSet({apple}));
        EXPECT_FALSE(f.row(argos).checkbox->isChecked());
    }
}

TEST(TranslationSettingsControlsView, MovesStayInsideTheList) {
    ControlsFixture f({apple, argos}, {apple, argos}, {{apple, unavailable}, {argos, available}});
    // An available engine moves past an unavailable one.
    f.row(argos).upButton->click();
    EXPECT_EQ(f.order, TranslationEngineIDs({argos, apple}));
    EXPECT_EQ(f.view.engineRowOrder(), f.order);
    EXPECT_FALSE(f.row(argos).upButton->isEnabled());

    const TranslationEngineIDs two{apple, argos};
    EXPECT_EQ(TranslationSettingsControlsView::orderAfterMove(two, 0, 1),
              TranslationEngineIDs({argos, apple}));
    EXPECT_EQ(TranslationSettingsControlsView::orderAfterMove(two, 1, -1),
              TranslationEngineIDs({argos, apple}));
    EXPECT_EQ(TranslationSettingsControlsView::orderAfterMove(two, 0, -1), std::nullopt);
    EXPECT_EQ(TranslationSettingsControlsView::orderAfterMove(two, 1, 1), std::nullopt);
    EXPECT_EQ(TranslationSettingsControlsView::orderAfterMove(two, 2, -1), std::nullopt);
    EXPECT_EQ(TranslationSettingsControlsView::orderAfterMove(two, 0, 0), std::nullopt);

    // A single engine can move nowhere.
    ControlsFixture single({argos}, {argos}, {{argos, available}});
    EXPECT_FALSE(single.row(argos).upButton->isEnabled());
    EXPECT_FALSE(single.row(argos).downButton->isEnabled());
}

TEST(TranslationSettingsControlsView, TheHelpLineShowsTheTriggerAsTyped) {
    ControlsFixture f({apple, argos}, {apple, argos}, {});
    f.view.triggerField()->clear();
    QTest::keyClick(f.view.triggerField(), Qt::Key_X);
    QTest::keyClick(f.view.triggerField(), Qt::Key_Backspace);
    EXPECT_EQ(f.trigger, "");
    f.view.refresh();
    EXPECT_EQ(f.view.triggerHelp()->text(),
              "Use this prefix in search (for example \" hello\" or \" en:de hello\").");
    EXPECT_EQ(f.view.triggerField()->placeholderText(), "cc");
    EXPECT_EQ(f.view.languagesField()->placeholderText(), "en,de");
}

} // namespace
} // namespace orvex
