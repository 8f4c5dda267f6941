// orvex-launcher: the keyboard-driven launcher. A second start hands over to the running one.
#include "shell/OrvexLauncherRuntime.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char **argv) {
#if defined(__GLIBC__)
    // A fixed threshold: blocks of 128 KiB and more (walked lists, the index's doclists) get mappings of
    // their own and go back to the system when freed. glibc would otherwise raise the threshold at the
    // first such free and serve them from the heap, where their holes stay in a launcher that runs for
    // weeks (on the large synthetic home: +9 MB over the first 100 show/type/hide cycles, +1 MB with it).
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    return orvex::OrvexLauncherRuntime::run(argc, argv);
}
