// Port assistance: which device a port name opens, whether it is there, and what serial ports
// the system has. No Qt here.
#pragma once

#include <cstdio>

// Writes into text (textSize bytes, cut if longer) which device "comN" opens and whether it is
// there, with how to mend it when it is not, in the configured language. Returns its length.
int port_hint(int port, char *text, int textSize);
// Prints the system's serial ports (with their by-id names) and the device each port name
// com1..com20 opens, in English, as UTF-8 with control characters as escapes. Returns 0, or -1
// if out failed.
int print_ports(FILE *out);
