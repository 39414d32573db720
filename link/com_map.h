// The value of the option --map comN=DEVICE, which points a port name at any serial device.
#pragma once

enum {
    COM_MAP_DEVICE_SIZE = 256, // room for a device path and its terminator
};

// Splits value ("com3=/dev/ttyUSB0") into the port number 1..20 and the device path, copied into
// device (deviceSize bytes; a longer path is refused). Returns 0, or -1 with a message naming
// the value and what is wrong in error (cut to errorSize - 1 bytes).
int parse_com_map(const char *value, int *port, char *device, int deviceSize, char *error,
                  int errorSize);
