// The remembered chamber list: the lab file's JSON under one settings key.
#include "ui/qt/lab_settings.h"

#include "ui/qt/lab_json.h"
#include "ui/qt/settings.h"

namespace {

// NOLINTNEXTLINE(cert-err58-cpp): QStringLiteral's text is static; nothing is allocated
const QString KEY = QStringLiteral("lab/chambers");

} // namespace

bool loadLabSettings(Lab *lab) {
    const QByteArray json = Settings::value(KEY).toByteArray();
    QString error;
    return !json.isEmpty() && labFromJson(json, lab, false, &error);
}

void saveLabSettings(const Lab &lab) {
    Settings::setValue(KEY, labToJson(lab));
}
