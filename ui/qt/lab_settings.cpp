// The remembered chamber list: the lab file's JSON under one settings key.
#include "ui/qt/lab_settings.h"

#include "ui/qt/lab_json.h"

#include <QSettings>

namespace {

const QString KEY = QStringLiteral("lab/chambers");

} // namespace

bool loadLabSettings(Lab *lab) {
    const QSettings settings(QStringLiteral("kelvra"), QStringLiteral("kelvra-ascii"));
    const QByteArray json = settings.value(KEY).toByteArray();
    QString error;
    return !json.isEmpty() && labFromJson(json, lab, false, &error);
}

void saveLabSettings(const Lab &lab) {
    QSettings settings(QStringLiteral("kelvra"), QStringLiteral("kelvra-ascii"));
    settings.setValue(KEY, labToJson(lab));
}
