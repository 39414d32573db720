// kelvra-ascii-window: the operator's window, which kelvra-ascii starts (ui/command_line_main.cpp).
#include "ui/program.h"
#include "ui/standard_streams.h"

int main(int argc, char *argv[]) {
    guard_standard_streams();
    return ascii_main(argc, argv);
}
