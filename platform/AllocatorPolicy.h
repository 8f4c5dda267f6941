#pragma once

namespace orvex {

// How a long-running process asks the C library's allocator to treat large blocks: each of 128 KiB and
// more gets a mapping of its own and goes back to the system when freed. glibc would otherwise raise
// its threshold at the first free of such a block and serve the next ones from the heap, where their
// holes stay. Call once, first thing in main. Does nothing on other C libraries.
void giveLargeBlocksTheirOwnMappings();

} // namespace orvex
