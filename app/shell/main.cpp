// orvex-launcher: the keyboard-driven launcher. A second start hands over to the running one.
#include "platform/AllocatorPolicy.h"
#include "shell/OrvexLauncherRuntime.h"

int main(int argc, char **argv) {
    // Walked lists and the index's doclists come and go in blocks of megabytes, and a launcher runs for
    // weeks: served from the heap, their holes stayed (on the large synthetic home the resident set grew
    // by 9 MB over the first 100 show/type/hide cycles, by 1 MB with this).
    orvex::giveLargeBlocksTheirOwnMappings();
    return orvex::OrvexLauncherRuntime::run(argc, argv);
}
