// Local serial ports: the device a port name maps to, opened through Qt SerialPort.
#pragma once

#include <QSerialPort>
#include <QString>

#include <memory>
#include <string>

// The line settings that OpenComConfig was given (parity 0 none, 1 odd, 2 even, 3 mark, 4 space).
struct SerialSettings {
    long baudRate;
    int parity;
    int dataBits;
    int stopBits;
};

// Whether the settings are ones a line can have.
bool validSettings(const SerialSettings &settings);
// "the device refused the line settings (...)", in the panel language.
QString refusedSettings(const SerialSettings &settings);
// Opens the serial device at path (as mapped, or the system's name) and sets its line. 0 with the
// port open, or an RS232_* code and the cause in the panel language.
int openSerialLine(const std::string &path, const SerialSettings &settings,
                   std::unique_ptr<QSerialPort> *opened, QString *cause);
