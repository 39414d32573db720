// Network ports: a connection is opened for an exchange and, at its end, kept for the next one of
// the same run (cyclic sending, polling, a scan) rather than closed, so that an exchange does not
// connect anew each time. A kept connection is closed once it has idled keptConnectionSeconds,
// when its port name is mapped elsewhere, when the thread that used it opens another port (the
// window's port ring moved on), and when the program ends.
#pragma once

#include "link/qt/network_device.h"

#include <memory>
#include <string>

// How long a kept connection waits for the next exchange. Longer than the gap between the
// exchanges of cyclic sending and of polling at its default interval (2 s), with room for a
// late one; short enough that another client of a device server that serves one client at a
// time (ser2net's default) has the line a few seconds after this program falls idle.
constexpr double keptConnectionSeconds = 5.0;

// Opens the network port that name spells ("tcp://HOST:PORT", "rfc2217://HOST:PORT"): takes the
// connection kept for that name if it is still there (whichever port kept it), else connects
// within networkOpenMs. 0 with the device open, or an RS232_* code and the cause.
int openNetworkLine(const std::string &name, const LineSettings &settings,
                    std::unique_ptr<NetworkDevice> *opened, QString *cause);
// Ends the port's use of its connection to name; keeps the connection where it can.
void closeNetworkLine(int port, const std::string &name, std::unique_ptr<NetworkDevice> device);
// Closes the connection the port keeps, if any: its name now leads elsewhere.
void dropKeptConnection(int port);
// Closes the kept connections that no exchange is going to take back: those idle for
// keptConnectionSeconds or longer, and those that the calling thread kept on ports other than
// `opening`. Every open of a port does this; a timer where the application's event loop runs,
// and every close, close the idle ones.
void closeStaleConnections(int opening);
