// The lab: the chambers that pollers ask, each a port name and an address with an optional name,
// the commands to poll and an interval. The window keeps one list, the command line builds one
// from --chamber or --lab. No Qt here.
#pragma once

enum {
    LAB_MAX_CHAMBERS = 256,
    LAB_COMMANDS = 8,      // commands polled per chamber
    LAB_COMMAND_SIZE = 64, // one command text with its terminator
    LAB_NAME_SIZE = 64,    // a chamber's name with its terminator
    LAB_LABEL_SIZE = 96,   // "Klima 3 (com1:3)"
    LAB_DEFAULT_INTERVAL_MS = 2000,
    LAB_MIN_INTERVAL_MS = 100,
    LAB_MAX_INTERVAL_MS = 86400000,
};

struct LabChamber {
    char name[LAB_NAME_SIZE]; // "" when unnamed
    int port;                 // 1..20
    int address;              // 1..32
    int commands;             // 1..LAB_COMMANDS
    char command[LAB_COMMANDS][LAB_COMMAND_SIZE];
    int intervalMs; // from the start of one poll to the next, LAB_MIN..LAB_MAX_INTERVAL_MS
};

struct Lab {
    int count;
    LabChamber chamber[LAB_MAX_CHAMBERS];
};

// A chamber at port and address with no name, polling "A0" every 2 s.
void lab_chamber_init(LabChamber *chamber, int port, int address);
// Reads "com1:3" or "com1:3:A0,A1" (port name, address 1..32, commands separated by commas,
// printable ASCII, at most LAB_COMMANDS of at most LAB_COMMAND_SIZE - 1 characters) into
// *chamber with the defaults for the rest. Returns 0, or -1 with the reason in error.
int lab_parse_chamber(const char *text, LabChamber *chamber, char *error, int size);
// Whether text is a command a chamber can be polled with: 1..LAB_COMMAND_SIZE - 1 printable
// ASCII characters.
int lab_command_valid(const char *text);
// "Klima 3 (com1:3)", or "com1:3" without a name.
void lab_chamber_label(const LabChamber *chamber, char *label, int size);

// Empties the list.
void lab_clear(Lab *lab);
// The index of the chamber at port and address, or -1.
int lab_find(const Lab *lab, int port, int address);
// Appends the chamber. Returns its index, or -1 when the list is full or holds that port and
// address already.
int lab_add(Lab *lab, const LabChamber *chamber);
// Removes the index-th chamber; later ones move up. Returns 0, or -1 for a bad index.
int lab_remove(Lab *lab, int index);
