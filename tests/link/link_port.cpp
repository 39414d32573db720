// Opening, writing and closing an exchange's port, against the fakes.
#include "link/link.h"
#include "link/rs232.h"
#include "tests/support/fake_rs232.h"
#include "tests/support/test_link.h"

#include <gtest/gtest.h>

namespace {

TestLink link; // the exchange in progress

class Port : public testing::Test {
protected:
    void SetUp() override {
        fake_rs232_reset();
        link.reset(7);
    }
};

TEST_F(Port, OpenUsesTheExchangesPortAndTheFixedLine) {
    EXPECT_EQ(ComPortOpen(&link.x), 0);

    EXPECT_EQ(link.x.com_num, 7);
    EXPECT_EQ(fake_rs232_calls(),
              (std::vector<std::string>{"OpenComConfig 7 com7 19200 1 8 1 2500 2500", "FlushInQ 7",
                                        "FlushOutQ 7", "SetComTime 7 0.5"}));
    EXPECT_TRUE(fake_rs232_is_open(7));
    EXPECT_TRUE(link.messages.empty());
}

TEST_F(Port, SendWritesExactlyTheFrameWithoutItsTerminator) {
    char frame[FRAME_BUFFER_SIZE];

    EXPECT_EQ(zeichen_senden(&link.x, "A0", frame, 1), 6);

    EXPECT_EQ(fake_rs232_written(), "\x02\x81\xC1\xB0\xF0\x03");
}

TEST_F(Port, FailedOpenShowsItsMessageAndTheWritesAndTheSendGoesOn) {
    fake_rs232_fail_opens(RS232_BUSY);
    char frame[FRAME_BUFFER_SIZE];

    EXPECT_EQ(zeichen_senden(&link.x, "A0", frame, 1), RS232_NOT_OPEN);

    ASSERT_EQ(link.messages.size(), 2u);
    EXPECT_EQ(link.messages[0], fake_rs232_text(RS232_BUSY));
    EXPECT_EQ(link.messages[1], fake_rs232_text(RS232_NOT_OPEN));
    EXPECT_EQ(std::string(frame), "\x02\x81\xC1\xB0\xF0\x03") << "the frame is built all the same";
    EXPECT_EQ(fake_rs232_count("FlushInQ"), 1);
    EXPECT_EQ(fake_rs232_count("ComWrt"), 1);
    EXPECT_TRUE(fake_rs232_written().empty());
}

TEST_F(Port, CloseTwiceClosesOnceAndSaysNothing) {
    ComPortOpen(&link.x);

    EXPECT_EQ(ComPortClose(&link.x), 0);
    EXPECT_FALSE(fake_rs232_is_open(7));
    EXPECT_EQ(ComPortClose(&link.x), 0);

    EXPECT_EQ(ReturnRS232Err(), RS232_NOT_OPEN) << "the second close fails quietly";
    EXPECT_TRUE(link.messages.empty());
}

TEST_F(Port, CloseWaitsForTheOutputQueueButNotForEver) {
    const struct {
        double drainsAt;
        double closedAfterAtLeast, closedAfterAtMost;
    } cases[] = {
        {0.3, 0.3, 0.31},
        {FAKE_NEVER, (double)DRAIN_LIMIT_MS / 1000, (double)DRAIN_LIMIT_MS / 1000 + 0.01},
    };
    for (const auto &c : cases) {
        SetUp();
        ComPortOpen(&link.x);
        fake_rs232_output_pending(40, c.drainsAt);

        ComPortClose(&link.x);

        EXPECT_FALSE(fake_rs232_is_open(7));
        EXPECT_GE(fake_rs232_now(), c.closedAfterAtLeast);
        EXPECT_LE(fake_rs232_now(), c.closedAfterAtMost);
    }
}

} // namespace
