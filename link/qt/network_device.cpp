// A device server's data connection as a QIODevice over QTcpSocket.
#include "link/qt/network_device.h"
#include "link/qt/host_lookup.h"
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/qt/waits.h"
#include "link/rs232.h"

#include <QNetworkProxy>

#include <algorithm>
#include <cstring>

namespace {

// As the serial port's read buffer: beyond it a far end that floods the line is held back by
// TCP itself instead of growing the buffer.
constexpr qint64 receivedBytes = 65536;
constexpr int pollsAtAdoption = 16; // reads of what came while a kept connection waited
constexpr int retryMs = 20;         // the pause before connecting again to a server that left
constexpr int retryingMs = 250;     // how long that is done
constexpr int CLOSED_EARLY = 1;     // negotiate(): the server ended the connection meanwhile
// How long a purge waits for the server's confirmation: a few round trips of a slow network.
// A server that lets one go unconfirmed so long is not waited for again.
constexpr int purgeConfirmationMs = 100;

QString noConnectionInTime() {
    return inLanguage(QStringLiteral("keine Verbindung innerhalb von %1 s"),
                      QStringLiteral("no connection within %1 s"))
        .arg(networkOpenMs / 1000.0, 0, 'f', 1);
}

QString socketFailure(const QTcpSocket &socket) {
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return inLanguage(QStringLiteral("Verbindung abgelehnt"),
                          QStringLiteral("connection refused"));
    case QAbstractSocket::RemoteHostClosedError:
        return inLanguage(QStringLiteral("der Ger\u00e4teserver hat die Verbindung beendet"),
                          QStringLiteral("the device server closed the connection"));
    case QAbstractSocket::SocketTimeoutError: return noConnectionInTime();
    default:
        return withQtText(QStringLiteral("die Verbindung zum Ger\u00e4teserver schlug fehl"),
                          QStringLiteral("the connection to the device server failed"),
                          socket.errorString());
    }
}

} // namespace

NetworkDevice::NetworkDevice(const NetworkAddress &address) : m_address(address) {
    if (address.rfc2217) m_telnet.emplace();
    m_socket.setProxy(QNetworkProxy::NoProxy); // a device server is reached directly
    m_socket.setReadBufferSize(receivedBytes);
    watchSocket();
}

NetworkDevice::~NetworkDevice() {
    QObject::disconnect(&m_socket, nullptr, this, nullptr);
    m_socket.abort();
}

// ser2net frees its line a few milliseconds after a client has left; a client that comes sooner
// (the next run of a script) is greeted, told "Port's device already in use" and left. Over
// Telnet that shows before the line is set, and the connection is made again for a quarter of a
// second: long enough for that, short enough that a server that keeps ending it ("Device open
// failure") is reported at once, in its own words. (Over raw TCP the words arrive where an
// answer would, and the exchange rejects them.)
int NetworkDevice::connectTo(const LineSettings &settings, QDeadlineTimer deadline,
                             QString *cause) {
    const QList<QHostAddress> addresses = lookUpHost(m_address.host, deadline, cause);
    if (addresses.isEmpty()) return RS232_NO_DEVICE;
    const QDeadlineTimer retries(retryingMs, Qt::PreciseTimer);
    for (;;) {
        const int code = connectOnce(addresses, settings, deadline, cause);
        if (code != CLOSED_EARLY) return code;
        if (retries.hasExpired() || deadline.hasExpired()) return RS232_NO_DEVICE;
        waitUntil(QDeadlineTimer(std::min<qint64>(retryMs, deadline.remainingTime())));
        m_data.clear();
        m_telnet.emplace();
    }
}

int NetworkDevice::connectOnce(const QList<QHostAddress> &addresses, const LineSettings &settings,
                               QDeadlineTimer deadline, QString *cause) {
    for (const QHostAddress &address : addresses) { // a name may stand for IPv6 and IPv4 alike
        m_socket.connectToHost(address, m_address.port);
        if (waitForConnection(m_socket, deadline)) break;
        *cause = m_socket.state() == QAbstractSocket::ConnectingState ? noConnectionInTime()
                                                                      : socketFailure(m_socket);
        m_socket.abort();
        if (deadline.hasExpired()) break;
    }
    if (m_socket.state() != QAbstractSocket::ConnectedState) return RS232_NO_DEVICE;
    m_failure.clear();                                            // of an address tried before
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1); // a frame goes out at once
    open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (!m_telnet) return 0;
    const int code = negotiate(settings, deadline, cause);
    if (code != 0) {
        close();
        m_socket.abort();
    }
    return code;
}

// The line's settings are confirmed one by one; a server that agrees to COM-PORT-OPTION but
// sets another value (a rate its line cannot do) is refused as a device refusing the settings.
int NetworkDevice::negotiate(const LineSettings &settings, QDeadlineTimer deadline,
                             QString *cause) {
    m_socket.write(m_telnet->start(settings));
    m_socket.flush();
    const auto answered = [this] {
        for (int command = 1; command <= 4; command++)
            if (m_telnet->confirmed(command) < 0) return false;
        return true;
    };
    while (!answered()) {
        if (m_telnet->comPort() == TelnetCodec::ComPort::Refused) {
            *cause = inLanguage(QStringLiteral("der Ger\u00e4teserver bietet kein RFC 2217 "
                                               "(COM-PORT-OPTION) an"),
                                QStringLiteral("the device server does not offer RFC 2217 "
                                               "(COM-PORT-OPTION)"));
            return RS232_BAD_SETTINGS;
        }
        if (m_socket.state() != QAbstractSocket::ConnectedState || !m_failure.isEmpty()) {
            // with the server's last words, if any
            const QString words = QString::fromLatin1(m_data.left(80)).trimmed();
            *cause = failure() + (words.isEmpty() ? QString() : QStringLiteral(": ") + words);
            return CLOSED_EARLY;
        }
        if (deadline.hasExpired()) {
            *cause = inLanguage(QStringLiteral("der Ger\u00e4teserver best\u00e4tigt die "
                                               "Leitungseinstellungen (RFC 2217) nicht innerhalb "
                                               "von %1 s"),
                                QStringLiteral("the device server did not confirm the line "
                                               "settings (RFC 2217) within %1 s"))
                         .arg(networkOpenMs / 1000.0, 0, 'f', 1);
            return RS232_NO_DEVICE;
        }
        waitForPort(m_socket, PortWait::Readable, deadline);
    }
    if (!m_telnet->lineConfirmed()) {
        *cause = inLanguage(QStringLiteral("der Ger\u00e4teserver stellt seine Leitung auf %1 "
                                           "Baud, %2 Datenbits, Parit\u00e4t %3, Stoppbits %4 "
                                           "(RFC 2217) statt %5 Baud, %6, %7, %8"),
                            QStringLiteral("the device server set its line to %1 baud, %2 data "
                                           "bits, parity %3, stop bits %4 (RFC 2217) instead of "
                                           "%5 baud, %6, %7, %8"))
                     .arg(m_telnet->confirmed(1))
                     .arg(m_telnet->confirmed(2))
                     .arg(m_telnet->confirmed(3))
                     .arg(m_telnet->confirmed(4))
                     .arg(settings.baudRate)
                     .arg(settings.dataBits)
                     .arg(settings.parity)
                     .arg(settings.stopBits);
        return RS232_BAD_SETTINGS;
    }
    m_data.clear(); // anything that came before the line was set belongs to no exchange
    return 0;
}

bool NetworkDevice::adopt(qintptr descriptor, const std::optional<TelnetCodec> &telnet) {
    m_telnet = telnet;
    if (!m_socket.setSocketDescriptor(descriptor)) {
        closeSocket(descriptor);
        return false;
    }
    open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    // what came meanwhile, up to the end of the connection if the server has closed it
    for (int poll = 0; poll < pollsAtAdoption && m_socket.waitForReadyRead(0); poll++) {
    }
    m_data.clear();
    if (m_socket.state() == QAbstractSocket::ConnectedState && m_failure.isEmpty()) return true;
    close();
    return false;
}

qintptr NetworkDevice::release(std::optional<TelnetCodec> *telnet) {
    qintptr kept = -1;
    if (!failed() && m_failure.isEmpty() && m_socket.bytesToWrite() == 0)
        kept = duplicateSocket(m_socket.socketDescriptor());
    *telnet = m_telnet;
    QObject::disconnect(&m_socket, nullptr, this, nullptr);
    m_socket.abort(); // closes its own descriptor only: the connection stays with the copy
    close();
    return kept;
}

void NetworkDevice::watchSocket() {
    connect(&m_socket, &QIODevice::readyRead, this, [this] { pull(true); });
    connect(&m_socket, &QIODevice::bytesWritten, this,
            [this](qint64 bytes) { emit bytesWritten(bytes); });
    const auto ended = [this] {
        pull(true); // the last bytes before the end are still read
        if (m_failure.isEmpty()) m_failure = socketFailure(m_socket);
        emit readChannelFinished();
    };
    connect(&m_socket, &QAbstractSocket::errorOccurred, this,
            [ended](QAbstractSocket::SocketError error) {
                if (error != QAbstractSocket::SocketTimeoutError) ended();
            });
    connect(&m_socket, &QAbstractSocket::disconnected, this, ended);
}

// Takes what the socket holds, as far as the buffer has room; over Telnet the commands among
// it are answered. `signal`: whether to tell readers (not from inside a read, whose caller
// counts the bytes it has been told of).
void NetworkDevice::pull(bool signal) {
    if (!m_socket.isOpen()) return; // a connection that failed before it was made
    const qint64 room = receivedBytes - m_data.size();
    if (room <= 0) return;
    const QByteArray wire = m_socket.read(room);
    if (wire.isEmpty()) return;
    const qsizetype before = m_data.size();
    if (m_telnet) {
        m_data += m_telnet->decode(wire);
        if (const QByteArray replies = m_telnet->replies(); !replies.isEmpty())
            m_socket.write(replies);
    } else {
        m_data += wire;
    }
    if (signal && m_data.size() > before) emit readyRead();
}

bool NetworkDevice::failed() const {
    return m_data.isEmpty() &&
           (!m_failure.isEmpty() || m_socket.state() != QAbstractSocket::ConnectedState);
}

QString NetworkDevice::failure() const {
    return m_failure.isEmpty() ? socketFailure(m_socket) : m_failure;
}

// A purge is waited for until the server confirms it: whatever came before the confirmation is
// from before the purge, and the next write carries the acknowledgement of the confirmation to
// the server. Sent without waiting, the confirmation would stay unacknowledged a while (the
// system delays acknowledgements), and the server's system, which holds back a small packet
// while one is unacknowledged, would keep the answer back until then: 40 ms on Linux.
void NetworkDevice::purge(int buffers) {
    m_socket.write(m_telnet->purge(buffers));
    if (!m_telnet->confirmsPurges()) return;
    const QDeadlineTimer deadline(purgeConfirmationMs, Qt::PreciseTimer);
    while (m_telnet->purgesUnconfirmed() > 0 && !failed() && !deadline.hasExpired())
        waitForPort(m_socket, PortWait::Readable, deadline);
    if (m_telnet->purgesUnconfirmed() > 0) m_telnet->ignorePurgeConfirmations();
}

void NetworkDevice::discardInput() {
    m_socket.waitForReadyRead(0); // what the system holds, without waiting
    if (m_telnet && isOpen()) purge(TelnetCodec::PurgeReceived);
    m_data.clear();
}

void NetworkDevice::discardOutput() {
    m_socket.flush();
    if (m_socket.bytesToWrite() > 0) {
        // bytes that the system does not take (the connection is stalled) would reach the line
        // in the middle of a later exchange
        m_failure = inLanguage(QStringLiteral("Bytes blieben ungesendet; die Verbindung wurde "
                                              "beendet"),
                               QStringLiteral("bytes were left unsent; the connection was ended"));
        m_socket.abort();
        emit readChannelFinished();
        return;
    }
    if (m_telnet && isOpen()) purge(TelnetCodec::PurgeToSend);
}

bool NetworkDevice::flush() {
    return m_socket.flush();
}

qint64 NetworkDevice::bytesAvailable() const {
    return m_data.size() + QIODevice::bytesAvailable();
}

qint64 NetworkDevice::bytesToWrite() const {
    return m_socket.bytesToWrite();
}

bool NetworkDevice::waitForReadyRead(int msecs) {
    const QDeadlineTimer deadline(msecs, Qt::PreciseTimer);
    const qsizetype before = m_data.size();
    // bytes that carry Telnet commands only bring no data: the wait goes on (the socket's
    // readyRead adds to m_data meanwhile)
    // cppcheck-suppress knownConditionTrueFalse
    while (m_data.size() <= before &&
           m_socket.waitForReadyRead(
               deadline.isForever() ? -1 : int(std::max<qint64>(0, deadline.remainingTime()))) &&
           !deadline.hasExpired()) {
    }
    // cppcheck-suppress knownConditionTrueFalse
    return m_data.size() > before;
}

bool NetworkDevice::waitForBytesWritten(int msecs) {
    return m_socket.waitForBytesWritten(msecs);
}

qint64 NetworkDevice::readData(char *data, qint64 maxSize) {
    if (m_data.isEmpty()) pull(false);
    if (m_data.isEmpty()) return failed() ? -1 : 0;
    const qint64 count = std::min<qint64>(maxSize, m_data.size());
    std::memcpy(data, m_data.constData(), size_t(count));
    m_data.remove(0, count);
    pull(false); // the socket may have held back what did not fit
    return count;
}

qint64 NetworkDevice::writeData(const char *data, qint64 maxSize) {
    if (m_socket.state() != QAbstractSocket::ConnectedState) return -1;
    const QByteArrayView bytes(data, maxSize);
    const QByteArray wire = m_telnet ? TelnetCodec::encode(bytes) : bytes.toByteArray();
    return m_socket.write(wire) == wire.size() ? maxSize : -1;
}
