// The simulator's frame reader against the validity rules of a frame.
#include "sim/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes frame(const std::string &text, int address) {
    char buffer[FRAME_BUFFER_SIZE];
    int n = create_framing(text.c_str(), buffer, address);
    return Bytes(buffer, buffer + n);
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// What the reader made of the bytes: "frame A:payload" or "rejected:reason", in order.
std::vector<std::string> events(const Bytes &bytes, unsigned long long served) {
    FrameReader reader;
    reader_init(&reader, served);
    std::vector<std::string> seen;
    for (unsigned char byte : bytes) {
        int status = reader_feed(&reader, byte);
        if (status == READ_FRAME)
            seen.push_back("frame " + std::to_string(reader.address) + ":" + reader.payload);
        else if (status == READ_REJECTED)
            seen.push_back(std::string("rejected:") + reader.reason);
    }
    return seen;
}

const unsigned long long SERVED_1_AND_32 = 1ull << 1 | 1ull << 32;

struct Case {
    const char *name;
    Bytes bytes;
    std::vector<std::string> expected;
};

Bytes with_byte(Bytes bytes, size_t position, unsigned char value) {
    bytes[position] = value;
    return bytes;
}

TEST(SimReader, JudgesFramesByTheReceiversRules) {
    Bytes a0 = frame("A0", 1); // 02 81 C1 B0 F0 03
    const Case cases[] = {
        {"valid", a0, {"frame 1:A0"}},
        {"highest address", frame("S", 32), {"frame 32:S"}},
        {"address not served", frame("A0", 2), {"rejected:address not served"}},
        {"address without bit 7", with_byte(a0, 1, 0x01), {"rejected:address byte without bit 7"}},
        {"bad checksum", with_byte(a0, 4, 0xF1), {"rejected:bad checksum"}},
        {"checksum without bit 7",
         with_byte(a0, 4, 0x70),
         {"rejected:byte without bit 7 inside the body"}},
        {"only the checksum's bit 7 is free", with_byte(a0, 4, 0xF0), {"frame 1:A0"}},
        {"no body", Bytes{STX, 0x81, ETX}, {"rejected:no checksum byte"}},
        {"empty payload", frame("", 1), {"frame 1:"}},
        {"stray byte, then a frame",
         join({{0xFF}, a0}),
         {"rejected:byte outside a frame", "frame 1:A0"}},
        {"trailing bytes",
         join({a0, {'\r', '\n'}}),
         {"frame 1:A0", "rejected:byte outside a frame", "rejected:byte outside a frame"}},
        {"frame cut short by a new one",
         join({Bytes(a0.begin(), a0.begin() + 3), a0}),
         {"rejected:frame cut short by STX", "frame 1:A0"}},
        {"bad then good",
         join({with_byte(a0, 4, 0xF1), a0}),
         {"rejected:bad checksum", "frame 1:A0"}},
        {"foreign frame is passed over whole",
         join({frame("A0", 5), frame("S", 1)}),
         {"rejected:address not served", "frame 1:S"}},
    };
    for (const Case &c : cases) EXPECT_EQ(events(c.bytes, SERVED_1_AND_32), c.expected) << c.name;
}

// Address 1, STX 0x02 ... a body of body_count bytes (payload blanks) and a correct checksum.
Bytes frame_with_body(int body_count) {
    Bytes bytes{STX, 0x81};
    unsigned char sum = 0x81;
    for (int i = 0; i < body_count - 1; i++) {
        bytes.push_back(0xA0);
        sum ^= 0xA0;
    }
    bytes.push_back(sum | 0x80);
    bytes.push_back(ETX);
    return bytes;
}

TEST(SimReader, TakesBodiesUpToWhatAFrameBufferHolds) {
    std::vector<std::string> longest = events(frame_with_body(READER_MAX_BODY), 1ull << 1);
    ASSERT_EQ(longest.size(), 1u);
    EXPECT_EQ(longest[0], "frame 1:" + std::string(READER_MAX_BODY - 1, ' '));

    EXPECT_EQ(
        events(join({frame_with_body(READER_MAX_BODY + 1), frame("S", 1)}), 1ull << 1),
        (std::vector<std::string>{"rejected:body longer than a frame buffer holds", "frame 1:S"}));
}

TEST(SimReader, KeepsTheRawBytesOfWhatItReports) {
    FrameReader reader;
    reader_init(&reader, 1ull << 1);
    Bytes cut{STX, 0x81};
    Bytes good = frame("L", 1);
    Bytes all = join({cut, good});
    int last = READ_PENDING;
    for (unsigned char byte : Bytes(all.begin(), all.begin() + 3))
        last = reader_feed(&reader, byte);
    ASSERT_EQ(last, READ_REJECTED);
    EXPECT_EQ(Bytes(reader.raw, reader.raw + reader.raw_count), cut);
    for (unsigned char byte : Bytes(all.begin() + 3, all.end())) last = reader_feed(&reader, byte);
    ASSERT_EQ(last, READ_FRAME);
    EXPECT_EQ(Bytes(reader.raw, reader.raw + reader.raw_count), good);
}

} // namespace
