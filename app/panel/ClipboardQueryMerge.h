#pragma once

#include <QString>

namespace orvex {

// The query after pasting `clipboardText` onto `existingQuery`: joined by a space unless either side
// already has white space where they meet.
QString mergedQueryWithClipboardText(const QString &existingQuery, const QString &clipboardText);

} // namespace orvex
