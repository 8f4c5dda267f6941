#pragma once

// What assistive technology sees of the result list: a list whose items are the rows, each named by its
// title and described by its kind and location, offering to open the row (as Return does) and to select
// it. An item stands for one row (its identity), wherever that row moves: a screen reader keeps its
// object while the row stays, and a row that takes another's place is another object.

namespace orvex {

class ResultListView;

// Makes every ResultListView answer with that list; idempotent, GUI thread.
void installResultListAccessibility();

// Tells assistive technology that the item of `row` is now the one Return opens, as a list tells of the
// item its keyboard reaches (the search field keeps the keyboard): a screen reader reads it. Nothing is
// sent while no assistive technology listens.
void announceCurrentResultRow(ResultListView *view, int row);

} // namespace orvex
