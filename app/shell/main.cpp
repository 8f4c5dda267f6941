// orvex-launcher: the keyboard-driven launcher. A second start hands over to the running one.
#include "shell/OrvexLauncherRuntime.h"

int main(int argc, char **argv) {
    return orvex::OrvexLauncherRuntime::run(argc, argv);
}
