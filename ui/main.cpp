// kelvra-ascii-window: the operator's window, which kelvra-ascii starts (ui/command_line_main.cpp).
#include "ui/program.h"

int main(int argc, char *argv[]) {
    return ascii_main(argc, argv);
}
