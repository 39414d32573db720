// The simulator's frame reader: picks the requests for the served addresses out of the bytes
// that arrive on the line, by the same rules the tool's receiver applies to a response.
#pragma once

#include "link/link.h"

enum {
    READER_MAX_BODY = FRAME_BUFFER_SIZE - 4, // payload and checksum byte of the longest frame
    READER_MAX_ADDRESS = 32,
};

// What reader_feed made of a byte.
enum {
    READ_PENDING = 0,  // nothing finished yet
    READ_FRAME = 1,    // a valid frame for a served address: its address and payload are ready
    READ_REJECTED = 2, // a frame, or a stray byte, ended without being valid: see reason
};

struct FrameReader {
    unsigned long long served; // bit n set: address n (1..32) is served
    int state;                 // one of the reader's states, idle at first
    unsigned char xor_sum;
    int address;                              // address of the frame being read or just finished
    unsigned char raw[FRAME_BUFFER_SIZE + 1]; // the bytes of the frame so far, as received
    int raw_count;
    bool finished;                 // raw holds a finished frame; the next byte starts anew
    char payload[READER_MAX_BODY]; // of a READ_FRAME: bit 7 cleared, NUL-terminated
    const char *reason;            // of a READ_REJECTED: why it is no request
};

// Starts a reader that serves the addresses whose bits are set in served (bit n: address n).
void reader_init(FrameReader *reader, unsigned long long served);
// Takes the next byte from the line. Returns READ_PENDING, READ_FRAME or READ_REJECTED; raw and
// raw_count then hold the bytes of that frame (a single byte for a stray one).
int reader_feed(FrameReader *reader, unsigned char byte);
