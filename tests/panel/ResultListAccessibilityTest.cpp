// The result list as assistive technology sees it: items that follow their rows by identity, so that a
// row taking another's place is another object (which a screen reader tells of) and a row that moves
// keeps its own.
#include "panel/ResultListAccessibility.h"

#include "PanelPaintTestSupport.h"
#include "panel/ResultListView.h"

#include <QAccessible>

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::makeRow;

TEST(ResultListAccessibility, ItemsFollowTheirRowsThroughTheListsApplied) {
    ResultListView view;
    view.resize(600, 400);
    view.show();
    const SearchResult alpha = makeRow(QStringLiteral("Alpha"));
    const SearchResult beta = makeRow(QStringLiteral("Beta"));
    const SearchResult gamma = makeRow(QStringLiteral("Gamma"));
    // A list applied: its rows, then its selection.
    const auto apply = [&](const SearchResults &rows) {
        view.setRows(rows);
        ResultListDisplay display = view.resultModel().display();
        display.selectedIndex = 0;
        view.setDisplay(display);
    };

    apply({alpha, beta});
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(list, nullptr);
    QAccessibleInterface *alphaItem = list->child(0);
    QAccessibleInterface *betaItem = list->child(1);
    ASSERT_NE(alphaItem, betaItem);

    // Beta comes first: the first item is Beta's; Alpha's item moved with it and is still Alpha.
    apply({beta, alpha});
    EXPECT_EQ(list->child(0), betaItem);
    EXPECT_EQ(list->child(1), alphaItem);
    EXPECT_EQ(list->indexOfChild(alphaItem), 1);
    EXPECT_EQ(alphaItem->text(QAccessible::Name), QStringLiteral("Alpha"));
    EXPECT_TRUE(betaItem->state().selected);
    EXPECT_FALSE(alphaItem->state().selected);

    // Late rows after them keep both; a list without Alpha ends its item, and Gamma gets one of its own.
    apply({beta, alpha, gamma});
    EXPECT_EQ(list->child(0), betaItem);
    EXPECT_EQ(list->child(1), alphaItem);
    const QAccessible::Id alphaId = QAccessible::uniqueId(alphaItem);
    apply({gamma, beta});
    EXPECT_EQ(QAccessible::accessibleInterface(alphaId), nullptr) << "the gone row's item stays";
    EXPECT_EQ(list->child(1), betaItem);
    EXPECT_EQ(list->child(0)->text(QAccessible::Name), QStringLiteral("Gamma"));
    EXPECT_NE(list->child(0), betaItem);
}

} // namespace
} // namespace orvex
