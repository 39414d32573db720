// The lab file's JSON (ui/lab_file.h) both ways, for the lab file and the remembered list.
#pragma once

#include "exchange/lab.h"

#include <QByteArray>
#include <QString>

// The list as the lab file's JSON.
QByteArray labToJson(const Lab &lab);
// Reads the JSON into *lab, and with applyMap points each port name of its "map" at its device.
// false with the reason in *error (*lab is then left as it was).
bool labFromJson(const QByteArray &json, Lab *lab, bool applyMap, QString *error);
