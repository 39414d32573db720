// The lab file's JSON with Qt Core's reader and writer, and the lab file on disk.
#include "ui/qt/lab_json.h"

#include "link/com_name.h"
#include "link/rs232.h"
#include "ui/lab_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// NOLINTNEXTLINE(cert-err58-cpp): QStringLiteral's text is static; nothing is allocated
const QString FORMAT_KEY = QStringLiteral("kelvra-lab");

int portOf(const QJsonValue &value) {
    const QByteArray name = value.toString().toLatin1();
    return name.isEmpty() ? 0 : parse_com_name(name.constData(), size_t(name.size()));
}

// One entry of "chambers"; false with the reason in *error.
bool readChamber(const QJsonValue &value, LabChamber *chamber, QString *error) {
    const QJsonObject object = value.toObject();
    const int port = portOf(object.value(QStringLiteral("port")));
    const QJsonValue address = object.value(QStringLiteral("address"));
    if (!value.isObject() || port == 0) {
        *error = QStringLiteral("\"port\" must be a port name com1 to com20");
        return false;
    }
    if (!address.isDouble() || address.toDouble() != std::floor(address.toDouble()) ||
        address.toDouble() < 1 || address.toDouble() > 32) {
        *error = QStringLiteral("\"address\" must be a whole number 1 to 32");
        return false;
    }
    lab_chamber_init(chamber, port, address.toInt());
    const QByteArray name = object.value(QStringLiteral("name")).toString().toUtf8();
    if (name.size() >= LAB_NAME_SIZE) {
        *error = QStringLiteral("\"name\" is longer than %1 bytes").arg(LAB_NAME_SIZE - 1);
        return false;
    }
    std::snprintf(chamber->name, sizeof chamber->name, "%s", name.constData());
    if (object.contains(QStringLiteral("commands"))) {
        const QJsonArray commands = object.value(QStringLiteral("commands")).toArray();
        if (commands.isEmpty() || commands.size() > LAB_COMMANDS) {
            *error = QStringLiteral("\"commands\" must list 1 to %1 commands").arg(LAB_COMMANDS);
            return false;
        }
        chamber->commands = 0;
        for (const QJsonValue &command : commands) {
            const QByteArray text = command.toString().toLatin1();
            if (!command.isString() || !lab_command_valid(text.constData())) {
                *error = QStringLiteral("each command must be 1 to %1 printable ASCII characters")
                             .arg(LAB_COMMAND_SIZE - 1);
                return false;
            }
            std::snprintf(chamber->command[chamber->commands++], LAB_COMMAND_SIZE, "%s",
                          text.constData());
        }
    }
    if (object.contains(QStringLiteral("interval"))) {
        const double seconds = object.value(QStringLiteral("interval")).toDouble(-1);
        const double ms = seconds * 1000;
        if (!(ms >= double(LAB_MIN_INTERVAL_MS) && ms <= double(LAB_MAX_INTERVAL_MS))) {
            *error = QStringLiteral("\"interval\" must be 0.1 to 86400 seconds");
            return false;
        }
        chamber->intervalMs = int(std::lround(seconds * 1000));
    }
    return true;
}

bool applyMap(const QJsonObject &map, QString *error) {
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        const int port = portOf(QJsonValue(entry.key()));
        const QByteArray device = QFile::encodeName(entry.value().toString());
        if (port == 0 || device.isEmpty()) {
            *error = QStringLiteral("\"map\": %1 must be a port name com1 to com20 with a device")
                         .arg(entry.key());
            return false;
        }
        if (const int code = MapComPort(port, device.constData()); code < 0) {
            *error = QStringLiteral("\"map\": %1: %2")
                         .arg(entry.key(), QString::fromLatin1(GetRS232ErrorString(code)));
            return false;
        }
    }
    return true;
}

} // namespace

QByteArray labToJson(const Lab &lab) {
    QJsonArray chambers;
    for (int i = 0; i < lab.count; i++) {
        const LabChamber &c = lab.chamber[i];
        QJsonObject object;
        if (c.name[0] != '\0') object.insert(QStringLiteral("name"), QString::fromUtf8(c.name));
        object.insert(QStringLiteral("port"), QStringLiteral("com%1").arg(c.port));
        object.insert(QStringLiteral("address"), c.address);
        QJsonArray commands;
        for (int k = 0; k < c.commands; k++) commands.append(QString::fromLatin1(c.command[k]));
        object.insert(QStringLiteral("commands"), commands);
        object.insert(QStringLiteral("interval"), c.intervalMs / 1000.0);
        chambers.append(object);
    }
    QJsonObject root;
    root.insert(FORMAT_KEY, 1);
    root.insert(QStringLiteral("chambers"), chambers);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool labFromJson(const QByteArray &json, Lab *lab, bool applyMapToo, QString *error) {
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error =
            QStringLiteral("not JSON: %1 at byte %2").arg(parse.errorString()).arg(parse.offset);
        return false;
    }
    const QJsonObject root = document.object();
    const QJsonValue format = root.value(FORMAT_KEY);
    if (!format.isUndefined() && format.toInt() != 1) {
        *error = QStringLiteral("\"kelvra-lab\": format %1 is not known").arg(format.toInt());
        return false;
    }
    const QJsonValue list = root.value(QStringLiteral("chambers"));
    if (!document.isObject() || !list.isArray()) {
        *error = QStringLiteral("expected an object with a list \"chambers\"");
        return false;
    }
    auto read = std::make_unique<Lab>();
    lab_clear(read.get());
    for (const QJsonValue &value : list.toArray()) {
        LabChamber chamber;
        QString why;
        const QString which = QStringLiteral("chamber %1: ").arg(read->count + 1);
        if (!readChamber(value, &chamber, &why)) {
            *error = which + why;
            return false;
        }
        if (lab_add(read.get(), &chamber) < 0) {
            *error = which + (read->count == LAB_MAX_CHAMBERS
                                  ? QStringLiteral("more than %1 chambers").arg(LAB_MAX_CHAMBERS)
                                  : QStringLiteral("com%1:%2 is listed twice")
                                        .arg(chamber.port)
                                        .arg(chamber.address));
            return false;
        }
    }
    if (applyMapToo && !applyMap(root.value(QStringLiteral("map")).toObject(), error)) return false;
    *lab = *read;
    return true;
}

int lab_file_read(const char *path, Lab *lab, char *error, int size) {
    QFile file(QFile::decodeName(path));
    QString why;
    const bool readable = file.open(QIODevice::ReadOnly);
    if (!readable)
        why = file.errorString();
    else if (labFromJson(file.readAll(), lab, true, &why))
        return 0;
    std::snprintf(error, size_t(size), "%s: %s", path, why.toUtf8().constData());
    return readable ? -1 : -2;
}

int lab_file_write(const char *path, const Lab *lab, char *error, int size) {
    QSaveFile file(QFile::decodeName(path));
    const QByteArray json = labToJson(*lab);
    if (file.open(QIODevice::WriteOnly) && file.write(json) == json.size() && file.commit())
        return 0;
    std::snprintf(error, size_t(size), "%s: %s", path, file.errorString().toUtf8().constData());
    return -1;
}
