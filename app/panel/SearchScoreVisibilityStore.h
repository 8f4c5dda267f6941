#pragma once

#include "platform/UserDefaults.h"

#include <QString>

namespace orvex {

// Whether the panel's rows show their relevance scores.
struct SearchScoreVisibilityStore {
    explicit SearchScoreVisibilityStore(UserDefaults &defaults);
    static const SearchScoreVisibilityStore &standard();
    // The stored Boolean, else the caller's default (every caller passes true).
    bool load(bool defaultVisible) const;

    UserDefaults *defaults;
    QString showScoresKey = QStringLiteral("launcherShowSearchScores");
};

} // namespace orvex
