#include "panel/SearchScoreVisibilityStore.h"

namespace orvex {

SearchScoreVisibilityStore::SearchScoreVisibilityStore(UserDefaults &defaults) : defaults(&defaults) {}
const SearchScoreVisibilityStore &SearchScoreVisibilityStore::standard() {
    static const SearchScoreVisibilityStore store(UserDefaults::standard());
    return store;
}
bool SearchScoreVisibilityStore::load(bool defaultVisible) const {
    return defaults->boolValue(showScoresKey).value_or(defaultVisible);
}

} // namespace orvex
