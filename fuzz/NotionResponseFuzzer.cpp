// A reply of Notion's search endpoint: JSON from the network.
#include "FuzzSupport.h"

#include "sources/NotionClient.h"
#include "sources/NotionSearch.h"

using namespace orvex;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::isolateHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (const NotionPage &page : NotionClient::parseSearchResponse(fuzz::bytes(data, size))) {
        ORVEX_FUZZ_CHECK(!page.title.isEmpty());
        // The row the launcher shows for the page, as of a fixed moment.
        if (const auto row = notionSearchResult(page, Date(750000000)))
            ORVEX_FUZZ_CHECK(row->action() == SearchResultAction::openNotionPage);
    }
    return 0;
}
