// kelvra-ascii: the operator's window.
#include "ui/program.h"

int main(int argc, char *argv[]) {
    return ascii_main(argc, argv);
}
