// What the Qt serial layer asks of the operating system: the device behind a port name, why a
// device cannot be opened, and whether one is there. One file per system implements it
// (os_unix.cpp, os_windows.cpp); the build picks the file.
#pragma once

#include <QString>

#include <string>

// The system's own device for "comN": /dev/ttyS<N-1> on Unix, COMN on Windows.
std::string systemDeviceName(int port);
// Why the device cannot be opened, when the system can tell before Qt tries: RS232_NO_DEVICE or
// RS232_PERMISSION with a cause for the operator; 0 when nothing speaks against it.
int diagnoseDevice(const QString &device, QString *cause);
// Who holds a device that the system refused to share, with how to free it.
QString busyCause(const QString &device);
// Whether a device is there as a serial port and this user may open it, without opening it:
// 0, RS232_NO_DEVICE or RS232_PERMISSION.
int checkDevice(const QString &device);

// Whether the system lists the device among its serial ports (devices.cpp).
bool listedBySystem(const QString &path);
