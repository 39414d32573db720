// Telnet as a device server speaks it for a serial line (RFC 854, RFC 2217): the client's half of
// the option negotiation, COM-PORT-OPTION's line settings and purges, and the data bytes, in
// which 0xFF (IAC) travels doubled. No network here: bytes in, bytes out, so it keeps its whole
// state in itself and may be copied to go on with a connection elsewhere.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <utility>

// The far line's settings in RFC 2217's numbers.
struct LineSettings {
    quint32 baudRate = 19200;
    int dataBits = 8;
    int parity = 2;   // 1 none, 2 odd, 3 even, 4 mark, 5 space
    int stopBits = 1; // 1, 2 (3 is 1.5)
};

class TelnetCodec {
public:
    enum class ComPort { Asked, Agreed, Refused };
    enum { PurgeReceived = 1, PurgeToSend = 2 }; // the server's buffers, as PURGE-DATA names them

    // What the client says first: binary transmission and no go-ahead both ways, and that it
    // will use COM-PORT-OPTION. Once the server agrees, replies() carries settings for its line.
    QByteArray start(const LineSettings &settings);
    // Data as it goes on the wire: every 0xFF doubled.
    static QByteArray encode(QByteArrayView data);
    // The data bytes among bytes from the wire. Commands are taken on the way, also when split
    // across calls: negotiation answers and the line settings wait in replies(), the server's
    // confirmations are kept for confirmed().
    QByteArray decode(QByteArrayView wire);
    // What must go to the server now; emptied by the call.
    QByteArray replies();
    // PURGE-DATA for the server's buffers (PurgeReceived, PurgeToSend), counted until the server
    // confirms it.
    QByteArray purge(int buffers);
    // Purges sent and not yet confirmed.
    int purgesUnconfirmed() const { return m_purgesSent - m_purgesConfirmed; }
    // Whether the server is taken to confirm purges: until one goes unconfirmed for too long, when
    // the caller gives up on confirmations with ignorePurgeConfirmations().
    bool confirmsPurges() const { return m_confirmsPurges; }
    void ignorePurgeConfirmations() { m_confirmsPurges = false; }

    ComPort comPort() const { return m_comPort; }
    // Whether the server has confirmed all four settings sent, and with the values asked for.
    bool lineConfirmed() const;
    // What the server confirmed for SET-BAUDRATE (1) to SET-STOPSIZE (4); -1 until it has.
    qint64 confirmed(int command) const { return m_confirmed.at(command); }

private:
    void command(unsigned char verb, unsigned char option);
    void subnegotiation();

    enum class State { Data, Command, Verb, Sub, SubCommand } m_state = State::Data;
    unsigned char m_verb = 0;
    QByteArray m_sub; // the subnegotiation being read, bounded
    QByteArray m_replies;
    ComPort m_comPort = ComPort::Asked;
    LineSettings m_settings;
    std::array<bool, 256> m_we{}, m_they{}; // options in force on each side
    std::array<bool, 512>
        m_asked{}; // the client's requests not yet answered: its side, then the other
    std::array<qint64, 5> m_confirmed{-1, -1, -1, -1, -1};
    int m_purgesSent = 0, m_purgesConfirmed = 0;
    bool m_confirmsPurges = true;
};
