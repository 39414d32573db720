// Frame reader. A frame is valid when it is STX, the address | 0x80 of a served chamber, body
// bytes with bit 7 set (the last of them the checksum), and ETX, and the XOR of the address
// byte and all body bytes has its low seven bits clear. Unlike the tool's receiver, which reads
// one response and gives up at the first fault, a chamber listens for good: it passes over what
// is not valid and starts afresh at the next STX.
#include "sim/reader.h"

enum {
    IDLE,    // waiting for STX
    ADDRESS, // waiting for the address byte
    BODY,    // inside the body
    SKIP,    // inside a frame that is no request for us: wait for its end
};

void reader_init(FrameReader *reader, unsigned long long served) {
    reader->served = served;
    reader->state = IDLE;
    reader->xor_sum = 0;
    reader->address = 0;
    reader->raw_count = 0;
    reader->finished = false;
    reader->payload[0] = '\0';
    reader->reason = "";
}

static bool is_served(const FrameReader *reader, int address) {
    return address >= 1 && address <= READER_MAX_ADDRESS && (reader->served >> address & 1);
}

static void keep(FrameReader *reader, unsigned char byte) {
    if (reader->raw_count < (int)sizeof reader->raw) reader->raw[reader->raw_count++] = byte;
}

static int finish(FrameReader *reader, int status, int next_state) {
    reader->finished = true;
    reader->state = next_state;
    return status;
}

static int reject(FrameReader *reader, const char *reason, int next_state) {
    reader->reason = reason;
    return finish(reader, READ_REJECTED, next_state);
}

// The payload is the body without its last byte, the checksum.
static int accept(FrameReader *reader) {
    int payload_count = reader->raw_count - 4; // without STX, address, checksum and ETX
    for (int i = 0; i < payload_count; i++) reader->payload[i] = (char)(reader->raw[2 + i] & 0x7F);
    reader->payload[payload_count] = '\0';
    return finish(reader, READ_FRAME, IDLE);
}

static int take_body_byte(FrameReader *reader, unsigned char byte) {
    if (byte & 0x80) {
        keep(reader, byte);
        reader->xor_sum ^= byte;
        if (reader->raw_count - 2 > READER_MAX_BODY)
            return reject(reader, "body longer than a frame buffer holds", SKIP);
        return READ_PENDING;
    }
    keep(reader, byte);
    if (byte != ETX) return reject(reader, "byte without bit 7 inside the body", SKIP);
    if (reader->raw_count == 3) return reject(reader, "no checksum byte", IDLE);
    if (reader->xor_sum & 0x7F) return reject(reader, "bad checksum", IDLE);
    return accept(reader);
}

int reader_feed(FrameReader *reader, unsigned char byte) {
    if (reader->finished) {
        reader->finished = false;
        reader->raw_count = 0;
        if (reader->state == ADDRESS) keep(reader, STX); // the STX that cut the last frame short
    }
    if (byte == STX) {
        bool cut_short = reader->state == ADDRESS || reader->state == BODY;
        reader->xor_sum = 0;
        if (cut_short) return reject(reader, "frame cut short by STX", ADDRESS);
        reader->raw_count = 0;
        keep(reader, STX);
        reader->state = ADDRESS;
        return READ_PENDING;
    }
    switch (reader->state) {
    case IDLE: keep(reader, byte); return reject(reader, "byte outside a frame", IDLE);
    case ADDRESS:
        keep(reader, byte);
        reader->address = byte & 0x7F;
        if (!(byte & 0x80))
            return reject(reader, "address byte without bit 7", byte == ETX ? IDLE : SKIP);
        if (!is_served(reader, reader->address)) return reject(reader, "address not served", SKIP);
        reader->xor_sum = byte;
        reader->state = BODY;
        return READ_PENDING;
    case BODY: return take_body_byte(reader, byte);
    default: // SKIP
        if (byte == ETX) reader->state = IDLE;
        return READ_PENDING;
    }
}
