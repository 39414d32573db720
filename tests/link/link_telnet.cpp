// Telnet with COM-PORT-OPTION as the client speaks it, bytes in and bytes out without a network:
// the data among the server's commands, the answers to its negotiation, the line settings once
// it agrees, and its confirmations.
#include "link/qt/telnet_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using ComPort = TelnetCodec::ComPort;

std::string text(const QByteArray &bytes) {
    return bytes.toStdString();
}

// The subnegotiations that set 19200 baud, 8 data bits, odd parity, 1 stop bit, no flow control.
const std::string lineSettings = "\xff\xfa\x2c\x01\x00\x00\x4b\x00\xff\xf0"
                                 "\xff\xfa\x2c\x02\x08\xff\xf0\xff\xfa\x2c\x03\x02\xff\xf0"
                                 "\xff\xfa\x2c\x04\x01\xff\xf0\xff\xfa\x2c\x05\x01\xff\xf0"s;

struct Decoding {
    const char *what;
    std::vector<std::string> reads; // as the server's bytes arrive
    std::string data, replies = {};
    ComPort comPort = ComPort::Asked;
    qint64 baud = -1; // what the server confirmed
};

TEST(TelnetCodec, TakesTheServersCommandsFromTheDataAndAnswersThem) {
    const Decoding cases[] = {
        {"0xFF comes doubled, also split between reads", {"\x02\xff", "\xff\x03"}, "\x02\xff\x03"},
        {"no-operation and go-ahead among data bytes", {"A\xff\xf1Z\xff", "\xf9Q"}, "AZQ"},
        {"the server agrees to COM-PORT-OPTION: the line settings follow once",
         {"\xff\xfd\x2c", "\xff\xfd\x2c"},
         "",
         lineSettings,
         ComPort::Agreed},
        {"the server refuses COM-PORT-OPTION", {"\xff\xfe\x2c"}, "", "", ComPort::Refused},
        {"unwanted options refused, answers to the client's requests not answered",
         {"\xff\xfb\x01\xff\xfd\x18", "\xff\xfb\x00\xff\xfd\x03\xff\xfb\x00"s},
         "",
         "\xff\xfe\x01\xff\xfc\x18"s},
        {"an option the server ends is acknowledged",
         {"\xff\xfb\x00"s, "\xff\xfc\x00"s},
         "",
         "\xff\xfe\x00"s},
        {"the four settings confirmed, split anywhere",
         {"\xff\xfa\x2c\x65\x00\x00\x4b\x00\xff"s, "\xf0\xff\xfa\x2c\x66\x08\xff\xf0\xff\xfa\x2c"
                                                   "\x67\x02\xff\xf0\xff\xfa\x2c\x68\x01\xff\xf0"},
         "",
         "",
         ComPort::Asked,
         19200},
        {"a rate with 0xFF in it, doubled inside the subnegotiation, is not the one asked for",
         {"\xff\xfa\x2c\x65\x00\x00\xff\xff\x00\xff\xf0X"s},
         "X",
         "",
         ComPort::Asked,
         0xff00},
    };
    for (const Decoding &c : cases) {
        SCOPED_TRACE(c.what);
        TelnetCodec codec;
        codec.start(LineSettings{});
        std::string data, replies;
        for (const std::string &read : c.reads) {
            data += text(codec.decode(QByteArray::fromStdString(read)));
            replies += text(codec.replies());
        }
        EXPECT_EQ(data, c.data);
        EXPECT_EQ(replies, c.replies);
        EXPECT_EQ(codec.comPort(), c.comPort);
        EXPECT_EQ(codec.confirmed(1), c.baud);
        EXPECT_EQ(codec.lineConfirmed(), c.baud == 19200);
    }
}

TEST(TelnetCodec, AsksForBinaryAndComPortDoublesAndCountsPurges) {
    TelnetCodec codec;
    EXPECT_EQ(text(codec.start(LineSettings{})),
              "\xff\xfb\x00\xff\xfb\x03\xff\xfb\x2c\xff\xfd\x00\xff\xfd\x03"s);
    EXPECT_EQ(text(TelnetCodec::encode("\x02\xff\xff\x03")), "\x02\xff\xff\xff\xff\x03");
    EXPECT_EQ(text(codec.purge(TelnetCodec::PurgeReceived)), "\xff\xfa\x2c\x0c\x01\xff\xf0");
    codec.purge(TelnetCodec::PurgeToSend);
    codec.decode("\xff\xfa\x2c\x70\x01\xff\xf0");
    EXPECT_EQ(codec.purgesUnconfirmed(), 1);
}

} // namespace
