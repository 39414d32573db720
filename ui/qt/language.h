// The operator's language in the Qt views: the panel's, set by Fremdsprache for the whole run.
#pragma once

#include "display/format.h"

#include <QString>

// The German text, or the English one when the panels are English.
inline QString byLanguage(const QString &german, const QString &english) {
    return Fremdsprache ? english : german;
}
