// The compiled-in panel files, parsed once each.
#include "ui/qt/uir_files.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QStringList>

#include <map>

const QJsonDocument *parsedPanelFile(const char *fileName) {
    static std::map<QString, QJsonDocument> parsed;
    const QString name = QFileInfo(QString::fromLatin1(fileName)).fileName().toLower();
    if (name != "ascii.uir" && name != "ascii_e.uir") return nullptr;
    auto found = parsed.find(name);
    if (found == parsed.end()) {
        QFile file(":/panels/" + name);
        if (!file.open(QIODevice::ReadOnly)) return nullptr;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError) return nullptr;
        found = parsed.emplace(name, document).first;
    }
    return &found->second;
}

QJsonObject panelDefinition(const QJsonDocument &file, int panelResourceId) {
    for (const QJsonValue definition : file["panels"].toArray())
        if (definition["id"].toInt() == panelResourceId) return definition.toObject();
    return {};
}

std::vector<RingItem> ringItems(const QJsonObject &control) {
    std::vector<RingItem> items;
    for (const QJsonValue item : control["items"].toArray()) {
        const QJsonValue value = item["value"];
        items.push_back({item["label"].toString(),
                         value.isString() ? QVariant(value.toString()) : QVariant(value.toInt())});
    }
    return items;
}

QString panelText(const QJsonValue &value) {
    if (!value.isArray()) return value.toString();
    QStringList lines;
    for (const QJsonValue line : value.toArray()) lines << line.toString();
    return lines.join(u'\n');
}
