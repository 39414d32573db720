// What the Qt serial layer asks of the operating system: the device behind a port name, why a
// device cannot be opened, who holds it, and whether one is there; host names and the
// descriptors of kept network connections. One file per system
// implements it (os_unix.cpp, os_windows.cpp); the build picks the file. Paths are the system's
// own bytes.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <string>

// The system's own device for "comN": /dev/ttyS<N-1> on Unix, COMN on Windows.
std::string systemDeviceName(int port);
// A device path as --map gives it, independent of the current folder from then on: on Unix a
// relative path is taken from the current folder ("pts/3" is ./pts/3, not /dev/pts/3).
std::string absoluteDevicePath(const std::string &path);
// The device node that path leads to, links followed: the name by which the device is opened
// and locked, however its path is spelled. The path itself when it leads nowhere.
std::string resolvedDevicePath(const std::string &path);
// RS232_BUSY with the cause when a running program holds a lock file of the device (the path it
// was given by, or the node it leads to), as the classic serial programs and Qt write them;
// else 0. A lock left by a program that has ended does not count.
int lockedByOther(const std::string &path, const std::string &device, QString *cause);
// Why the device cannot be opened, when the system can tell before Qt tries: RS232_NO_DEVICE or
// RS232_PERMISSION with a cause for the operator; 0 when nothing speaks against it.
int diagnoseDevice(const std::string &device, QString *cause);
// Who holds a device that the system refused to share, with how to free it.
QString busyCause(const std::string &path, const std::string &device);
// Whether a device is there as a serial port and this user may open it, without opening it:
// 0, RS232_NO_DEVICE or RS232_PERMISSION.
int checkDevice(const std::string &device);

// Whether the system lists the device among its serial ports (devices.cpp).
bool listedBySystem(const QString &path);
// The path that "comN" opens, as mapped or the system's own (names.cpp); "" outside 1..20.
std::string devicePath(int port);

// The addresses of a host name, in the system's order of preference; empty, with the cause in
// the panel language, when it has none. Blocks as long as the system's resolver takes.
QList<QHostAddress> resolveHost(const QString &host, QString *cause);
// A second descriptor of a connected socket, which keeps the connection open after the socket
// object holding the first has closed that one; -1 where the system cannot.
qintptr duplicateSocket(qintptr descriptor);
// Closes such a descriptor, and with it the connection.
void closeSocket(qintptr descriptor);
