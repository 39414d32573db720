// The lab file: a chamber list in a small JSON format, which the command line reads (--lab) and
// the window reads and writes. The format is in the README:
//   {"kelvra-lab": 1,
//    "map": {"com1": "/dev/ttyUSB0"},
//    "chambers": [{"name": "Klima 3", "port": "com1", "address": 3,
//                  "commands": ["A0", "A1"], "interval": 2.0}]}
// Only "chambers" with "port" and "address" in each is required. Declared here without Qt; the
// Qt layer reads and writes the JSON (ui/qt/lab_json.cpp).
#pragma once

#include "exchange/lab.h"

enum {
    LAB_ERROR_SIZE = 512,
};

// Reads the file at path into *lab (in place of what it held) and points each port name of its
// "map" at its device. Returns 0, or with the reason (the path and what is wrong) in error -1
// when the file does not hold a lab, -2 when it cannot be read.
int lab_file_read(const char *path, Lab *lab, char *error, int size);
// Writes the list to path, without a "map": devices belong to a machine, chambers to the lab.
// Returns 0, or -1 with the reason in error.
int lab_file_write(const char *path, const Lab *lab, char *error, int size);
