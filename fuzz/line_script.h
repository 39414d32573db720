// The input of the receiver target, which the seed generator writes too.
//
// Byte 0 is the chamber address the receiver expects, byte 1 the set-up (LINE_*). The bytes
// after them arrive on the line one after another, FAKE_BYTE_TIME apart, except that
// LINE_ESCAPE starts an event, given by the byte after it:
// - LINE_ESCAPE: a LINE_ESCAPE byte arrives;
// - kind EVENT_PAUSE: the next byte comes value / 32 seconds after the previous one instead;
// - kind EVENT_UNPLUG: the device fails from here on;
// - kind EVENT_NOISE: from here on, the byte that follows the event arrives every
//   (value + 1) / 256 seconds, without end, between the others;
// - kind EVENT_GAP: from here on bytes come value / 256 seconds apart.
// The kind is the event byte's low two bits, the value the other six.
#pragma once

enum {
    LINE_OPEN_FAILS = 0x01,     // the port does not open, so the first read fails
    LINE_AFTER_DELAY = 0x02,    // the receive starts after the link delay, as after Enter
    LINE_OUTPUT_STALLED = 0x04, // the output queue never drains, so the close waits its bound
    LINE_ESCAPE = 0x00,
    EVENT_PAUSE = 0,
    EVENT_UNPLUG = 1,
    EVENT_NOISE = 2,
    EVENT_GAP = 3,
};

// The event byte of a kind with a value of 0..63.
constexpr unsigned char line_event(int kind, int value) {
    return (unsigned char)(value << 2 | kind);
}
