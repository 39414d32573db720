// The language of the serial layer's texts, as SetRS232Language chose it.
#pragma once

#include <QString>

// The German text, or the English one (the default).
QString inLanguage(const QString &german, const QString &english);
// "no such device", the cause the layer gives most often.
QString noDevice();
// A cause for which Qt has only its own text, which is English: the cause in the chosen language,
// with Qt's text in parentheses.
QString withQtText(const QString &german, const QString &english, const QString &qtText);
// Makes text the cause of the calling thread's most recent failure, for ReturnRS232Err and
// GetRS232ErrorString (rs232_qt.cpp). Returns code.
int recordFailure(int code, const QString &text);
