#pragma once

namespace orvex {

// The query answers kept for seven days in the defaults database, shared by the manager and the panel.
class PersistentQueryResultCacheStore {
public:
    ~PersistentQueryResultCacheStore() = default;
};

} // namespace orvex
