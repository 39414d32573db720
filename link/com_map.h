// The value of the option --map comN=DEVICE, which points a port name at any serial device or at
// a device server on the network ("tcp://HOST:PORT", "rfc2217://HOST:PORT").
#pragma once

enum {
    COM_MAP_DEVICE_SIZE = 256, // room for a device path and its terminator
};

// Splits value ("com3=/dev/ttyUSB0") into the port number 1..20 and the device path, copied into
// device (deviceSize bytes; a longer path is refused). Returns 0, or -1 with a message naming
// the value and what is wrong in error (cut to errorSize - 1 bytes).
int parse_com_map(const char *value, int *port, char *device, int deviceSize, char *error,
                  int errorSize);
// Whether device names a device server on the network: it begins with "tcp://" or "rfc2217://"
// (in any letter case) and is no path. 1 or 0.
int is_network_device(const char *device);
