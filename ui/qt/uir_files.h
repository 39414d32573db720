// The panel files (ui/panels/*.uir, compiled in) as both user-interface layers read them: the
// window's (Qt Widgets) and the one for runs without a window. Qt Core only.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <vector>

// One item of a ring or ring slide: what the operator sees and what the code reads.
struct RingItem {
    QString label;
    QVariant value; // an int or a QString
};

// The parsed panel file that a file name names ("ascii.uir" or "ascii_e.uir", in any folder and
// any case), or null. Only the compiled-in files exist.
const QJsonDocument *parsedPanelFile(const char *fileName);
// The definition of a panel resource id in a parsed file; an empty object if there is none.
QJsonObject panelDefinition(const QJsonDocument &file, int panelResourceId);
// The items of a ring or ring slide definition, in stored order.
std::vector<RingItem> ringItems(const QJsonObject &control);
// A text given as one string or as an array of lines.
QString panelText(const QJsonValue &value);
