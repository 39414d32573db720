// The language of the serial layer's texts, as SetRS232Language chose it.
#pragma once

#include <QString>

// The German text, or the English one (the default).
QString inLanguage(const QString &german, const QString &english);
// "no such device", the cause the layer gives most often.
QString noDevice();
