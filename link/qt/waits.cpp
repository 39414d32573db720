// Waits that run the event loop without the operator's input, or block where no loop may run.
#include "link/qt/waits.h"
#include "link/qt/network_device.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <thread>

namespace {

bool eventLoopHere() {
    const QCoreApplication *application = QCoreApplication::instance();
    return application && application->thread() == QThread::currentThread();
}

// A local event loop that ends when told or at the deadline.
class LoopWait {
public:
    explicit LoopWait(QDeadlineTimer deadline) : deadline(deadline) {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, [this] { end(); });
    }

    void end() {
        ended = true;
        loop.quit();
    }

    // Runs the loop until end() or the deadline. False when it stopped otherwise: an application
    // that quits ends every loop, and the caller then waits out the rest by blocking.
    bool run() {
        const qint64 left = deadline.remainingTimeNSecs();
        if (left <= 0) return true;
        timer.start(int(std::min<qint64>((left + 999'999) / 1'000'000, INT_MAX)));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        // the input held back meanwhile is taken at the loop's next turn, not after the next event
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->wakeUp();
        return ended;
    }

    QEventLoop loop;

private:
    QDeadlineTimer deadline;
    QTimer timer;
    bool ended = false;
};

int msLeft(QDeadlineTimer deadline) {
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
}

bool blockForPort(QIODevice &port, PortWait what, QDeadlineTimer deadline) {
    return what == PortWait::Readable ? port.waitForReadyRead(msLeft(deadline))
                                      : port.waitForBytesWritten(msLeft(deadline));
}

// Whether the device has failed already, so that no wait can end by its signals.
bool failedBefore(QIODevice &port) {
    if (const auto *serial = qobject_cast<QSerialPort *>(&port))
        return serial->error() != QSerialPort::NoError &&
               serial->error() != QSerialPort::TimeoutError;
    if (const auto *network = dynamic_cast<NetworkDevice *>(&port)) return network->failed();
    if (const auto *socket = qobject_cast<QAbstractSocket *>(&port))
        return socket->state() != QAbstractSocket::ConnectedState;
    return false;
}

// Ends the wait when the device fails: a serial port reports an error; a socket or a network
// connection ends its input.
void endOnFailure(QIODevice &port, LoopWait &wait) {
    if (auto *serial = qobject_cast<QSerialPort *>(&port))
        QObject::connect(serial, &QSerialPort::errorOccurred, &wait.loop,
                         [&wait](QSerialPort::SerialPortError failure) {
                             if (failure != QSerialPort::NoError) wait.end();
                         });
    if (auto *socket = qobject_cast<QAbstractSocket *>(&port))
        QObject::connect(socket, &QAbstractSocket::errorOccurred, &wait.loop,
                         [&wait](QAbstractSocket::SocketError failure) {
                             if (failure != QAbstractSocket::SocketTimeoutError) wait.end();
                         });
    QObject::connect(&port, &QIODevice::readChannelFinished, &wait.loop, [&wait] { wait.end(); });
}

} // namespace

bool waitForPort(QIODevice &port, PortWait what, QDeadlineTimer deadline) {
    if (!eventLoopHere()) return blockForPort(port, what, deadline);
    if (failedBefore(port)) return false;

    LoopWait wait(deadline);
    bool moved = false;
    const auto bytes = [&] {
        moved = true;
        wait.end();
    };
    if (what == PortWait::Readable)
        QObject::connect(&port, &QIODevice::readyRead, &wait.loop, bytes);
    else
        QObject::connect(&port, &QIODevice::bytesWritten, &wait.loop, bytes);
    endOnFailure(port, wait);
    if (!wait.run()) return blockForPort(port, what, deadline);
    return moved;
}

bool waitForConnection(QAbstractSocket &socket, QDeadlineTimer deadline) {
    if (socket.state() == QAbstractSocket::ConnectedState) return true;
    if (!eventLoopHere() || socket.state() == QAbstractSocket::UnconnectedState)
        return socket.waitForConnected(msLeft(deadline));
    LoopWait wait(deadline);
    QObject::connect(&socket, &QAbstractSocket::connected, &wait.loop, [&wait] { wait.end(); });
    endOnFailure(socket, wait);
    if (!wait.run()) return socket.waitForConnected(msLeft(deadline));
    return socket.state() == QAbstractSocket::ConnectedState;
}

void waitUntil(QDeadlineTimer deadline) {
    if (eventLoopHere()) LoopWait(deadline).run();
    // the rest after a loop ended early, or the part of a millisecond the timer rounds off
    const qint64 left = deadline.remainingTimeNSecs();
    if (left > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(left));
}
