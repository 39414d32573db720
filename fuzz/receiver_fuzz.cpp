// Fuzz target: the response receiver on a scripted line (fuzz/line_script.h). Whatever arrives,
// a nonzero result is a complete frame from the addressed chamber whose checksum holds, stored
// with its terminator inside the buffer, made of bytes that really came; a frame that arrives
// whole and in time is never lost; a port failure is told once; the port ends closed and the
// call ends within its bounds.
#include "fuzz/check.h"
#include "fuzz/line_script.h"
#include "link/link.h"
#include "link/rs232.h"
#include "tests/support/fake_rs232.h"
#include "tests/support/fake_userint.h"
#include "tests/support/test_link.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

TestLink testLink; // the exchange in progress

constexpr int PORT = 1;
constexpr double DELAY = double(LINK_DELAY_MS) / 1000;
constexpr double LIMIT = double(RECEIVE_LIMIT_MS) / 1000;
// The last read may begin just before the limit; the flush and the close follow it.
constexpr double LONGEST_RECEIVE =
    LIMIT + DELAY + int(MAX_FLUSH_PASSES) * DELAY + double(DRAIN_LIMIT_MS) / 1000 + 0.1;

// What the script put on the line.
struct Line {
    std::string bytes;  // the scripted bytes in the order they arrive
    double lastArrival; // of the scripted bytes
    double longestWait; // the longest the receiver has to wait for any scripted byte
    double firstArrival = FAKE_NEVER;
    bool noise = false;           // bytes arrive that are not in `bytes`
    double unplugAt = FAKE_NEVER; // when the device fails
};

// Schedules the bytes of data; the port opened at 0 and the receive begins at `receiveStart`.
// Each byte comes a delay after the one before, so the line keeps the order of the script.
Line play(const uint8_t *data, size_t size, double receiveStart) {
    Line line{"", receiveStart, 0};
    double gap = FAKE_BYTE_TIME, pause = -1, previous = 0; // the previous byte, or the open
    std::string run; // bytes that arrive `gap` apart from runStart on
    double runStart = 0;
    auto flushRun = [&] {
        if (!run.empty()) fake_rs232_arrive(runStart, run, gap);
        run.clear();
    };
    auto arrive = [&](uint8_t byte) {
        const double at = previous + (pause >= 0 ? pause : gap);
        if (run.empty()) runStart = at;
        run += char(byte);
        line.bytes += char(byte);
        line.longestWait = std::max(line.longestWait, at - std::max(previous, receiveStart));
        line.lastArrival = at;
        line.firstArrival = std::min(line.firstArrival, at);
        previous = at;
        pause = -1;
    };
    for (size_t i = 0; i < size; i++) {
        if (data[i] != LINE_ESCAPE) {
            arrive(data[i]);
            continue;
        }
        if (++i == size) break;
        const int event = data[i];
        if (event == LINE_ESCAPE) {
            arrive(LINE_ESCAPE);
            continue;
        }
        flushRun();
        const int value = event >> 2;
        switch (event & 3) {
        case EVENT_PAUSE: pause = value / 32.0; break;
        case EVENT_UNPLUG:
            line.unplugAt = std::min(line.unplugAt, previous);
            fake_rs232_unplug(line.unplugAt);
            break;
        case EVENT_NOISE:
            if (++i == size) break;
            fake_rs232_noise(previous, (value + 1) / 256.0, data[i]);
            line.noise = true;
            break;
        case EVENT_GAP: gap = value / 256.0; break;
        }
    }
    flushRun();
    return line;
}

// Whether bytes are exactly one well-formed frame from address with a valid checksum that fits
// the response buffer with its terminator. The checksum rule is the XOR of every byte between
// STX and ETX; for an address whose low seven bits are 0 (never one of 1 to 32) that already
// holds for STX, address, ETX, which the receiver then takes as a frame without payload.
bool one_valid_frame(const std::string &bytes, unsigned char address) {
    const size_t n = bytes.size();
    if (n < 3 || n >= FRAME_BUFFER_SIZE) return false;
    if (bytes[0] != STX || (unsigned char)bytes[1] != (address | 0x80) || bytes[n - 1] != ETX)
        return false;
    unsigned char sum = 0;
    for (size_t i = 1; i + 1 < n; i++) {
        if (!(bytes[i] & 0x80)) return false;
        sum ^= (unsigned char)bytes[i];
    }
    return (sum & 0x7F) == 0;
}

void check_accepted(const char *response, int result, unsigned char address, const Line &line) {
    FUZZ_CHECK(result >= 2 && result + 1 < FRAME_BUFFER_SIZE); // the terminator inside the buffer
    const std::string frame(response, size_t(result) + 1);
    FUZZ_CHECK(response[result + 1] == '\0');
    FUZZ_CHECK(one_valid_frame(frame, address));
    if (!line.noise) FUZZ_CHECK(line.bytes.find(frame) != std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const unsigned char address = data[0];
    const bool openFails = data[1] & LINE_OPEN_FAILS;
    const bool afterDelay = data[1] & LINE_AFTER_DELAY;

    fake_rs232_reset();
    testLink.reset(PORT);
    if (openFails) fake_rs232_fail_opens(RS232_BUSY);
    if (data[1] & LINE_OUTPUT_STALLED) fake_rs232_output_pending(1, FAKE_NEVER);
    ComPortOpen(&testLink.x);
    const size_t messagesBefore = testLink.messages.size();

    const double receiveStart = afterDelay ? DELAY : 0.0;
    const Line line = play(data + 2, size - 2, receiveStart);
    Delay(receiveStart);

    // Exactly the buffer's size, full of junk: a store past it stops the sanitizer.
    auto response = std::make_unique<char[]>(FRAME_BUFFER_SIZE);
    std::fill_n(response.get(), FRAME_BUFFER_SIZE, '\xA5');
    const int result = zeichen_empfangen(&testLink.x, response.get(), address);

    FUZZ_CHECK(!fake_rs232_is_open(PORT));
    FUZZ_CHECK(fake_rs232_now() - receiveStart <= LONGEST_RECEIVE);
    const size_t messages = testLink.messages.size() - messagesBefore;
    FUZZ_CHECK(messages <= 1);
    if (messages == 1) {
        FUZZ_CHECK(result == 0);
    }
    // The port fails before the first read has anything or has timed out: told once.
    const double failed = line.unplugAt;
    const bool failsFirst =
        !line.noise && (failed <= receiveStart ||
                        (failed < line.firstArrival && failed < receiveStart + DELAY - 0.01));
    if (openFails || failsFirst) FUZZ_CHECK(messages == 1);
    if (result != 0) check_accepted(response.get(), result, address, line);

    // A frame that arrives whole, no byte later than a time-out after the one before, is taken.
    const bool clean = !openFails && !line.noise && line.unplugAt == FAKE_NEVER;
    if (clean && one_valid_frame(line.bytes, address) && line.longestWait < DELAY - 0.01 &&
        line.lastArrival - receiveStart < LIMIT - 0.01) {
        FUZZ_CHECK(result == int(line.bytes.size()) - 1);
        FUZZ_CHECK(std::string(response.get()) == line.bytes);
    }
    return 0;
}
