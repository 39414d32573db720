// The client's side of Telnet with COM-PORT-OPTION.
#include "link/qt/telnet_codec.h"

#include <initializer_list>

namespace {

enum : unsigned char {
    SE = 240,
    SB = 250,
    WILL = 251,
    WONT = 252,
    DO = 253,
    DONT = 254,
    IAC = 255,
    BINARY = 0,
    SGA = 3,       // suppress go-ahead
    COM_PORT = 44, // RFC 2217
    SET_BAUDRATE = 1,
    SET_DATASIZE = 2,
    SET_PARITY = 3,
    SET_STOPSIZE = 4,
    SET_CONTROL = 5,
    PURGE_DATA = 12,
    SERVER = 100, // a server's answer to command c is c + 100
    NO_FLOW_CONTROL = 1,
};

constexpr qsizetype subnegotiationBytes = 64; // COM-PORT-OPTION's longest is the signature text

QByteArray bytesOf(std::initializer_list<unsigned char> bytes) {
    QByteArray array;
    for (const unsigned char byte : bytes) array += char(byte);
    return array;
}

QByteArray comPortCommand(unsigned char command, QByteArrayView value) {
    QByteArray bytes = bytesOf({IAC, SB, COM_PORT, command});
    bytes += TelnetCodec::encode(value);
    bytes += bytesOf({IAC, SE});
    return bytes;
}

QByteArray comPortCommand(unsigned char command, int value) {
    const char byte = char(value);
    return comPortCommand(command, QByteArrayView(&byte, 1));
}

// The options the client takes part in: it sends and receives binary without go-aheads, and it
// uses COM-PORT-OPTION (the server does not).
bool wantedHere(unsigned char option) {
    return option == BINARY || option == SGA || option == COM_PORT;
}

bool wantedThere(unsigned char option) {
    return option == BINARY || option == SGA;
}

} // namespace

QByteArray TelnetCodec::start(const LineSettings &settings) {
    m_settings = settings;
    m_asked.fill(false);
    QByteArray bytes;
    for (const unsigned char option : {BINARY, SGA, COM_PORT}) {
        bytes += bytesOf({IAC, WILL, option});
        m_asked[option] = true;
    }
    for (const unsigned char option : {BINARY, SGA}) {
        bytes += bytesOf({IAC, DO, option});
        m_asked[256 + option] = true;
    }
    return bytes;
}

QByteArray TelnetCodec::encode(QByteArrayView data) {
    QByteArray wire;
    wire.reserve(data.size() + 8);
    for (const char byte : data) {
        wire += byte;
        if (byte == char(IAC)) wire += byte;
    }
    return wire;
}

QByteArray TelnetCodec::decode(QByteArrayView wire) {
    QByteArray data;
    data.reserve(wire.size());
    for (const char c : wire) {
        const auto byte = static_cast<unsigned char>(c);
        switch (m_state) {
        case State::Data:
            if (byte == IAC)
                m_state = State::Command;
            else
                data += c;
            break;
        case State::Command:
            m_state = State::Data;
            if (byte == IAC) {
                data += c;
            } else if (byte >= WILL) {
                m_verb = byte;
                m_state = State::Verb;
            } else if (byte == SB) {
                m_sub.clear();
                m_state = State::Sub;
            } // other commands (NOP, go-ahead, break, ...) mean nothing for a data line
            break;
        case State::Verb:
            command(m_verb, byte);
            m_state = State::Data;
            break;
        case State::Sub:
            if (byte == IAC)
                m_state = State::SubCommand;
            else if (m_sub.size() < subnegotiationBytes)
                m_sub += c;
            break;
        case State::SubCommand:
            if (byte == IAC) { // a doubled 0xFF inside the subnegotiation
                if (m_sub.size() < subnegotiationBytes) m_sub += c;
                m_state = State::Sub;
                break;
            }
            subnegotiation(); // IAC SE, or a malformed end taken as one
            m_state = State::Data;
            break;
        }
    }
    return data;
}

QByteArray TelnetCodec::replies() {
    return std::exchange(m_replies, {});
}

QByteArray TelnetCodec::purge(int buffers) {
    m_purgesSent++;
    return comPortCommand(PURGE_DATA, buffers);
}

bool TelnetCodec::lineConfirmed() const {
    return m_confirmed[SET_BAUDRATE] == m_settings.baudRate &&
           m_confirmed[SET_DATASIZE] == m_settings.dataBits &&
           m_confirmed[SET_PARITY] == m_settings.parity &&
           m_confirmed[SET_STOPSIZE] == m_settings.stopBits;
}

// One negotiation of the other side. A request that would change nothing is not answered, and
// neither is an answer to the client's own request, so that no two parties ever loop.
void TelnetCodec::command(unsigned char verb, unsigned char option) {
    const bool here = verb == DO || verb == DONT; // about the client's side of the option
    const bool enable = verb == DO || verb == WILL;
    bool &inForce = here ? m_we[option] : m_they[option];
    bool &asked = m_asked[(here ? 0 : 256) + option];
    const bool wanted = here ? wantedHere(option) : wantedThere(option);
    const unsigned char agree = here ? WILL : DO, refuse = here ? WONT : DONT;

    if (enable && !inForce && wanted) {
        inForce = true;
        if (!asked) m_replies += bytesOf({IAC, agree, option});
        if (here && option == COM_PORT) {
            m_comPort = ComPort::Agreed;
            const quint32 rate = m_settings.baudRate;
            m_replies +=
                comPortCommand(SET_BAUDRATE, bytesOf({static_cast<unsigned char>(rate >> 24),
                                                      static_cast<unsigned char>(rate >> 16),
                                                      static_cast<unsigned char>(rate >> 8),
                                                      static_cast<unsigned char>(rate)}));
            m_replies += comPortCommand(SET_DATASIZE, m_settings.dataBits);
            m_replies += comPortCommand(SET_PARITY, m_settings.parity);
            m_replies += comPortCommand(SET_STOPSIZE, m_settings.stopBits);
            // Acknowledged by some servers only (not by ser2net on a pseudo-terminal): no one
            // waits for it.
            m_replies += comPortCommand(SET_CONTROL, NO_FLOW_CONTROL);
        }
    } else if (enable && !wanted) {
        m_replies += bytesOf({IAC, refuse, option});
    } else if (!enable && inForce) {
        inForce = false;
        if (!asked) m_replies += bytesOf({IAC, refuse, option});
    }
    if (!enable && here && option == COM_PORT) m_comPort = ComPort::Refused;
    asked = false;
}

// A COM-PORT-OPTION answer: the value the server set for a line setting.
void TelnetCodec::subnegotiation() {
    if (m_sub.size() < 3 || static_cast<unsigned char>(m_sub[0]) != COM_PORT) return;
    const int code = static_cast<unsigned char>(m_sub[1]) - SERVER;
    const auto byte = [this](int i) { return qint64(static_cast<unsigned char>(m_sub[i])); };
    if (code == SET_BAUDRATE && m_sub.size() >= 6)
        m_confirmed[code] = byte(2) << 24 | byte(3) << 16 | byte(4) << 8 | byte(5);
    else if (code >= SET_DATASIZE && code <= SET_STOPSIZE)
        m_confirmed[code] = byte(2);
    else if (code == PURGE_DATA && m_purgesConfirmed < m_purgesSent)
        m_purgesConfirmed++;
}
