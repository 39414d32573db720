// The response receiver against a scripted line: every way a response ends, in virtual time.
#include "link/link.h"
#include "link/outcome.h"
#include "link/rs232.h"
#include "tests/support/fake_rs232.h"
#include "tests/support/test_link.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

namespace {

TestLink link; // the exchange in progress

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

// The frame with a checksum that is wrong in one of its low seven bits but keeps its high bit.
std::string badChecksum(const std::string &f, int bit = 0) {
    return withByte(f, f.size() - 2, char(f[f.size() - 2] ^ (1 << bit)));
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
    link.reset(1);
    c.script();
    char request[FRAME_BUFFER_SIZE];
    zeichen_senden(&link.x, "A0", request, c.address);
    const size_t messagesAfterSend = link.messages.size();
    Delay(c.wait);
    const int delaysBefore = fake_rs232_count("Delay");
    const int flushesBefore = fake_rs232_count("FlushInQ") + fake_rs232_count("GetInQLen");
    // Exactly the buffer's size on the heap: a store past it stops the sanitizer build.
    auto response = std::make_unique<char[]>(FRAME_BUFFER_SIZE);
    const double start = fake_rs232_now();

    const int result = zeichen_empfangen(&link.x, response.get(), c.address);

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

    const std::vector<std::string> &messages = link.messages;
    if (c.message == 0) {
        EXPECT_EQ(messages.size(), messagesAfterSend);
    } else {
        ASSERT_EQ(messages.size(), messagesAfterSend + 1);
        EXPECT_EQ(messages.back(), fake_rs232_text(c.message));
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

// A checksum wrong in any one of its seven bits is refused, and the receiver waits on for a frame.
std::vector<ReceiveCase> badChecksumBits() {
    static const std::string names[] = {"Bit0", "Bit1", "Bit2", "Bit3", "Bit4", "Bit5", "Bit6"};
    std::vector<ReceiveCase> cases;
    for (int bit = 0; bit < 7; bit++)
        cases.push_back({names[bit].c_str(),
                         [bit] { fake_rs232_arrive(0.01, badChecksum(answer, bit)); }, 0.5, "", 0.5,
                         0.5 + eps, 0});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(BadChecksum, Receiver, testing::ValuesIn(badChecksumBits()),
                         [](const testing::TestParamInfo<ReceiveCase> &info) {
                             return std::string(info.param.name);
                         });

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
        link.reset(1);
        c.script();
        char request[FRAME_BUFFER_SIZE], response[FRAME_BUFFER_SIZE];
        zeichen_senden(&link.x, "A0", request, 1);
        Delay(c.wait);
        zeichen_empfangen(&link.x, response, 1);

        const ReceiveOutcome &outcome = link.x.trace.receive;
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

// Reading at once (receive_from) against the receive after a wait, at the edges of its rule:
// the first byte by `from` + firstWait, each later byte within 0.5 s of max(from, the byte before),
// nothing after the exchange's limit. Write at 0; from 0.5 is Enter's receive read at once.
struct AtOnceCase {
    const char *name;
    std::function<void()> script;
    double from, firstWait;
    const char *code;
};

struct Received {
    int result;
    std::string response, code;
    double end; // when the receive returned
};

Received receive(const std::function<void()> &script, bool atOnce, double from, double firstWait) {
    fake_rs232_reset();
    link.reset(1);
    script();
    char request[FRAME_BUFFER_SIZE], response[FRAME_BUFFER_SIZE] = "";
    zeichen_senden(&link.x, "A0", request, 1);
    Received r;
    if (atOnce) {
        r.result = receive_from(&link.x, response, 1, from, firstWait);
    } else {
        Delay(from);
        r.result = zeichen_empfangen(&link.x, response, 1);
    }
    r.response = r.result ? response : "";
    r.code = receive_code_name(link.x.trace.receive.code);
    r.end = fake_rs232_now();
    return r;
}

TEST(ReadAtOnce, AcceptsExactlyWhatTheReceiveAfterTheWaitAccepts) {
    const double d = 0.001;
    // the response in two parts: its first three bytes at `at`, the rest at `rest`
    auto split = [](double at, double rest) {
        return [=] {
            fake_rs232_arrive(at, shortAnswer.substr(0, 3));
            fake_rs232_arrive(rest, shortAnswer.substr(3));
        };
    };
    // byte 5 (the ETX) comes at `last`, the others 0.45 s apart before it
    auto trickle = [](double last) {
        return [=] {
            for (size_t i = 0; i < shortAnswer.size(); i++)
                fake_rs232_arrive(last - 0.45 * double(5 - i), shortAnswer.substr(i, 1));
        };
    };
    const double rest = 0.6 + 3 * byteTime;
    const AtOnceCase cases[] = {
        {"first byte just inside", [=] { fake_rs232_arrive(1.0 - d, shortAnswer); }, 0.5, 0.5,
         "ok"},
        {"first byte just outside", [=] { fake_rs232_arrive(1.0 + d, shortAnswer); }, 0.5, 0.5,
         "no-answer"},
        {"gap just under the time-out", split(0.6, rest + 0.5 - d), 0.5, 0.5, "ok"},
        {"gap just over the time-out", split(0.6, rest + 0.5 + d), 0.5, 0.5, "incomplete"},
        {"gap counted from `from` just under", split(0.1, 1.0 - d), 0.5, 0.5, "ok"},
        {"gap counted from `from` just over", split(0.1, 1.0 + d), 0.5, 0.5, "incomplete"},
        {"last byte just before the exchange's limit", trickle(2.5 - d), 0.5, 0.5, "ok"},
        {"last byte just after the exchange's limit", trickle(2.5 + d), 0.5, 0.5, "too-slow"},
        {"scan: first byte just inside", [=] { fake_rs232_arrive(0.1 - d, shortAnswer); }, 0, 0.1,
         "ok"},
        {"scan: first byte just outside", [=] { fake_rs232_arrive(0.1 + d, shortAnswer); }, 0, 0.1,
         "no-answer"},
        {"scan: later bytes keep the 0.5 s", split(0.05, 0.05 + 3 * byteTime + 0.5 - d), 0, 0.1,
         "ok"},
    };
    for (const AtOnceCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Received atOnce = receive(c.script, true, c.from, c.firstWait);
        EXPECT_EQ(atOnce.code, c.code);
        EXPECT_EQ(atOnce.response, std::string(c.code) == "ok" ? shortAnswer : "");
        if (atOnce.result) { // with the ETX: nothing trails it, and the close polls once
            EXPECT_LE(atOnce.end, link.x.trace.receive.ms[5] / 1000 + FAKE_CALL_TIME + 1e-6);
        }
        if (c.firstWait == 0.5) { // the same line, read after Enter's wait
            const Received waited = receive(c.script, false, c.from, 0);
            EXPECT_EQ(waited.code, atOnce.code);
            EXPECT_EQ(waited.result, atOnce.result);
        }
    }
}

// Random lines: frames whole, cut, corrupted or foreign, stray bytes, at random times and gaps.
// Read at once from 0.5 s or after a 0.5 s wait, each is decided alike.
TEST(ReadAtOnce, DecidesRandomLinesAsTheReceiveAfterTheWait) {
    // NOLINTNEXTLINE(cert-msc32-c,cert-msc51-cpp): the same lines every run, so a failure repeats
    std::mt19937 random(20240501);
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const std::string pieces[] = {answer,         shortAnswer,         badChecksum(answer),
                                  frame("A0", 2), answer.substr(0, 7), "\x7F",
                                  "\x85"};
    int accepted = 0;
    for (int trial = 0; trial < 1000; trial++) {
        struct Arrival {
            double at;
            std::string bytes;
            double gap;
        };
        std::vector<Arrival> arrivals;
        double at = uniform(0, 1.2);
        for (int n = std::uniform_int_distribution<int>(1, 3)(random); n > 0; n--) {
            const std::string &piece = pieces[random() % std::size(pieces)];
            const double gap = random() % 4 == 0 ? uniform(0.3, 0.6) : byteTime;
            // now and then a pause somewhere inside the piece
            const size_t cut = random() % 3 == 0 ? random() % piece.size() : piece.size();
            arrivals.push_back({at, piece.substr(0, cut), gap});
            at += gap * double(cut) + uniform(0, 0.7);
            if (cut < piece.size()) {
                arrivals.push_back({at, piece.substr(cut), gap});
                at += gap * double(piece.size() - cut) + uniform(0, 0.7);
            }
        }
        auto script = [&] {
            for (const Arrival &a : arrivals) fake_rs232_arrive(a.at, a.bytes, a.gap);
        };
        const Received waited = receive(script, false, 0.5, 0);
        const Received atOnce = receive(script, true, 0.5, 0.5);
        ASSERT_EQ(atOnce.code, waited.code) << "trial " << trial;
        ASSERT_EQ(atOnce.response, waited.response) << "trial " << trial;
        accepted += waited.result != 0;
    }
    EXPECT_GT(accepted, 100) << "the lines should often hold a valid response";
}

} // namespace
