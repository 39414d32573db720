// The frame builder against the worked examples and the edge cases of addresses and lengths.
#include "link/link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct FrameCase {
    const char *name;
    std::string command;
    int address;
    std::string frame; // without the terminator
};

void PrintTo(const FrameCase &c, std::ostream *os) {
    *os << c.name;
}

class Framing : public testing::TestWithParam<FrameCase> {};

TEST_P(Framing, BuildsTheFrameAndItsTerminator) {
    const FrameCase &c = GetParam();
    char buffer[FRAME_BUFFER_SIZE];
    memset(buffer, 0x55, sizeof buffer);

    int length = create_framing(c.command.c_str(), buffer, c.address);

    ASSERT_EQ(length, int(c.command.size()) + 4);
    EXPECT_EQ(std::string(buffer, size_t(length)), c.frame);
    EXPECT_EQ(buffer[length], '\0');
    EXPECT_EQ(buffer[length + 1], 0x55) << "wrote past the terminator";
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamplesAndAddresses, Framing,
    testing::Values(FrameCase{"S", "S", 1, "\x02\x81\xD3\xD2\x03"},
                    FrameCase{"A0", "A0", 1, "\x02\x81\xC1\xB0\xF0\x03"},
                    FrameCase{"Empty", "", 1, std::string("\x02\x81\x81\x03")},
                    FrameCase{"Address0", "S", 0, "\x02\x80\xD3\xD3\x03"},
                    FrameCase{"EmptyAtAddress32", "", 32, "\x02\xA0\xA0\x03"},
                    // 128 and up: sent unchanged, and the full 8 bits start the checksum.
                    FrameCase{"Address200", "S", 200, "\x02\xC8\xD3\x9B\x03"},
                    FrameCase{"Address300IsTakenModulo256", "S", 300, "\x02\xAC\xD3\xFF\x03"},
                    FrameCase{"Address257IsAddress1", "A0", 257, "\x02\x81\xC1\xB0\xF0\x03"},
                    // A byte that has its high bit already enters the checksum with it.
                    FrameCase{"HighBitCommandByte", "\xC1", 1, "\x02\x81\xC1\xC0\x03"}),
    [](const testing::TestParamInfo<FrameCase> &info) { return std::string(info.param.name); });

// Every frame passes the validity rule that the receiver applies.
TEST(Framing, ChecksumMakesTheBodyXorVanishInItsLowSevenBits) {
    char buffer[FRAME_BUFFER_SIZE];
    for (int address : {0, 1, 17, 32, 127, 128, 255}) {
        int length = create_framing("T1234567890 ?~", buffer, address);
        unsigned char sum = 0;
        for (int i = 1; i < length - 1; i++) {
            ASSERT_TRUE(buffer[i] & 0x80) << "byte " << i << " lacks its high bit";
            sum ^= (unsigned char)buffer[i];
        }
        EXPECT_EQ(sum & 0x7F, 0) << "address " << address;
    }
}

// The longest text fills the buffer exactly; a longer one is cut to it. The buffer is a heap
// block of exactly FRAME_BUFFER_SIZE bytes, so a write past it stops the sanitizer build.
TEST(Framing, LongTextsAreCutToTheLongestThatFits) {
    auto buffer = std::make_unique<char[]>(FRAME_BUFFER_SIZE);
    const std::string longest(MAX_COMMAND_LENGTH, 'P');

    EXPECT_EQ(create_framing(longest.c_str(), buffer.get(), 1), 511);
    EXPECT_EQ(buffer[511], '\0');
    const std::string longestFrame(buffer.get(), 511);

    for (size_t extra : {1, 2, 600}) {
        const std::string longer = longest + std::string(extra, 'Q');
        EXPECT_EQ(create_framing(longer.c_str(), buffer.get(), 1), 511);
        EXPECT_EQ(std::string(buffer.get(), 511), longestFrame) << extra << " extra bytes";
        EXPECT_EQ(buffer[511], '\0');
    }
}

} // namespace
