// Faults on demand. Every frame is built with the tool's own builder, so the only difference
// from a good answer is the fault itself.
#include "sim/fault.h"

#include <cstring>

static const char *const names[FAULT_COUNT] = {
    "none",     "silent",        "bad-checksum", "wrong-address", "stray-byte",
    "trailing", "bad-then-good", "slow",         "noise",         "oversize",
};

int fault_by_name(const char *name) {
    for (int fault = 0; fault < FAULT_COUNT; fault++)
        if (strcmp(name, names[fault]) == 0) return fault;
    return -1;
}

const char *fault_name(int fault) {
    return fault >= 0 && fault < FAULT_COUNT ? names[fault] : "?";
}

static void append_frame(Burst *burst, const char *answer, int address) {
    char frame[FRAME_BUFFER_SIZE];
    int n = create_framing(answer, frame, address);
    memcpy(burst->bytes + burst->count, frame, n);
    burst->count += n;
}

static void append_byte(Burst *burst, unsigned char byte) {
    burst->bytes[burst->count++] = byte;
}

// The checksum stands just before the ETX that ends the burst.
static void spoil_checksum(Burst *burst) {
    burst->bytes[burst->count - 2] ^= 0x01;
}

// create_framing stops at MAX_COMMAND_LENGTH, so the last blank goes in by hand: it joins the
// body before the checksum, which takes its bits.
static void append_oversize(Burst *burst, const char *answer, int address) {
    char padded[MAX_COMMAND_LENGTH + 1];
    int n = (int)strlen(answer);
    memcpy(padded, answer, n);
    memset(padded + n, ' ', MAX_COMMAND_LENGTH - n);
    padded[MAX_COMMAND_LENGTH] = '\0';
    append_frame(burst, padded, address);
    unsigned char checksum = burst->bytes[burst->count - 2];
    burst->count -= 2;
    append_byte(burst, ' ' | 0x80);
    append_byte(burst, checksum ^ ' ');
    append_byte(burst, ETX);
}

void fault_frame(int fault, const char *answer, int address, Burst *burst) {
    burst->count = 0;
    burst->spaced = fault == FAULT_SLOW;
    burst->noise = fault == FAULT_NOISE;
    switch (fault) {
    case FAULT_SILENT: break;
    case FAULT_BAD_CHECKSUM:
        append_frame(burst, answer, address);
        spoil_checksum(burst);
        break;
    case FAULT_WRONG_ADDRESS: append_frame(burst, answer, address % 32 + 1); break;
    case FAULT_STRAY_BYTE:
        append_byte(burst, FAULT_BYTE);
        append_frame(burst, answer, address);
        break;
    case FAULT_TRAILING:
        append_frame(burst, answer, address);
        append_byte(burst, '\r');
        append_byte(burst, '\n');
        break;
    case FAULT_BAD_THEN_GOOD:
        append_frame(burst, answer, address);
        spoil_checksum(burst);
        append_frame(burst, answer, address);
        break;
    case FAULT_OVERSIZE: append_oversize(burst, answer, address); break;
    default: append_frame(burst, answer, address); break; // none, slow, noise
    }
}
