// Waits that run the event loop without the operator's input, or block where no loop may run.
#include "link/qt/waits.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
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

bool blockForPort(QSerialPort &port, PortWait what, QDeadlineTimer deadline) {
    const int ms = int(qMax<qint64>(0, deadline.remainingTime()));
    return what == PortWait::Readable ? port.waitForReadyRead(ms) : port.waitForBytesWritten(ms);
}

} // namespace

bool waitForPort(QSerialPort &port, PortWait what, QDeadlineTimer deadline) {
    if (!eventLoopHere()) return blockForPort(port, what, deadline);
    const QSerialPort::SerialPortError error = port.error();
    if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) return false;

    LoopWait wait(deadline);
    bool moved = false;
    const auto bytes = [&] {
        moved = true;
        wait.end();
    };
    if (what == PortWait::Readable)
        QObject::connect(&port, &QSerialPort::readyRead, &wait.loop, bytes);
    else
        QObject::connect(&port, &QSerialPort::bytesWritten, &wait.loop, bytes);
    QObject::connect(&port, &QSerialPort::errorOccurred, &wait.loop,
                     [&](QSerialPort::SerialPortError failure) {
                         if (failure != QSerialPort::NoError) wait.end();
                     });
    if (!wait.run()) return blockForPort(port, what, deadline);
    return moved;
}

void waitUntil(QDeadlineTimer deadline) {
    if (eventLoopHere()) LoopWait(deadline).run();
    // the rest after a loop ended early, or the part of a millisecond the timer rounds off
    const qint64 left = deadline.remainingTimeNSecs();
    if (left > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(left));
}
