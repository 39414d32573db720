// Port names: "com1" to "com20", in any letter case ("COM3", "Com3"). The one reader of such a
// name, for the options, the port ring's labels and the serial layer alike.
#pragma once

#include <cstddef>

// The port number that the first length characters of name spell, 1..RS232_MAX_PORTS; 0 when
// they are not such a name.
int parse_com_name(const char *name, size_t length);
