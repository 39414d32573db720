// Opening a local serial port: whether the device is there, may be opened and is free, then Qt
// SerialPort's open and the line settings.
#include "link/qt/serial_line.h"
#include "link/qt/encoding.h"
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/rs232.h"

#include <QFile>

#include <cstdint>

namespace {

// Why an open failed, as a code and its cause. Qt reports a missing permission, a lock held by
// another program and an exclusive open all as PermissionError; the system tells them apart.
int openFailure(const QSerialPort &serial, const std::string &path, const std::string &device,
                QString *cause) {
    if (const int code = diagnoseDevice(device, cause)) return code;
    switch (serial.error()) {
    case QSerialPort::DeviceNotFoundError: *cause = noDevice(); return RS232_NO_DEVICE;
    case QSerialPort::PermissionError: *cause = busyCause(path, device); return RS232_BUSY;
    case QSerialPort::UnsupportedOperationError:
        *cause = inLanguage(QStringLiteral("keine serielle Schnittstelle"),
                            QStringLiteral("not a serial device"));
        return RS232_NO_DEVICE;
    default:
        *cause = withQtText(QStringLiteral("das Ger\u00e4t l\u00e4sst sich nicht \u00f6ffnen"),
                            QStringLiteral("the device cannot be opened"), serial.errorString());
        return RS232_IO;
    }
}

bool configure(QSerialPort &serial, const SerialSettings &settings) {
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    return serial.setBaudRate(qint32(settings.baudRate)) &&
           serial.setParity(parities[settings.parity]) &&
           serial.setDataBits(QSerialPort::DataBits(settings.dataBits)) &&
           serial.setStopBits(settings.stopBits == 1 ? QSerialPort::OneStop
                                                     : QSerialPort::TwoStop) &&
           serial.setFlowControl(QSerialPort::NoFlowControl);
}

} // namespace

bool validSettings(const SerialSettings &settings) {
    return settings.baudRate > 0 && settings.baudRate <= INT32_MAX && settings.parity >= 0 &&
           settings.parity <= 4 && settings.dataBits >= 5 && settings.dataBits <= 8 &&
           settings.stopBits >= 1 && settings.stopBits <= 2;
}

QString refusedSettings(const SerialSettings &settings) {
    return inLanguage(QStringLiteral("das Ger\u00e4t lehnt die Leitungseinstellungen ab (%1 Baud, "
                                     "Parit\u00e4t %2, %3 Datenbits, %4 Stoppbits)"),
                      QStringLiteral("the device refused the line settings (%1 baud, parity %2, "
                                     "%3 data bits, %4 stop bits)"))
        .arg(settings.baudRate)
        .arg(settings.parity)
        .arg(settings.dataBits)
        .arg(settings.stopBits);
}

int openSerialLine(const std::string &path, const SerialSettings &settings,
                   std::unique_ptr<QSerialPort> *opened, QString *cause) {
    // Opened, and so locked by Qt, by the node the path leads to: a link and the node itself,
    // or two spellings of one path, are one device with one lock.
    const std::string device = resolvedDevicePath(path);
    const QString name = fromSystemBytes(device);
    int code = diagnoseDevice(device, cause);
    if (code == 0) code = lockedByOther(path, device, cause);
    if (code == 0 && QFile::encodeName(name).toStdString() != device) {
        // Qt opens a device by its name in UTF-8, which would be another path
        *cause = inLanguage(QStringLiteral("sein Pfad ist kein UTF-8; das Ger\u00e4t unter einem "
                                           "UTF-8-Namen verlinken"),
                            QStringLiteral("its path is not UTF-8; link it under a UTF-8 name"));
        return RS232_NO_DEVICE;
    }
    if (code != 0) return code;
    auto serial = std::make_unique<QSerialPort>(name);
    if (!serial->open(QIODevice::ReadWrite)) return openFailure(*serial, path, device, cause);
    if (!validSettings(settings) || !configure(*serial, settings)) {
        serial->close();
        *cause = refusedSettings(settings);
        return RS232_BAD_SETTINGS;
    }
    *opened = std::move(serial);
    return 0;
}
