// Byte views (display modes 0 and 1), the mode-2 preparation and the dispatch on the letter,
// common to both formatters.
#include "tests/support/display_frames.h"

#include <gtest/gtest.h>

namespace {

const Formatter formatters[] = {format_sendbuffer, format_receivebuffer};

TEST(ByteViews, FrameOfTInEveryMode) {
    for (Formatter formatter : formatters) {
        std::vector<char> frame = exact_frame("T");
        const std::vector<char> built = frame;
        EXPECT_EQ(format_with(formatter, frame, MODE_ALL_BYTES, GERMAN),
                  "0x02 0x81 0xD4 0xD5 0x03 ");
        EXPECT_EQ(format_with(formatter, frame, MODE_NO_FRAMING, GERMAN), "T");
        for (int mode : {3, -1, 1000}) EXPECT_EQ(format_with(formatter, frame, mode, ENGLISH), "");
        EXPECT_EQ(frame, built) << "only mode 2 may edit the frame";
    }
}

TEST(ByteViews, EmptyPayload) {
    for (Formatter formatter : formatters) {
        std::vector<char> frame = exact_frame("");
        EXPECT_EQ(format_with(formatter, frame, MODE_ALL_BYTES, GERMAN), "0x02 0x81 0x81 0x03 ");
        EXPECT_EQ(format_with(formatter, frame, MODE_NO_FRAMING, GERMAN), "");
        EXPECT_EQ(format_with(formatter, frame, MODE_INTERPRETED, ENGLISH), "");
    }
}

// Frames shorter than the framing alone: the bytes in mode 0, nothing in modes 1 and 2.
TEST(ByteViews, FramesShorterThanTheFraming) {
    for (const char *bytes : {"", "\x02", "\x02\x81", "\x02\x81\x03"}) {
        for (Formatter formatter : formatters) {
            std::vector<char> frame = exact_bytes(bytes);
            EXPECT_EQ(format_with(formatter, frame, MODE_ALL_BYTES, GERMAN).size(),
                      5 * strlen(bytes));
            EXPECT_EQ(format_with(formatter, frame, MODE_NO_FRAMING, GERMAN), "");
            EXPECT_EQ(format_with(formatter, frame, MODE_INTERPRETED, GERMAN), "");
        }
    }
}

TEST(ByteViews, HighBitBytesAreNeverSignExtended) {
    std::vector<char> frame = exact_frame("\xe4\xff", 0xFE);
    EXPECT_EQ(format_with(format_sendbuffer, frame, MODE_ALL_BYTES, GERMAN),
              "0x02 0xFE 0xE4 0xFF 0xE5 0x03 ");
    EXPECT_EQ(format_with(format_sendbuffer, frame, MODE_NO_FRAMING, GERMAN), "d\x7f");
}

TEST(ByteViews, LongestFrameFitsTheDisplayBuffer) {
    std::string command(MAX_COMMAND_LENGTH, 'x');
    std::vector<char> frame = exact_frame(command);
    ASSERT_EQ(frame.size(), (size_t)FRAME_BUFFER_SIZE);
    std::string all = format_with(format_receivebuffer, frame, MODE_ALL_BYTES, GERMAN);
    EXPECT_EQ(all.size(), 2555u);
    EXPECT_EQ(all.substr(0, 15), "0x02 0x81 0xF8 ");
    EXPECT_EQ(all.substr(all.size() - 5), "0x03 ");
    EXPECT_EQ(format_with(format_receivebuffer, frame, MODE_NO_FRAMING, GERMAN), command);
}

// No frame buffer holds a longer frame, but a caller that passes one gets whole groups up to
// the display buffer's end, never a write past it.
TEST(ByteViews, OverlongFrameIsCutAtTheDisplayBuffer) {
    std::vector<char> frame = exact_bytes(std::string(600, '\xaa'));
    EXPECT_EQ(format_with(format_sendbuffer, frame, MODE_ALL_BYTES, GERMAN).size(), 2555u);
    EXPECT_EQ(format_with(format_sendbuffer, frame, MODE_NO_FRAMING, GERMAN),
              std::string(596, '*'));
}

// Mode 2 leaves a NUL over the checksum and clears bit 7 of the payload; ETX stays.
TEST(Interpreted, FrameTextAfterTheCall) {
    for (Formatter formatter : formatters) {
        std::vector<char> frame = exact_frame("a0 030.0");
        format_with(formatter, frame, MODE_INTERPRETED, GERMAN);
        const char prepared[] = "\x02\x81"
                                "a0 030.0\0\x03";
        EXPECT_EQ(std::vector<char>(frame),
                  std::vector<char>(prepared, prepared + sizeof prepared));
    }
}

TEST(Interpreted, LettersWithoutARowGiveAnEmptyText) {
    for (const char *command : {"B", "b", "x", "Z", "0", "9 1", "@", "`", "v", "~", "G", "N"}) {
        EXPECT_EQ(request_text(command, GERMAN), "") << command;
        EXPECT_EQ(request_text(command, ENGLISH), "") << command;
        EXPECT_EQ(response_text(command, GERMAN), "") << command;
        EXPECT_EQ(response_text(command, ENGLISH), "") << command;
    }
}

// A command byte above 0x7F is read with bit 7 cleared: 0xE4 is the letter d.
TEST(Interpreted, HighBitLetter) {
    EXPECT_EQ(request_text("\xe4", ENGLISH), "Adjust ramprate for ramp down of channel ");
    EXPECT_EQ(response_text("\xe4", ENGLISH), "Ramprate changed");
    EXPECT_EQ(response_text("\xc2", ENGLISH), ""); // B
}

} // namespace
