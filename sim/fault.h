// Faults on demand: how an answer goes out on the line when it is to be falsified.
#pragma once

#include "link/link.h"

enum Fault {
    FAULT_NONE,
    FAULT_SILENT,        // no byte at all
    FAULT_BAD_CHECKSUM,  // the frame with bit 0 of its checksum byte flipped
    FAULT_WRONG_ADDRESS, // a valid frame from the next address (32 is followed by 1)
    FAULT_STRAY_BYTE,    // FAULT_BYTE, then the frame
    FAULT_TRAILING,      // the frame, then CR LF
    FAULT_BAD_THEN_GOOD, // the frame with a bad checksum, then the frame
    FAULT_SLOW,          // the frame, its bytes spaced out by the byte gap
    FAULT_NOISE,         // the frame, then FAULT_BYTE at every byte gap until the next request
    FAULT_OVERSIZE,      // the answer padded with blanks to 508 characters: a 509-byte body
    FAULT_COUNT,
};

enum {
    FAULT_BYTE = 0xFF,                      // the stray byte and the noise
    BURST_SIZE = 2 * FRAME_BUFFER_SIZE + 2, // room for two frames and two more bytes
    OVERSIZE_PAYLOAD = MAX_COMMAND_LENGTH + 1,
};

// The bytes of one answer as they go out.
struct Burst {
    unsigned char bytes[BURST_SIZE];
    int count;
    bool spaced; // send each byte after the byte gap (the first at once)
    bool noise;  // then keep sending FAULT_BYTE, one per byte gap
};

// The fault called name, or -1 when there is none of that name.
int fault_by_name(const char *name);
// The name of fault, as --fault takes it.
const char *fault_name(int fault);
// Frames answer (at most MAX_COMMAND_LENGTH characters) from address into burst, falsified as
// fault says (FAULT_NONE: the plain frame).
void fault_frame(int fault, const char *answer, int address, Burst *burst);
