// The waits of the serial layer. Where the application's event loop may run (an application
// exists and the caller is on its thread), a wait runs it: the window repaints, moves and
// resizes and timers fire, but the operator's input stays queued until the wait is over, to
// reach the window in order afterwards. Elsewhere a wait blocks the thread.
#pragma once

#include <QDeadlineTimer>

class QAbstractSocket;
class QIODevice;

enum class PortWait { Readable, Written };

// Waits until the port's byte device (a serial port, a socket, a network connection) has
// received bytes (Readable) or written some (Written), reports a failure, or the deadline has
// passed. True when bytes came or went.
bool waitForPort(QIODevice &port, PortWait what, QDeadlineTimer deadline);
// Waits until a socket that is connecting has connected, failed, or the deadline has passed.
// True when it is connected.
bool waitForConnection(QAbstractSocket &socket, QDeadlineTimer deadline);
// Returns once the deadline has passed, never sooner.
void waitUntil(QDeadlineTimer deadline);
