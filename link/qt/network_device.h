// A device server's data connection as the byte device of a port: a TCP connection that carries
// the far serial line's bytes as they are (tcp://) or inside Telnet with RFC 2217 (rfc2217://),
// where 0xFF travels doubled and the line's settings are sent to the server.
#pragma once

#include "link/qt/network_address.h"
#include "link/qt/telnet_codec.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QTcpSocket>

#include <optional>

// The longest the open of a network port takes: looking up the host, connecting and, over
// Telnet, setting the far line. A connection on a local network takes milliseconds; two seconds
// leave room for a lost first packet (resent after one second) and keep a failed open within
// the 2.5 s an exchange may hold the program.
constexpr int networkOpenMs = 2000;

class NetworkDevice : public QIODevice {
public:
    // A connection of the kind the address names; not connected yet.
    explicit NetworkDevice(const NetworkAddress &address);
    ~NetworkDevice() override;
    NetworkDevice(const NetworkDevice &) = delete;
    NetworkDevice &operator=(const NetworkDevice &) = delete;

    // Connects by the deadline and, over Telnet, has the server set its line so. 0, or an
    // RS232_* code and the cause in the panel language; open for reading and writing after 0.
    int connectTo(const LineSettings &settings, QDeadlineTimer deadline, QString *cause);
    // Goes on with a connection that release() gave up, discarding what came meanwhile. False,
    // with the descriptor closed, when the server has ended it meanwhile.
    bool adopt(qintptr descriptor, const std::optional<TelnetCodec> &telnet);
    // Gives up the connection without ending it: a descriptor for adopt() and the Telnet state
    // go to the caller, and this device closes. -1 when it cannot be kept (failed, bytes still to
    // send, or a system that cannot); the connection is closed then.
    qintptr release(std::optional<TelnetCodec> *telnet);

    // Whether the connection has ended or failed and every byte it brought has been read.
    bool failed() const;
    // Why the connection failed, in the panel language.
    QString failure() const;
    // Discards the bytes received and waiting; over Telnet the server purges the bytes from its
    // line that it has not sent yet.
    void discardInput();
    // Over Telnet the server purges the bytes it has not yet written to its line; bytes handed
    // to a raw connection cannot be called back.
    void discardOutput();
    // Hands what waits to be sent to the system, without waiting.
    bool flush();

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    void watchSocket();
    void pull(bool signal);
    void purge(int buffers);
    int connectOnce(const QList<QHostAddress> &addresses, const LineSettings &settings,
                    QDeadlineTimer deadline, QString *cause);
    int negotiate(const LineSettings &settings, QDeadlineTimer deadline, QString *cause);

    NetworkAddress m_address;
    QTcpSocket m_socket;
    std::optional<TelnetCodec> m_telnet; // over Telnet only
    QByteArray m_data;                   // received data bytes not yet read
    QString m_failure;
};
