// The response receiver against a scripted line: every way a response ends, in virtual time.
#include "link/link.h"
#include "link/outcome.h"
#include "link/rs232.h"
#include "tests/support/com_ring.h"
#include "tests/support/fake_rs232.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// The frame a chamber at `address` answers with, built like a request.
std::string frame(const std::string &payload, int address = 1) {
    char buffer[FRAME_BUFFER_SIZE];
    return std::string(buffer, size_t(create_framing(payload.c_str(), buffer, address)));
}

// A frame whose body may be longer than any buffer: STX, address, body, checksum, ETX.
std::string longFrame(size_t bodyBytes, int address = 1) {
    std::string f = {STX, char(address | 0x80)};
    unsigned char sum = (unsigned char)address;
    for (size_t i = 0; i + 1 < bodyBytes; i++) {
        sum ^= 'Q';
        f += char('Q' | 0x80);
    }
    return f + char(sum | 0x80) + char(ETX);
}

std::string withByte(std::string f, size_t at, char byte) {
    f[at] = byte;
    return f;
}

// The frame with a checksum that is wrong in its low seven bits but keeps its high bit.
std::string badChecksum(const std::string &f) {
    return withByte(f, f.size() - 2, char(f[f.size() - 2] ^ 0x01));
}

const std::string answer = frame("a0 +023.4 +025.0");
const std::string shortAnswer = frame("S1");
const double limit = (double)RECEIVE_LIMIT_MS / 1000;
const double flushBound = (double)(MAX_FLUSH_PASSES * LINK_DELAY_MS) / 1000;

struct ReceiveCase {
    const char *name;
    std::function<void()> script; // times count from the write
    double wait;                  // between the write and the receive: 0.5 as by Enter, 0 by timer
    std::string accepted;         // the frame the receiver must accept, empty for result 0
    double minSeconds, maxSeconds;
    int flushPasses; // -1: not checked
    int message = 0; // the code whose text the one message box shows, 0 for none
    unsigned char address = 1;
};

void PrintTo(const ReceiveCase &c, std::ostream *os) {
    *os << c.name;
}

class Receiver : public testing::TestWithParam<ReceiveCase> {};

TEST_P(Receiver, EndsAsExpected) {
    const ReceiveCase &c = GetParam();
    fake_rs232_reset();
    fake_ui_reset();
    fake_ui_main_panel_with_port(1);
    c.script();
    char request[FRAME_BUFFER_SIZE];
    zeichen_senden("A0", request, c.address);
    const size_t messagesAfterSend = fake_ui_messages().size();
    Delay(c.wait);
    const int delaysBefore = fake_rs232_count("Delay");
    const int flushesBefore = fake_rs232_count("FlushInQ") + fake_rs232_count("GetInQLen");
    // Exactly the buffer's size on the heap: a store past it stops the sanitizer build.
    auto response = std::make_unique<char[]>(FRAME_BUFFER_SIZE);
    const double start = fake_rs232_now();

    const int result = zeichen_empfangen(response.get(), c.address);

    const double took = fake_rs232_now() - start;
    if (c.accepted.empty()) {
        EXPECT_EQ(result, 0);
    } else {
        EXPECT_EQ(result, int(c.accepted.size()) - 1);
        EXPECT_EQ(std::string(response.get()), c.accepted);
    }
    EXPECT_GE(took, c.minSeconds);
    EXPECT_LE(took, c.maxSeconds);
    if (c.flushPasses >= 0) {
        EXPECT_EQ(fake_rs232_count("Delay") - delaysBefore, c.flushPasses);
    }
    EXPECT_FALSE(fake_rs232_is_open(1)) << "the port is closed on every way out";

    const std::vector<FakeMessage> &messages = fake_ui_messages();
    if (c.message == 0) {
        EXPECT_EQ(messages.size(), messagesAfterSend);
    } else {
        ASSERT_EQ(messages.size(), messagesAfterSend + 1);
        EXPECT_EQ(messages.back().title, "RS-232 Message");
        EXPECT_EQ(messages.back().message, fake_rs232_text(c.message));
        EXPECT_EQ(fake_rs232_count("FlushInQ") + fake_rs232_count("GetInQLen"), flushesBefore)
            << "no flush after a port failure";
    }
}

const double byteTime = FAKE_BYTE_TIME;
const double eps = 0.02;

INSTANTIATE_TEST_SUITE_P(
    Responses, Receiver,
    testing::Values(
        ReceiveCase{"ValidFrame", [] { fake_rs232_arrive(0.01, answer); }, 0, answer, 0,
                    0.01 + answer.size() * byteTime + eps, 0},
        ReceiveCase{"ValidFrameWaitingBeforeTheReceive", [] { fake_rs232_arrive(0.01, answer); },
                    0.5, answer, 0, eps, 0},
        ReceiveCase{"TrailingBytesAreDiscardedAfterOneQuietWait",
                    [] { fake_rs232_arrive(0.01, answer + "\x85\x01xyz"); }, 0.5, answer, 0.5,
                    0.5 + eps, 1},
        ReceiveCase{"Silence", [] {}, 0, "", 0.5, 0.5 + eps, 0},
        ReceiveCase{"SilenceInsideTheFrame", [] { fake_rs232_arrive(0.01, answer.substr(0, 5)); },
                    0, "", 0.5, 0.52, 0},
        ReceiveCase{"StrayByteBeforeStx", [] { fake_rs232_arrive(0.01, "\x7F" + answer); }, 0.5, "",
                    0.5, 0.5 + eps, 1},
        ReceiveCase{"AnotherChambersAddress", [] { fake_rs232_arrive(0.01, frame("a0", 2)); }, 0.5,
                    "", 0.5, 0.5 + eps, 1},
        ReceiveCase{"ControlByteInsideTheBody",
                    [] { fake_rs232_arrive(0.01, withByte(answer, 4, '\r')); }, 0.5, "", 0.5,
                    0.5 + eps, 1},
        ReceiveCase{"BadChecksumThenSilence", [] { fake_rs232_arrive(0.01, badChecksum(answer)); },
                    0.5, "", 0.5, 0.5 + eps, 0},
        ReceiveCase{"ChecksumLackingItsHighBit",
                    [] {
                        size_t at = shortAnswer.size() - 2;
                        ASSERT_NE(shortAnswer[at] & 0x7F, ETX);
                        fake_rs232_arrive(0.01, withByte(shortAnswer, at, shortAnswer[at] & 0x7F));
                    },
                    0.5, "", 0.5, 0.5 + eps, 1},
        ReceiveCase{"BadChecksumThenAGoodFrameStoredFromTheStart",
                    [] {
                        fake_rs232_arrive(0.01, badChecksum(answer));
                        fake_rs232_arrive(0.3, shortAnswer);
                    },
                    0, shortAnswer, 0.3, 0.3 + eps, 0},
        ReceiveCase{"NoBodyAtAddressZero", [] { fake_rs232_arrive(0.01, "\x02\x80\x03"); }, 0,
                    "\x02\x80\x03", 0, eps, 0, 0, 0},
        ReceiveCase{"NoBodyAtAddress128", [] { fake_rs232_arrive(0.01, "\x02\x80\x03"); }, 0,
                    "\x02\x80\x03", 0, eps, 0, 0, 128},
        ReceiveCase{"NoBodyAtAddressOneFailsItsChecksum",
                    [] { fake_rs232_arrive(0.01, "\x02\x81\x03"); }, 0, "", 0.5, 0.5 + eps, 0},
        ReceiveCase{"AddressAbove127", [] { fake_rs232_arrive(0.01, frame("a0", 200)); }, 0,
                    frame("a0", 200), 0, eps, 0, 0, 200},
        ReceiveCase{"LongestBodyFillsTheBuffer", [] { fake_rs232_arrive(0.01, longFrame(508)); },
                    0.5, longFrame(508), 0, eps, 0},
        ReceiveCase{"BodyOneByteTooLong", [] { fake_rs232_arrive(0.01, longFrame(509)); }, 0.5, "",
                    0.5, 0.5 + eps, 1},
        ReceiveCase{"BodyFarTooLong", [] { fake_rs232_arrive(0.01, longFrame(3000)); }, 0, "", 0,
                    limit + 0.5 + flushBound, -1},
        ReceiveCase{"LineNeverQuietAfterAFrame",
                    [] {
                        fake_rs232_arrive(0.01, answer);
                        fake_rs232_noise(0.1, 0.002, 0xFF);
                    },
                    0.5, answer, flushBound, flushBound + eps, MAX_FLUSH_PASSES},
        ReceiveCase{"LineNeverQuietFromTheStart", [] { fake_rs232_noise(0.01, 0.002, 0x55); }, 0.5,
                    "", flushBound, flushBound + eps, MAX_FLUSH_PASSES},
        ReceiveCase{"SlowBytesWithinTheLimit", [] { fake_rs232_arrive(0.01, shortAnswer, 0.3); }, 0,
                    shortAnswer, 0.01 + 5 * 0.3, 0.01 + 5 * 0.3 + eps, 0},
        ReceiveCase{"TrickleIsAbandonedAtTheLimit", [] { fake_rs232_arrive(0.01, answer, 0.4); }, 0,
                    "", limit, limit + 0.5 + flushBound + eps, -1},
        ReceiveCase{"ReadFailsAfterAFailedOpen", [] { fake_rs232_fail_opens(RS232_NO_DEVICE); }, 0,
                    "", 0, eps, 0, RS232_NOT_OPEN},
        ReceiveCase{"DeviceGoneInsideTheFrame",
                    [] {
                        fake_rs232_arrive(0.01, answer);
                        fake_rs232_unplug(0.01 + 4.5 * byteTime);
                    },
                    0, "", 0, eps, 0, RS232_IO}),
    [](const testing::TestParamInfo<ReceiveCase> &info) { return std::string(info.param.name); });

// Why each receive ended: the code, the byte that decided (by its place among the bytes read,
// and its value), and what was read and flushed.
TEST(ReceiveOutcome, NamesTheRuleAndTheByte) {
    const struct {
        const char *code;
        std::function<void()> script;
        int index, value; // the deciding byte; -1 for none
        int count;        // bytes read
        int flushed = 0;
        double wait = 0.5; // between the write and the receive, as by Enter
    } cases[] = {
        {"ok", [] { fake_rs232_arrive(0.01, answer); }, int(answer.size()) - 1, ETX,
         int(answer.size())},
        {"ok", [] { fake_rs232_arrive(0.01, answer + "\x85\x01xyz"); }, int(answer.size()) - 1, ETX,
         int(answer.size()), 5},
        {"no-answer", [] {}, -1, 0, 0},
        {"bad-start", [] { fake_rs232_arrive(0.01, "\x7F" + answer); }, 0, 0x7F, 1,
         int(answer.size())},
        {"wrong-address", [] { fake_rs232_arrive(0.01, frame("a0", 2)); }, 1, 0x82, 2, 4},
        {"no-high-bit", [] { fake_rs232_arrive(0.01, withByte(answer, 4, '\r')); }, 4, '\r', 5,
         int(answer.size()) - 5},
        // the checksum byte leaves the XOR at 1 instead of 0
        {"bad-checksum", [] { fake_rs232_arrive(0.01, badChecksum(answer)); },
         int(answer.size()) - 2, 0x01, int(answer.size())},
        {"ok",
         [] {
             fake_rs232_arrive(0.01, badChecksum(answer));
             fake_rs232_arrive(0.3, shortAnswer);
         },
         int(answer.size() + shortAnswer.size()) - 1, ETX, int(answer.size() + shortAnswer.size())},
        {"too-long", [] { fake_rs232_arrive(0.01, longFrame(509)); }, 510, 0, 511, 1},
        {"incomplete", [] { fake_rs232_arrive(0.01, answer.substr(0, 5)); }, -1, 0, 5},
        {"too-slow", [] { fake_rs232_arrive(0.01, answer, 0.4); }, -1, 0, 6, 0, 0},
        {"port-error",
         [] {
             fake_rs232_arrive(0.01, answer);
             fake_rs232_unplug(0.01 + 4.5 * byteTime);
         },
         -1, 0, 5, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        fake_rs232_reset();
        fake_ui_reset();
        fake_ui_main_panel_with_port(1);
        c.script();
        char request[FRAME_BUFFER_SIZE], response[FRAME_BUFFER_SIZE];
        zeichen_senden("A0", request, 1);
        Delay(c.wait);
        zeichen_empfangen(response, 1);

        const ReceiveOutcome &outcome = link_trace.receive;
        EXPECT_STREQ(receive_code_name(outcome.code), c.code);
        EXPECT_EQ(outcome.decidingIndex, c.index);
        if (c.index >= 0 && c.value != 0) {
            EXPECT_EQ(outcome.decidingValue, c.value);
        }
        EXPECT_EQ(outcome.count, c.count);
        EXPECT_EQ(outcome.flushed, c.flushed);
        EXPECT_EQ(outcome.portError, std::string(c.code) == "port-error" ? RS232_IO : 0);
        if (outcome.count > 0) { // when the first byte came, whether read at once or after the wait
            EXPECT_NEAR(outcome.ms[0], 10.0, 0.01);
        }
    }
}

} // namespace
