#pragma once

// What assistive technology sees of the result list: a list whose items are the rows, each named by its
// title and described by its location, offering to open the row (as Return does) and to select it.

namespace orvex {

// Makes every ResultListView answer with that list; idempotent, GUI thread.
void installResultListAccessibility();

} // namespace orvex
