// What assistive technology (a screen reader, or a test through QAccessible) learns of the
// panels' controls: each one's name, its role, and its state or value where it has one.
#pragma once

#include <QJsonObject>
#include <QString>

class QLabel;
class UiControl;

// Names a control after its label, which becomes its buddy (Alt and the letter a label marks
// with "&" move the focus to the control); a control without a label is named after its
// caption, its picture or else its panel's title. label may be null.
void describeControl(UiControl *control, const QJsonObject &definition, QLabel *label,
                     const QString &panelTitle);
