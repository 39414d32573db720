// The language of the serial layer's texts: English until the program sets the panel's.
#include "link/qt/texts.h"
#include "link/rs232.h"

static int language = 1; // 0 German, else English

void SetRS232Language(int chosen) {
    language = chosen;
}

int GetRS232Language(void) {
    return language;
}

QString inLanguage(const QString &german, const QString &english) {
    return language ? english : german;
}

QString noDevice() {
    return inLanguage(QStringLiteral("Ger\u00e4t nicht vorhanden"),
                      QStringLiteral("no such device"));
}

QString withQtText(const QString &german, const QString &english, const QString &qtText) {
    return QStringLiteral("%1 (%2)").arg(inLanguage(german, english), qtText);
}
