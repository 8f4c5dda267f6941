#include "platform/AllocatorPolicy.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace orvex {

void giveLargeBlocksTheirOwnMappings() {
#if defined(__GLIBC__)
    // A fixed threshold also turns glibc's own raising of it off.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

} // namespace orvex
