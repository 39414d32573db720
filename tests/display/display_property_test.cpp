// Random frames through both formatters in every mode and both languages: the text is always
// terminated inside the display buffer and nothing behind a frame's terminator is touched.
// Frames and the display buffer live in exactly sized heap buffers, so AddressSanitizer
// reports any access past them.
#include "tests/support/display_frames.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const char letters[] = "AEFHILMOPRSTUadilmopstu";
const int modes[] = {MODE_ALL_BYTES, MODE_NO_FRAMING, MODE_INTERPRETED, 3, -1, 99};
const int languages[] = {GERMAN, ENGLISH, 5};

// A random frame: mostly built by create_framing from a command text that starts with an
// interpreted letter, sometimes raw bytes that no builder would make. Lengths run up to 511.
struct RandomFrame {
    std::vector<char> frame;
    bool printable_payload; // every payload byte, bit 7 cleared, is 0x20 or above
};

RandomFrame random_frame(std::mt19937 &random) {
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    bool printable = pick(0, 1) == 1;
    if (pick(0, 9) == 0) {
        std::string bytes(pick(0, FRAME_BUFFER_SIZE - 1), ' ');
        for (char &byte : bytes) byte = (char)pick(1, 255);
        return {exact_bytes(bytes), false};
    }
    int length = pick(0, 1) ? pick(0, 16) : pick(0, MAX_COMMAND_LENGTH);
    std::string command(length, ' ');
    for (char &byte : command) {
        byte = printable ? (char)(pick(0x20, 0x7E) | (pick(0, 3) == 0 ? 0x80 : 0))
                         : (char)pick(1, 255);
    }
    if (length > 0 && pick(0, 3) != 0) command[0] = letters[pick(0, (int)sizeof letters - 2)];
    return {exact_frame(command, pick(0, 255)), printable};
}

TEST(DisplayProperty, RandomFramesInEveryModeAndLanguage) {
    const unsigned seed = 20240611;
    std::mt19937 random(seed); // NOLINT(cert-msc32-c,cert-msc51-cpp): a failure must repeat
    for (int round = 0; round < 4000; round++) {
        RandomFrame sample = random_frame(random);
        const size_t n = sample.frame.size() - 1;
        for (Formatter formatter : {format_sendbuffer, format_receivebuffer}) {
            for (int mode : modes) {
                for (int language : languages) {
                    std::vector<char> frame = sample.frame;
                    const std::string text = format_with(formatter, frame, mode, language);
                    ASSERT_NE(text, NO_TERMINATOR) << "seed " << seed << " round " << round;
                    SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round
                                                    << " mode " << mode << " text " << text);
                    EXPECT_EQ(frame[n], '\0');
                    switch (mode) {
                    case MODE_ALL_BYTES: EXPECT_EQ(text.size(), 5 * n); break;
                    case MODE_NO_FRAMING: EXPECT_LE(text.size(), n > 4 ? n - 4 : 0); break;
                    case MODE_INTERPRETED: break;
                    default: EXPECT_EQ(text, ""); break;
                    }
                    if (mode != MODE_INTERPRETED) {
                        EXPECT_EQ(frame, sample.frame);
                        continue;
                    }
                    EXPECT_LE(text.size(), 700u);
                    if (n >= 1) {
                        EXPECT_EQ(frame[n - 1], sample.frame[n - 1]) << "the end byte stays";
                    }
                    // Control characters can come only from behind the payload (the ETX).
                    if (sample.printable_payload) {
                        for (char c : text) EXPECT_FALSE(c > 0 && c < 0x20) << (int)c;
                    }
                }
            }
        }
    }
}

} // namespace
