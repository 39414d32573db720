// Faults on demand: each one puts exactly the bytes it promises on the line.
#include "tests/support/sim_fixture.h"

#include "link/link.h"

#include <string>

namespace {

const int ADDRESS = 5;

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes spoiled(Bytes frame) {
    frame[frame.size() - 2] ^= 0x01;
    return frame;
}

// The answer "L0" padded with blanks to 508 characters, framed by hand: a body of 509 bytes.
Bytes oversize_answer() {
    std::string payload = "L0" + std::string(MAX_COMMAND_LENGTH + 1 - 2, ' ');
    Bytes frame{STX, (unsigned char)(ADDRESS | 0x80)};
    unsigned char sum = ADDRESS;
    for (char c : payload) {
        frame.push_back((unsigned char)(c | 0x80));
        sum ^= (unsigned char)c;
    }
    frame.push_back(sum | 0x80);
    frame.push_back(ETX);
    return frame;
}

TEST(SimFault, EachFaultSendsExactlyItsBytes) {
    const Bytes good = frame_of("L0", ADDRESS);
    const struct Case {
        const char *fault;
        Bytes bytes;
    } cases[] = {
        {"silent", {}},
        {"bad-checksum", spoiled(good)},
        {"wrong-address", frame_of("L0", ADDRESS + 1)},
        {"stray-byte", join({{0xFF}, good})},
        {"trailing", join({good, {'\r', '\n'}})},
        {"bad-then-good", join({spoiled(good), good})},
        {"slow", good},
        {"oversize", oversize_answer()},
    };
    for (const Case &c : cases) {
        SimProcess faulty(
            {"--address", std::to_string(ADDRESS), "--fault", c.fault, "--byte-gap", "20"});
        ASSERT_TRUE(faulty.started()) << c.fault;
        int fd = open_port(faulty.path());
        ASSERT_GE(fd, 0);
        for (int round = 0; round < 2; round++) { // every answer, not just the first
            send_bytes(fd, frame_of("L", ADDRESS));
            EXPECT_EQ(hex(read_until_quiet(fd, 200, 1000)), hex(c.bytes)) << c.fault;
        }
        close(fd);
        EXPECT_EQ(faulty.stop(), 0) << faulty.stderr_text();
    }
}

TEST_F(SimLine, WrongAddressFollows32With1) {
    start({"--address", "32", "--fault", "wrong-address"});
    EXPECT_EQ(hex(exchange(port, "L", 32)), hex(frame_of("L0", 1)));
}

TEST_F(SimLine, OnlyEveryKthAnswerIsFaulty) {
    start({"--fault", "bad-checksum", "--fault-every", "3"});
    const Bytes good = frame_of("L0", 1);
    for (int answer = 1; answer <= 6; answer++)
        EXPECT_EQ(hex(exchange(port, "L", 1)), hex(answer % 3 == 0 ? spoiled(good) : good))
            << "answer " << answer;
    // A request that gets no answer is no answer to count.
    EXPECT_EQ(hex(exchange(port, "B", 1)), "");
    EXPECT_EQ(hex(exchange(port, "L", 1)), hex(good));
}

TEST_F(SimLine, SlowBytesAreSpacedByTheByteGap) {
    start({"--fault", "slow", "--byte-gap", "100"});
    const Bytes good = frame_of("L0", 1);
    double sent = seconds_now();
    send_bytes(port, frame_of("L", 1));
    Bytes first = read_until_quiet(port, 30, 1000); // the first byte comes at once
    double first_at = seconds_now();
    Bytes rest = read_until_quiet(port, 300, 3000);
    double last_at = seconds_now() - 0.3;
    EXPECT_EQ(hex(join({first, rest})), hex(good));
    EXPECT_LT(first_at - sent, 0.2);
    EXPECT_EQ(first.size(), 1u);
    // Five gaps of 0.1 s between six bytes, each well within the receiver's 0.5 s.
    EXPECT_GE(last_at - sent, 0.45);
    EXPECT_LT(last_at - sent, 2.0);
}

TEST_F(SimLine, NoiseNeverFallsSilentUntilTheNextRequest) {
    start({"--fault", "noise", "--fault-every", "2", "--byte-gap", "50"});
    const Bytes good = frame_of("L0", 1);
    EXPECT_EQ(hex(exchange(port, "L", 1)), hex(good)); // answer 1: honest

    send_bytes(port, frame_of("L", 1)); // answer 2: noisy
    double start_at = seconds_now();
    Bytes noisy = read_until_quiet(port, 300, 1200);
    EXPECT_GE(seconds_now() - start_at, 1.15) << "the line fell silent for 0.3 s";
    ASSERT_GT(noisy.size(), good.size() + 10);
    EXPECT_EQ(hex(Bytes(noisy.begin(), noisy.begin() + good.size())), hex(good));
    for (size_t i = good.size(); i < noisy.size(); i++) ASSERT_EQ(noisy[i], 0xFF) << i;

    send_bytes(port, frame_of("L", 1)); // answer 3: honest, and the noise ends
    Bytes last = read_until_quiet(port, 300, 2000);
    ASSERT_GE(last.size(), good.size());
    EXPECT_EQ(hex(Bytes(last.end() - good.size(), last.end())), hex(good));
    for (size_t i = 0; i < last.size() - good.size(); i++) EXPECT_EQ(last[i], 0xFF) << i;
}

} // namespace
