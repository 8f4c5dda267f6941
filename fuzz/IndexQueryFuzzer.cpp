// The full-text query built from what the user types: whatever the text, the index must accept the
// query, or the index rows of that search are lost.
#include "FuzzSupport.h"

#include "search/Database.h"

#include <sqlite3.h>

#include <cstdio>

using namespace orvex;

namespace {

sqlite3 *indexDatabase() {
    static sqlite3 *db = [] {
        sqlite3 *opened = nullptr;
        ORVEX_FUZZ_CHECK(sqlite3_open(":memory:", &opened) == SQLITE_OK);
        ORVEX_FUZZ_CHECK(sqlite3_exec(opened,
                                      "CREATE VIRTUAL TABLE files_fts USING fts5(content);"
                                      "INSERT INTO files_fts(rowid, content) VALUES "
                                      "(1, 'quarterly report draft'), (2, 'Überweisung 2024 東京');",
                                      nullptr, nullptr, nullptr) == SQLITE_OK);
        return opened;
    }();
    return db;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto query = DatabaseManager::indexedFTSQuery(fuzz::text(data, size));
    if (!query)
        return 0;
    sqlite3 *db = indexDatabase();
    sqlite3_stmt *statement = nullptr;
    ORVEX_FUZZ_CHECK(sqlite3_prepare_v2(db, "SELECT rowid FROM files_fts WHERE files_fts MATCH ?", -1,
                                        &statement, nullptr) == SQLITE_OK);
    const QByteArray text = query->toUtf8();
    sqlite3_bind_text(statement, 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    if (status != SQLITE_DONE)
        std::fprintf(stderr, "query %s: %s\n", text.constData(), sqlite3_errmsg(db));
    sqlite3_finalize(statement);
    ORVEX_FUZZ_CHECK(status == SQLITE_DONE);
    return 0;
}
